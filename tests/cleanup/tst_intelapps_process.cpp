// Intel-only removal of real bundles, root batches run by /bin/sh, real processes inside a bundle.
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
{ return BundleFactory::createApp(folder, name + ".app", BundleFactory::thinMachO(BundleFactory::cpuX86_64), name, bundleID); }

} // namespace

class IntelAppsProcessTest : public QObject {
    Q_OBJECT

private slots:
    // Moves to the Trash keep the items; in root's batch into ~/.Trash, twins and names already
    // taken never land inside or on top of each other.
    void trashKeepsEveryItemApart()
    {
        TempTree t;
        FakeCommandRunner quiet;
        const QString foo = intelApp(t.home + "/Applications", "Foo", "com.example.foo");
        const QString first = intelApp(t.root + "/System/A", "Twin", "a.twin"), second = intelApp(t.root + "/System/B", "Twin", "b.twin");
        QVERIFY(BundleFactory::writeFile(first + "/Contents/marker", "first") && BundleFactory::writeFile(second + "/Contents/marker", "second"));
        t.files.undeletable = {first, second};
        auto model = IntelAppsModel::create(QStringList{t.home + "/Applications", t.root + "/System"}, RosettaInfo{true, true});
        settle(model->scan());
        model->setAllSelected(true);
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        for (qint64 time = now; time < now + 5; ++time)
            QVERIFY(QDir().mkpath(t.home + "/.Trash/" + QString::number(time) + "_Twin.app"));
        const QStringList occupied = t.entries(t.home + "/.Trash");
        FakeAuthorization auth;
        auth.otherwise([](const QString& line) {
            const platform::ProcessOutcome outcome = platform::runProcess({"/bin/sh", {"-c", line}, std::nullopt, true});
            if (outcome.exitStatus != 0)
                return PrivilegedAnswer::fail(AuthError::commandFailed(QString::fromUtf8(outcome.standardError)));
            return PrivilegedAnswer::ok();
        });
        BannerMessages messages;
        settle(model->removeSelected());
        QStringList markers, added;
        for (const QString& entry : t.entries(t.home + "/.Trash")) {
            QFile marker(t.home + "/.Trash/" + entry);
            if (entry.endsWith("/Contents/marker") && marker.open(QIODevice::ReadOnly))
                markers << QString::fromUtf8(marker.readAll());
            if (!entry.contains('/') && !occupied.contains(entry))
                added << entry.section('_', -1);
        }
        QCOMPARE(model->log().mid(1) + messages.take() + markers + added,
                 (QStringList{"  ✅ " + foo, "🔑 管理者権限が必要な項目があります（2件）…", "  ✅ " + first, "  ✅ " + second, "🎉 完了！",
                              "Intel専用アプリの整理が完了しました", "first", "second", "Twin.app", "Twin.app"}));
        QVERIFY(model->apps().isEmpty() && QDir(t.home + "/.local/share/Trash/files").entryList(QDir::AllEntries | QDir::NoDotAndDotDot) == QStringList{"Foo.app"});
    }

    // A running copy that ignores the request to quit is ended by force.
    void runningCopyIsAskedThenForced()
    {
        QTemporaryDir dir;
        const QString bundle = dir.filePath("Sleeper.app"), executable = bundle + "/Contents/MacOS/Sleeper";
        QVERIFY(QDir().mkpath(bundle + "/Contents/MacOS") && QFile::copy("/bin/bash", executable));
        QProcess process;   // waits on its open standard input
        process.start(executable, {"-c", "trap '' TERM; read line"});
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY(std::ranges::any_of(platform::Workspace::shared().runningApplications(),
                                        [&](const platform::RunningApplication& r) { return r.bundlePath == bundle; }));
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
