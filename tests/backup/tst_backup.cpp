#include "backup/BackupModel.h"
#include "support/AsUserAuthorization.h"
#include "support/BannerMessages.h"
#include "support/FakePrivileged.h"
#include "support/ScriptedFileManager.h"

#include <QDateTime>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(std::optional<AuthError>)

namespace {

const QString done = QStringLiteral(" 2>&1 && echo 'BACKUP_DONE'");

QString today()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate).left(10);
}

struct Fixture {
    QTemporaryDir tmp;
    QString home = tmp.path() + "/home";
    ScriptedFileManager files{home, tmp.path() + "/T/"};
    FakeCommandRunner shell;
    BannerMessages banner;
    std::shared_ptr<BackupModel> model = std::make_shared<BackupModel>();

    QStringList messages()
    {
        QCoreApplication::processEvents();
        return banner.take();
    }
    // The log after its first line (the start line), with H for the home folder.
    QStringList logAfterStart() const { return model->log().mid(1).replaceInStrings(home, "H"); }
};

} // namespace

class BackupTest : public QObject {
    Q_OBJECT

private slots:
    void statusTexts_data()
    {
        QTest::addColumn<QStringList>("outputs");   // status, destinationinfo, latestbackup
        QTest::addColumn<QStringList>("texts");     // tmStatus, tmDestination, tmLastBackup
        QTest::newRow("running") << QStringList{"Backup session status:\n{\n    Running = 1;\n}", "Name : Disk\nKind : Local", "/Volumes/Disk/Backups.backupdb/Mac/2025-03-07-101500"}
                                 << QStringList{"🟢 実行中", "Name : Disk", "2025-03-07-101500"};
        QTest::newRow("idle, folder path with slash") << QStringList{"{\n    Running = 0;\n}", "Name : Disk", "/Volumes/D/2025-03-06-080000/"}
                                                      << QStringList{"⚪ 待機中", "Name : Disk", "2025-03-06-080000"};
        QTest::newRow("nothing set up") << QStringList{"", "", ""} << QStringList{"⚪ 待機中", "未設定", "バックアップなし"};
    }
    void statusTexts()
    {
        QFETCH(QStringList, outputs);
        QFETCH(QStringList, texts);
        Fixture f;
        f.shell.on(BackupModel::statusCommand, {outputs[0], {}, 0});
        f.shell.on(BackupModel::destinationCommand, {outputs[1], {}, 0});
        f.shell.on(BackupModel::latestCommand, {outputs[2], {}, 0});
        settle(f.model->refreshTMStatus());
        QCOMPARE((QStringList{f.model->tmStatus(), f.model->tmDestination(), f.model->tmLastBackup()}), texts);
        QCOMPARE(f.shell.commands(), (QStringList{"tmutil status 2>/dev/null", "tmutil destinationinfo 2>/dev/null", "tmutil latestbackup 2>/dev/null"}));
    }

    void startTMBackup_data()
    {
        QTest::addColumn<std::optional<AuthError>>("error");
        QTest::addColumn<QString>("message");
        QTest::newRow("started") << std::optional<AuthError>() << "Time Machineバックアップを開始しました";
        QTest::newRow("failed") << std::optional<AuthError>(AuthError::commandFailed("tmutil: no destination\n"))
                                << "!開始に失敗: コマンド失敗: tmutil: no destination";
        QTest::newRow("dismissed") << std::optional<AuthError>(AuthError::userCancelled()) << "!開始に失敗: 認証がキャンセルされました。";
    }
    void startTMBackup()
    {
        QFETCH(std::optional<AuthError>, error);
        QFETCH(QString, message);
        Fixture f;
        FakeAuthorization auth;
        if (error)
            auth.failAll(*error);
        QList<bool> running;
        QObject::connect(f.model.get(), &BackupModel::changed, [&] { running << f.model->isRunningTM(); });
        settle(f.model->startTMBackup());
        QCOMPARE(auth.commands(), QStringList{"tmutil startbackup --auto --rotation"});
        QCOMPARE(f.messages(), QStringList{message});
        QCOMPARE(f.shell.commands().size(), 3);   // the state is read again on both paths
        QVERIFY(running.first() && !running.last());
    }

    void archiveLine_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("noExclusions");
        QTest::addColumn<QString>("line");
        QTest::newRow("default exclusions") << "/Volumes/Backup" << "/Users/a" << false
                                            << "tar -czf '/Volumes/Backup/backup-D.tar.gz' --exclude='H/Library/Caches' --exclude='H/Downloads' "
                                               "--exclude='.DS_Store' --exclude='node_modules' '/Users/a'" + done;
        QTest::newRow("no exclusions: two blanks") << "/Volumes/Backup" << "/Users/a" << true
                                                   << "tar -czf '/Volumes/Backup/backup-D.tar.gz'  '/Users/a'" + done;
        QTest::newRow("trailing slash: one") << "/Volumes/Backup/" << "/Users/a" << true
                                             << "tar -czf '/Volumes/Backup/backup-D.tar.gz'  '/Users/a'" + done;
        QTest::newRow("quotes stay one word") << "/Volumes/it's" << "/Users/a'; rm -rf ~; '" << true
                                              << "tar -czf '/Volumes/it'\\''s/backup-D.tar.gz'  '/Users/a'\\''; rm -rf ~; '\\'''" + done;
    }
    void archiveLine()
    {
        QFETCH(QString, destination);
        QFETCH(QString, source);
        QFETCH(bool, noExclusions);
        QFETCH(QString, line);
        Fixture f;
        FakeAuthorization auth;
        auth.on(line.replace("-D.", "-" + today() + ".").replace("'H/", "'" + f.home + "/"), PrivilegedAnswer::ok("BACKUP_DONE"));
        while (noExclusions && !f.model->excludePaths().isEmpty())
            f.model->removeExcludePath(0);
        f.model->setSourcePath(source);
        f.model->setDestinationPath(destination);
        settle(f.model->runCustomBackup());
        QCOMPARE(auth.commands(), QStringList{line});
        QCOMPARE(f.messages(), QStringList{"バックアップ完了: backup-" + today() + ".tar.gz"});
    }

    // tar's status decides, and its lines are split at carriage returns as well.
    void outcomes_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<std::optional<AuthError>>("error");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QStringList>("messages");
        const QString archive = "/Volumes/B/backup-" + today() + ".tar.gz";
        QTest::newRow("done") << "tar: Removing leading `/'\r50%\r\nBACKUP_DONE" << std::optional<AuthError>()
                              << QStringList{"tar: Removing leading `/'", "50%", "BACKUP_DONE", "✅ バックアップ完了！ → " + archive}
                              << QStringList{"バックアップ完了: backup-" + today() + ".tar.gz"};
        QTest::newRow("marker only inside a message") << "tar: /Users/a/BACKUP_DONE: file changed" << std::optional<AuthError>()
                                                      << QStringList{"tar: /Users/a/BACKUP_DONE: file changed"} << QStringList();
        QTest::newRow("tar failed") << "" << std::optional<AuthError>(AuthError::commandFailed("execution error:  (2)"))
                                    << QStringList{"❌ コマンド失敗: execution error:  (2)"} << QStringList{"!バックアップ失敗"};
        QTest::newRow("dismissed") << "" << std::optional<AuthError>(AuthError::userCancelled())
                                   << QStringList{"❌ 認証がキャンセルされました。"} << QStringList{"!バックアップ失敗"};
    }
    void outcomes()
    {
        QFETCH(QString, output);
        QFETCH(std::optional<AuthError>, error);
        QFETCH(QStringList, log);
        QFETCH(QStringList, messages);
        Fixture f;
        FakeAuthorization auth;
        auth.otherwise([&](const QString&) { return error ? PrivilegedAnswer::fail(*error) : PrivilegedAnswer::ok(output); });
        f.model->setSourcePath("/Users/a");
        f.model->setDestinationPath("/Volumes/B");
        settle(f.model->runCustomBackup());
        QCOMPARE(f.model->log().first(), "🚀 バックアップ開始: /Users/a → /Volumes/B/backup-" + today() + ".tar.gz");
        QCOMPARE(f.logAfterStart(), log);
        QCOMPARE(f.messages(), messages);
        QVERIFY(!f.model->isBackingUp() && f.model->canStartCustomBackup());
    }

    void refusalsRunNothing_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("no destination") << "H" << "" << QStringList();
        QTest::newRow("destination inside the source") << "H" << "H/Backups" << QStringList{"❌ 保存先がバックアップ元の中にあります"};
        QTest::newRow("destination is the source") << "H/" << "H" << QStringList{"❌ 保存先がバックアップ元の中にあります"};
        QTest::newRow("no source") << "" << "/Volumes/B" << QStringList{"❌ パスが空です"};
        QTest::newRow("source not in normal form") << "/Users/a/../b" << "/Volumes/B" << QStringList{"❌ 正規化されていないパスです"};
    }
    void refusalsRunNothing()
    {
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(QStringList, log);
        Fixture f;
        FakeAuthorization auth;
        QVERIFY(QDir().mkpath(f.home + "/Backups"));
        f.model->setSourcePath(source.replace("H", f.home));
        f.model->setDestinationPath(destination.replace("H", f.home));
        settle(f.model->runCustomBackup());
        QCOMPARE(f.model->log(), log);
        QCOMPARE(f.messages(), log.isEmpty() ? QStringList() : QStringList{"!バックアップ失敗"});
        QVERIFY(auth.commands().isEmpty());
    }

    // While one archive is written to a folder, no second run may write to it, from any screen;
    // the size of the growing file is shown meanwhile.
    void oneRunPerDestinationWithProgress()
    {
        Fixture f;
        AsUserAuthorization auth;   // root lines reach the fake shell, which holds them
        QSemaphore release;
        f.shell.otherwise([&](const QString&) { return release.acquire(), ShellResult{"BACKUP_DONE", {}, 0}; });
        const QString destination = f.tmp.path() + "/dest";
        QVERIFY(QDir().mkpath(destination) && QDir().mkpath(f.home));
        auto second = std::make_shared<BackupModel>();
        for (BackupModel* m : {f.model.get(), second.get()})
            m->setDestinationPath(destination);
        QCoro::Task<> first = f.model->runCustomBackup();
        QTRY_COMPARE(f.shell.commands().size(), 1);
        settle(second->runCustomBackup());
        QCOMPARE(second->log(), QStringList{"❌ この保存先へのバックアップは実行中です"});

        QFile archive(destination + "/backup-" + today() + ".tar.gz");
        QVERIFY(archive.open(QIODevice::WriteOnly) && archive.write(QByteArray(2048, 'x')) == 2048);
        archive.close();
        QTRY_COMPARE(f.model->backupProgress(), QString("書き込み済み: 2.0 KB"));
        release.release();
        QTRY_VERIFY(!f.model->isBackingUp());
        QVERIFY(f.model->backupProgress().isEmpty() && f.model->log().last().startsWith("✅"));
        f.shell.clear();
        QVERIFY(QFile::remove(archive.fileName()));
        release.release();
        settle(second->runCustomBackup());   // free again once the first has ended
        QCOMPARE(second->log().last(), "✅ バックアップ完了！ → " + archive.fileName());
    }
};

QTEST_GUILESS_MAIN(BackupTest)
#include "tst_backup.moc"
