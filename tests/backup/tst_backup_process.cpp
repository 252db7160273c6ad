#include "backup/BackupModel.h"
#include "platform/StandIns.h"
#include "support/AsUserAuthorization.h"
#include "support/BannerMessages.h"
#include "exec/Quote.h"
#include "support/FakePrivileged.h"
#include "support/FakePrivilegedTools.h"
#include "support/TempTree.h"

#include <QDateTime>
#include <QtTest>

namespace {

const QString today = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).left(10);

// The archive's members below `home`, as the real tar reads them back.
QStringList members(const QString& archive, const QString& home)
{
    const QString inside = home.mid(1) + '/';
    QStringList names = Shell::run("tar -tzf " + Quote::singleQuoted(archive)).output.split('\n').filter(QRegularExpression("^" + QRegularExpression::escape(inside) + "."));
    return names.replaceInStrings(inside, "").sort(), names;
}

} // namespace

class BackupProcessTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(!platform::installStandInPath().isEmpty()); }

    // Real archives through the real zsh and tar: exclusions left out, nothing overwritten,
    // a hostile destination name written into and nothing else run.
    void archivesAreWrittenAndNeverOverwritten()
    {
        TempTree tree;
        AsUserAuthorization root;
        BannerMessages banner;
        const QString destination = tree.root + "/it's $(touch pwned) `touch pwned2`";
        QVERIFY(tree.make({tree.home + "/notes.txt", tree.home + "/Library/Caches/big.bin", tree.home + "/Downloads/d.bin",
                           tree.home + "/code/.DS_Store", tree.home + "/code/node_modules/m.js", tree.home + "/code/main.c",
                           destination + '/', tree.root + "/victim"}));
        const QStringList before = tree.entries();

        auto model = std::make_shared<BackupModel>();
        model->setDestinationPath(destination);
        settle(model->runCustomBackup());
        const QString first = destination + "/backup-" + today + ".tar.gz";
        QCOMPARE(banner.take(), QStringList{"バックアップ完了: backup-" + today + ".tar.gz"});
        QCOMPARE(members(first, tree.home),
                 (QStringList{".Trash/", "Library/", "code/", "code/main.c", "notes.txt"}));

        // A link planted at the second name of the day is passed over and its target kept.
        const QString planted = destination + "/backup-" + today + "-2.tar.gz";
        QVERIFY(QFile::link(tree.root + "/victim", planted));
        const QByteArray firstBytes = readWholeFile(first);
        settle(model->runCustomBackup());
        const QString third = destination + "/backup-" + today + "-3.tar.gz";
        QCOMPARE(model->log().last(), "✅ バックアップ完了！ → " + third);
        QCOMPARE(readWholeFile(first), firstBytes);
        QCOMPARE(readWholeFile(tree.root + "/victim"), QByteArray("x"));

        QVERIFY(!QFile::exists("pwned") && !QFile::exists("pwned2"));   // where the shell would have made them
        const QString folder = QDir(tree.root).relativeFilePath(destination) + "/backup-" + today;
        QStringList after = before + QStringList{folder + "-2.tar.gz", folder + "-3.tar.gz", folder + ".tar.gz"};
        after.sort();
        QCOMPARE(tree.entries(), after);
    }

    // A failing tar is a failure; without Time Machine the stand-in says nothing of its state and refuses to start.
    void failuresAreReported()
    {
        TempTree tree;
        AsUserAuthorization root;
        BannerMessages banner;
        auto model = std::make_shared<BackupModel>();
        model->setSourcePath(tree.root + "/missing");
        model->setDestinationPath(tree.root);
        settle(model->runCustomBackup());
        QVERIFY2(model->log().last().startsWith("❌ コマンド失敗: "), qPrintable(model->log().join('\n')));
        settle(model->startTMBackup());
        QCOMPARE(banner.take(), (QStringList{"!バックアップ失敗", "!開始に失敗: コマンド失敗: tmutil: Time Machine is not available on this system"}));
        QCOMPARE((QStringList{model->tmStatus(), model->tmDestination(), model->tmLastBackup()}),
                 (QStringList{"⚪ 待機中", "未設定", "バックアップなし"}));
    }
};

QTEST_GUILESS_MAIN(BackupProcessTest)
#include "tst_backup_process.moc"
