#include "backup/BackupModel.h"
#include "support/AsUserAuthorization.h"
#include "support/BannerMessages.h"
#include "support/FakePrivileged.h"
#include "support/TempTree.h"

#include <QDateTime>
#include <QSemaphore>
#include <QtTest>

namespace {

const QString done = QStringLiteral(" 2>&1 && echo 'BACKUP_DONE'");

const QString today = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).left(10);

struct Fixture : TempTree {
    FakeCommandRunner shell;
    FakeAuthorization auth;   // a test's own root stand-in takes its place while it lives
    BannerMessages banner;
    std::shared_ptr<BackupModel> model = std::make_shared<BackupModel>();
};

} // namespace

class BackupTest : public QObject {
    Q_OBJECT

private slots:
    // Starting a backup reports its outcome, and the state is read again on both paths.
    void startThenStatusTexts()
    {
        const struct { std::optional<AuthError> error; QString message; QStringList outputs, texts; } cases[] = {   // status, destinationinfo, latestbackup
            {std::nullopt, "Time Machineバックアップを開始しました",
             {"Backup session status:\n{\n    Running = 1;\n}", "Name : Disk\nKind : Local", "/Volumes/Disk/Backups.backupdb/Mac/2025-03-07-101500"},
             {"🟢 実行中", "Name : Disk", "2025-03-07-101500"}},
            {AuthError::userCancelled(), "!開始に失敗: 認証がキャンセルされました。",
             {"{\n    Running = 0;\n}", "Name : Disk", "/Volumes/D/2025-03-06-080000/"}, {"⚪ 待機中", "Name : Disk", "2025-03-06-080000"}},
        };
        for (const auto& c : cases) {
            Fixture f;
            const QStringList lines{"tmutil status 2>/dev/null", "tmutil destinationinfo 2>/dev/null", "tmutil latestbackup 2>/dev/null"};
            for (int i = 0; i < 3; ++i)
                f.shell.on(lines[i], {c.outputs[i], {}, 0});
            if (c.error)
                f.auth.failAll(*c.error);
            settle(f.model->startTMBackup());
            QCOMPARE(f.auth.commands(), QStringList{"tmutil startbackup --auto --rotation"});
            QCOMPARE(f.banner.take(), QStringList{c.message});
            QCOMPARE((QStringList{f.model->tmStatus(), f.model->tmDestination(), f.model->tmLastBackup()}), c.texts);
            QCOMPARE(f.shell.commands(), lines);
            QVERIFY(!f.model->isRunningTM());
        }
    }

    // With and without exclusions, a trailing slash on the folder, hostile names.
    void archiveLine()
    {
        const struct { QString destination, source; bool noExclusions; QString line; } cases[] = {
            {"/Volumes/Backup", "/Users/a", false, "tar -czf '/Volumes/Backup/backup-D.tar.gz' --exclude='H/Library/Caches' --exclude='H/Downloads' "
                                                   "--exclude='.DS_Store' --exclude='node_modules' '/Users/a'" + done},
            {"/Volumes/Backup/", "/Users/a", true, "tar -czf '/Volumes/Backup/backup-D.tar.gz'  '/Users/a'" + done},
            {"/Volumes/it's", "/Users/a'; rm -rf ~; '", true, "tar -czf '/Volumes/it'\\''s/backup-D.tar.gz'  '/Users/a'\\''; rm -rf ~; '\\'''" + done},
        };
        for (const auto& c : cases) {
            Fixture f;
            const QString line = QString(c.line).replace("-D.", "-" + today + ".").replace("'H/", "'" + f.home + "/");
            f.auth.on(line, PrivilegedAnswer::ok("BACKUP_DONE"));
            while (c.noExclusions && !f.model->excludePaths().isEmpty())
                f.model->removeExcludePath(0);
            f.model->setSourcePath(c.source);
            f.model->setDestinationPath(c.destination);
            settle(f.model->runCustomBackup());
            QCOMPARE(f.auth.commands(), QStringList{line});
            QCOMPARE(f.banner.take(), QStringList{"バックアップ完了: backup-" + today + ".tar.gz"});
        }
    }

    // tar's status decides, and its lines are split at carriage returns as well.
    void outcomes()
    {
        const QString archive = "/Volumes/B/backup-" + today + ".tar.gz";
        const struct { QString output; std::optional<AuthError> error; QStringList log, messages; } cases[] = {
            {"tar: Removing leading `/'\r50%\r\nBACKUP_DONE", std::nullopt,
             {"tar: Removing leading `/'", "50%", "BACKUP_DONE", "✅ バックアップ完了！ → " + archive}, {"バックアップ完了: backup-" + today + ".tar.gz"}},
            {"tar: /Users/a/BACKUP_DONE: file changed", std::nullopt, {"tar: /Users/a/BACKUP_DONE: file changed"}, {}},
            {"", AuthError::userCancelled(), {"❌ 認証がキャンセルされました。"}, {"!バックアップ失敗"}},
        };
        for (const auto& c : cases) {
            Fixture f;
            f.auth.otherwise([&](const QString&) { return c.error ? PrivilegedAnswer::fail(*c.error) : PrivilegedAnswer::ok(c.output); });
            f.model->setSourcePath("/Users/a");
            f.model->setDestinationPath("/Volumes/B");
            settle(f.model->runCustomBackup());
            QCOMPARE(f.model->log().first(), "🚀 バックアップ開始: /Users/a → " + archive);
            QCOMPARE(f.model->log().mid(1), c.log);
            QCOMPARE(f.banner.take(), c.messages);
            QVERIFY(!f.model->isBackingUp() && f.model->canStartCustomBackup());
        }
    }

    void refusalsRunNothing()
    {
        const struct { QString source, destination, log; } cases[] = {
            {"H", "", ""},
            {"H", "H/Backups", "❌ 保存先がバックアップ元の中にあります"},
            {"H/", "H", "❌ 保存先がバックアップ元の中にあります"},
            {"", "/Volumes/B", "❌ パスが空です"},
            {"/Users/a/../b", "/Volumes/B", "❌ 正規化されていないパスです"},
        };
        for (const auto& c : cases) {
            Fixture f;
            QVERIFY(QDir().mkpath(f.home + "/Backups"));
            f.model->setSourcePath(QString(c.source).replace("H", f.home));
            f.model->setDestinationPath(QString(c.destination).replace("H", f.home));
            settle(f.model->runCustomBackup());
            QCOMPARE(f.model->log(), c.log.isEmpty() ? QStringList() : QStringList{c.log});
            QCOMPARE(f.banner.take(), c.log.isEmpty() ? QStringList() : QStringList{"!バックアップ失敗"});
            QVERIFY(f.auth.commands().isEmpty());
        }
    }

    // While one archive is written to a folder, no second run may write to it, from any screen;
    // the size of the growing file is shown meanwhile.
    void oneRunPerDestinationWithProgress()
    {
        Fixture f;
        AsUserAuthorization auth;   // root lines reach the fake shell, which holds them
        QSemaphore release;
        f.shell.otherwise([&](const QString&) { return release.acquire(), ShellResult{"BACKUP_DONE", {}, 0}; });
        const QString destination = f.root + "/dest";
        QVERIFY(QDir().mkpath(destination));
        auto second = std::make_shared<BackupModel>();
        for (BackupModel* m : {f.model.get(), second.get()})
            m->setDestinationPath(destination);
        QCoro::Task<> first = f.model->runCustomBackup();
        QTRY_COMPARE(f.shell.commands().size(), 1);
        settle(second->runCustomBackup());
        QCOMPARE(second->log(), QStringList{"❌ この保存先へのバックアップは実行中です"});

        QFile archive(destination + "/backup-" + today + ".tar.gz");
        QVERIFY(archive.open(QIODevice::WriteOnly) && archive.write(QByteArray(2048, 'x')) == 2048);
        archive.close();
        QTRY_COMPARE(f.model->backupProgress(), QString("書き込み済み: 2.0 KB"));
        release.release();
        QTRY_VERIFY(!f.model->isBackingUp());
        QVERIFY(f.model->backupProgress().isEmpty() && f.model->log().last().startsWith("✅"));
    }
};

QTEST_GUILESS_MAIN(BackupTest)
#include "tst_backup.moc"
