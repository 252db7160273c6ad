#pragma once

#include "cleanup/UninstallerModel.h"
#include "diagnostics/DashboardModel.h"
#include "permissions/PermissionManager.h"
#include "platform/SystemLocations.h"
#include "platform/Workspace.h"
#include "support/BundleFactory.h"
#include "support/FakeInstallerTools.h"
#include "support/FakePrivileged.h"
#include "support/FakeSettingsStore.h"
#include "support/ScriptedFileManager.h"

#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

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

// A screen's outside world: Legacy.app (Intel, 1536 MB, a cache), Tiny.app (PowerPC, no identifier),
// Native.app (arm64); du 321, df 245Gi unless !answer.
struct ViewSandbox {
    QTemporaryDir tmp;
    ScriptedFileManager files{tmp.path() + "/home", tmp.path() + "/folders/T/"};
    FakeSettingsStore settings;
    FakeCommandRunner shell;
    TestCatalog catalog;   // a catalog refresh goes to a closed loopback port
    FakeAuthorization auth;
    FakeCleanerHelper helper;
    RecordingWorkspace workspace;
    platform::Service<platform::Workspace>::Override useWorkspace{workspace};
    platform::SystemLocations locations = [](platform::SystemLocations l, const QString& probe) { return l.fullDiskAccessProbes = {probe}, l; }(
        platform::SystemLocations::macOS(), tmp.path() + "/probe");   // a probe nobody can read
    platform::Service<platform::SystemLocations>::Override useLocations{locations};
    PermissionManager permissions;
    platform::Service<PermissionManager>::Override usePermissions{permissions};
    LeftoverRoots roots{tmp.path() + "/Library"};
    platform::Service<LeftoverRoots>::Override useRoots{roots};
    QString applications = tmp.path() + "/Applications";
    QString legacy = BundleFactory::createApp(applications, "Legacy.app", BundleFactory::fatMachO({BundleFactory::cpuX86_64, BundleFactory::cpuI386}), "Legacy", "com.example.legacy");
    QString tiny = BundleFactory::createApp(applications, "Tiny.app", BundleFactory::thinMachO(BundleFactory::cpuPowerPC, BundleFactory::Endian::big, false), "Tiny", QString());
    QString native = BundleFactory::createApp(applications, "Native.app", BundleFactory::thinMachO(BundleFactory::cpuARM64));

    explicit ViewSandbox(bool answer = true)
    {
        QDir().mkpath(tmp.path() + "/home/Library/Caches/com.example.legacy"), QDir().mkpath(tmp.path() + "/folders/T");
        if (!answer)
            return;
        shell.on(DashboardModel::dfCommand, {"245Gi", {}, 0});
        shell.on(UninstallerModel::scanCommand(), {QStringList{legacy, tiny, native}.join('\n'), {}, 0});
        shell.onMatch(QRegularExpression("Legacy"), {"1536", {}, 0});
        shell.onMatch(QRegularExpression("Tiny"), {"0", {}, 0});
        shell.onMatch(QRegularExpression("^du "), {"321", {}, 0});
    }
    ~ViewSandbox() { drain(); }   // nothing a screen started may outlive the fakes
    static void drain()
    {
        for (int round = 0; round < 400; ++round, QTest::qWait(5))
            if (QCoreApplication::sendPostedEvents(), QCoreApplication::processEvents(); round > 3
                && Shell::commandPool().activeThreadCount() + QThreadPool::globalInstance()->activeThreadCount() == 0)
                return;
    }
};
