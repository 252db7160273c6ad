#include "permissions/PermissionManager.h"

#include "app/AppState.h"
#include "platform/FileManager.h"
#include "platform/Settings.h"
#include "platform/SystemLocations.h"
#include "platform/Workspace.h"

#include <QUrl>

PermissionManager::PermissionManager(QObject* parent)
    : QObject(parent)
{
    checkPermissions();
}

PermissionManager::~PermissionManager() = default;

PermissionManager& PermissionManager::systemDefault()
{
    static PermissionManager* manager = new PermissionManager;
    return *manager;
}

bool PermissionManager::hasSeenGuide() const
{
    return platform::SettingsStore::shared().value(seenGuideKey).toBool();
}

void PermissionManager::setHasSeenGuide(bool seen)
{
    const bool before = hasSeenGuide();
    platform::SettingsStore::shared().setValue(seenGuideKey, seen);
    if (before != seen)
        emit hasSeenGuideChanged(seen);
}

QStringList PermissionManager::probePaths()
{
    const platform::FileManager& files = platform::FileManager::shared();
    QStringList paths;
    for (const QString& probe : platform::SystemLocations::shared().fullDiskAccessProbes)
        paths << files.expandTilde(probe);
    return paths;
}

void PermissionManager::checkPermissions()
{
    // Two readability checks of local directories are quick, so the answer is published
    // before this returns and the start-up step reads the fresh result.
    const platform::FileManager& files = platform::FileManager::shared();
    bool granted = false;
    for (const QString& path : probePaths())
        granted = files.isReadable(path) || granted;
    if (granted == hasFullDiskAccess_)
        return;
    hasFullDiskAccess_ = granted;
    emit hasFullDiskAccessChanged(granted);
}

void PermissionManager::openFullDiskAccessSettings()
{
    const QUrl url(settingsUrl, QUrl::StrictMode);
    if (url.isValid())
        platform::Workspace::shared().openUrl(url);
}

bool PermissionManager::runStartupStep()
{
    checkPermissions();
    if (hasFullDiskAccess_ || hasSeenGuide())
        return false;
    StateClock::shared().singleShot(std::chrono::milliseconds(guideDelayMs), &AppState::shared(),
                                    [] { AppState::shared().setShowFullDiskAccessAlert(true); });
    return true;
}
