#pragma once

#include "cleanup/InstalledApp.h"
#include "cleanup/UninstallerModel.h"
#include "diagnostics/DashboardModel.h"
#include "permissions/PermissionManager.h"
#include "platform/SystemLocations.h"
#include "platform/Workspace.h"
#include "support/BundleFactory.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"
#include "support/FakeSettingsStore.h"
#include "support/ScriptedFileManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

// Records what the screens ask of the workspace; lists the running applications it is given.
class RecordingWorkspace final : public platform::Workspace {
public:
    QList<platform::RunningApplication> running;
    QStringList revealed;
    QList<QUrl> opened;
    QList<platform::RunningApplication> runningApplications() const override { return running; }
    bool revealInFileBrowser(const QString& path) override { return revealed << path, true; }
    bool openUrl(const QUrl& url) override { return opened << url, true; }
    bool terminate(const platform::RunningApplication&) override { return true; }
    bool forceTerminate(const platform::RunningApplication&) override { return true; }
    bool isRunning(const platform::RunningApplication&) const override { return false; }
};

// Everything a screen reaches outside itself, for one view test, inside a temporary folder:
// home and temporary directories, settings, command lines, administrator runs, the cleanup
// helper, the workspace, a Full Disk Access probe nobody can read, the system library, and
// an application folder with Legacy.app (Intel, 1536 MB, a cache folder in the home),
// Tiny.app (PowerPC, no identifier, not measured) and Native.app (Apple silicon, 321 MB).
// The uninstaller's listing names the three; other folders measure 321 MB; df answers 245Gi.
struct ViewSandbox {
    QTemporaryDir tmp;
    ScriptedFileManager files{tmp.path() + "/home", tmp.path() + "/folders/T/"};
    FakeSettingsStore settings;
    FakeCommandRunner shell;
    FakeAuthorization auth;
    FakeCleanerHelper helper;
    RecordingWorkspace workspace;
    platform::Service<platform::Workspace>::Override useWorkspace{workspace};
    platform::SystemLocations locations = [this] {
        platform::SystemLocations l = platform::SystemLocations::macOS();
        l.fullDiskAccessProbes = {tmp.path() + "/probe"};
        return l;
    }();
    platform::Service<platform::SystemLocations>::Override useLocations{locations};
    PermissionManager permissions;
    platform::Service<PermissionManager>::Override usePermissions{permissions};
    LeftoverRoots roots{tmp.path() + "/Library"};
    platform::Service<LeftoverRoots>::Override useRoots{roots};
    QString applications = tmp.path() + "/Applications";
    QString legacy = BundleFactory::createApp(applications, "Legacy.app",
                                              BundleFactory::fatMachO({BundleFactory::cpuX86_64, BundleFactory::cpuI386}),
                                              "Legacy", "com.example.legacy");
    QString tiny = BundleFactory::createApp(applications, "Tiny.app",
                                            BundleFactory::thinMachO(BundleFactory::cpuPowerPC, BundleFactory::Endian::big, false),
                                            "Tiny", QString());
    QString native = BundleFactory::createApp(applications, "Native.app", BundleFactory::thinMachO(BundleFactory::cpuARM64));

    // With `answer` false, no command line has an answer yet.
    explicit ViewSandbox(bool answer = true)
    {
        QDir().mkpath(tmp.path() + "/home/Library/Caches/com.example.legacy");
        QDir().mkpath(tmp.path() + "/folders/T");
        if (!answer)
            return;
        shell.on(DashboardModel::dfCommand, {"245Gi", {}, 0});
        shell.on(UninstallerModel::scanCommand(), {QStringList{legacy, tiny, native}.join('\n'), {}, 0});
        shell.onMatch(QRegularExpression("Legacy"), {"1536", {}, 0});
        shell.onMatch(QRegularExpression("Tiny"), {"0", {}, 0});
        shell.onMatch(QRegularExpression("^du "), {"321", {}, 0});
    }
    // Nothing a screen started may outlive the fakes it runs against.
    ~ViewSandbox() { drain(); }

    // Runs the event loop until no command line or other worker is busy.
    static void drain()
    {
        for (int round = 0; round < 400; ++round) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
            if (round > 3 && Shell::commandPool().activeThreadCount() == 0
                && QThreadPool::globalInstance()->activeThreadCount() == 0)
                return;
            QTest::qWait(5);
        }
    }
};
