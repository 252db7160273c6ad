// The Intel-only removal against real bundles, administrator batches run through /bin/sh as
// the test's own user, and real processes started from inside a bundle.
#include "cleanup/IntelAppsModel.h"
#include "platform/Process.h"
#include "platform/Workspace.h"
#include "support/BannerMessages.h"
#include "support/BundleFactory.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"
#include "support/TempTree.h"

#include <QDateTime>
#include <QProcess>
#include <QtTest>

namespace {

QString intelApp(const QString& folder, const QString& name, const QString& bundleID)
{
    return BundleFactory::createApp(folder, name + ".app", BundleFactory::thinMachO(BundleFactory::cpuX86_64), name, bundleID);
}

void runForReal(FakeAuthorization& auth)
{
    auth.otherwise([](const QString& line) {
        const platform::ProcessOutcome outcome = platform::runProcess({"/bin/sh", {"-c", line}, std::nullopt, true});
        if (outcome.exitStatus != 0)
            return PrivilegedAnswer::fail(AuthError::commandFailed(QString::fromUtf8(outcome.standardError)));
        return PrivilegedAnswer::ok(QString::fromUtf8(outcome.standardOutput));
    });
}

} // namespace

class IntelAppsProcessTest : public QObject {
    Q_OBJECT

private slots:
    // Two bundles of the same name and the names already in ~/.Trash never end up inside or
    // on top of each other when the administrator batches move them there.
    void trashRemovalWithAdministratorBatches()
    {
        TempTree t;
        FakeCommandRunner quiet;
        const QString foo = intelApp(t.home + "/Applications", "Foo", "com.example.foo");
        const QString first = intelApp(t.root + "/System/A", "Twin", "a.twin"), second = intelApp(t.root + "/System/B", "Twin", "b.twin");
        QVERIFY(BundleFactory::writeFile(first + "/Contents/marker", "first"));
        QVERIFY(BundleFactory::writeFile(second + "/Contents/marker", "second"));
        const QString caches = t.home + "/Library/Caches/com.example.foo", systemPrefs = t.library + "/Preferences/a.twin.plist";
        QVERIFY(t.make({caches + "/", systemPrefs}));
        t.files.undeletable = {first, second, systemPrefs};
        auto model = IntelAppsModel::create(QStringList{t.home + "/Applications", t.root + "/System"}, RosettaInfo{true, true});
        settle(model->scan());
        QCOMPARE(model->apps().size(), 3);
        model->setAllSelected(true);
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        for (qint64 time = now; time < now + 5; ++time)
            QVERIFY(QDir().mkpath(t.home + "/.Trash/" + QString::number(time) + "_Twin.app"));
        const QStringList occupied = t.entries(t.home + "/.Trash");

        FakeAuthorization auth;
        runForReal(auth);
        BannerMessages messages;
        settle(model->removeSelected());
        QCOMPARE(QDir(t.home + "/.local/share/Trash/files").entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 2);
        QStringList markers, added;
        for (const QString& entry : t.entries(t.home + "/.Trash")) {
            if (entry.endsWith("/Contents/marker")) {
                QFile marker(t.home + "/.Trash/" + entry);
                QVERIFY(marker.open(QIODevice::ReadOnly));
                markers << QString::fromUtf8(marker.readAll());
            }
            if (!entry.contains('/') && !occupied.contains(entry))
                added << entry;
        }
        QCOMPARE(markers, (QStringList{"first", "second"}));   // each bundle an entry of its own
        QCOMPARE(added.filter("_Twin.app").size() + added.filter("_a.twin.plist").size(), 3);
        QVERIFY(model->apps().isEmpty());
        // The bundles first, then the leftovers of the ones that needed root.
        QCOMPARE(model->log(), (QStringList{"🧹 3 個の Intel専用アプリをゴミ箱に移動します…", "  ✅ " + foo, "  ✅ " + caches,
                                            "🔑 管理者権限が必要な項目があります（2件）…", "  ✅ " + first, "  ✅ " + second,
                                            "🔑 管理者権限が必要な項目があります（1件）…", "  ✅ " + systemPrefs, "🎉 完了！"}));
        QCOMPARE(messages.take(), QStringList{"Intel専用アプリの整理が完了しました"});
    }

    void runningCopyIsAskedThenForced_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("quits when asked") << "/bin/sleep" << QStringList{"60"};
        QTest::newRow("ignores the request") << "/bin/bash" << QStringList{"-c", "trap '' TERM; read line"};
    }
    void runningCopyIsAskedThenForced()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QTemporaryDir dir;
        const QString bundle = dir.filePath("Sleeper.app"), executable = bundle + "/Contents/MacOS/Sleeper";
        QVERIFY(QDir().mkpath(bundle + "/Contents/MacOS") && QFile::copy(program, executable));
        QProcess process;   // waits on its open standard input
        process.start(executable, arguments);
        QVERIFY(process.waitForStarted());
        const auto isListed = [&bundle] {
            const QList<platform::RunningApplication> running = platform::Workspace::shared().runningApplications();
            return std::any_of(running.cbegin(), running.cend(), [&](const platform::RunningApplication& r) { return r.bundlePath == bundle; });
        };
        QTRY_VERIFY(isListed());
        QTest::qWait(100);   // until the shell has set its trap
        auto model = IntelAppsModel::create(QStringList{}, RosettaInfo{});
        model->terminationPollInterval = std::chrono::milliseconds(20);
        QCoro::waitFor(model->terminateIfRunning(IntelOnlyApp{QUuid::createUuid(), "Sleeper", {}, bundle, {}, {}, {}, 0, false}));
        QTRY_COMPARE_WITH_TIMEOUT(process.state(), QProcess::NotRunning, 5000);
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);   // ended by a signal
        QCOMPARE(model->log(), QStringList{"⏹ 起動中のため終了します: Sleeper"});
    }
};

QTEST_GUILESS_MAIN(IntelAppsProcessTest)
#include "tst_intelapps_process.moc"
