#pragma once

#include "platform/Service.h"

#include <QObject>
#include <QString>
#include <QStringList>

// Whether the application has Full Disk Access, found out without asking the system: by
// whether protected probe directories are readable. Remembers whether the user has seen the
// guide ("tessarin_has_seen_fda_guide" in the settings store). Main thread only.
class PermissionManager : public QObject {
    Q_OBJECT
public:
    static inline const QString seenGuideKey = QStringLiteral("tessarin_has_seen_fda_guide");
    static inline const QString settingsUrl =
        QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles");
    static constexpr int guideDelayMs = 1000;

    // Runs checkPermissions() once.
    explicit PermissionManager(QObject* parent = nullptr);
    ~PermissionManager() override;

    static PermissionManager& shared() { return platform::Service<PermissionManager>::get(); }
    static PermissionManager& systemDefault();

    bool hasFullDiskAccess() const { return hasFullDiskAccess_; }
    bool hasSeenGuide() const;
    void setHasSeenGuide(bool seen);

    // The probe directories, absolute ("~" expanded against the user's home).
    static QStringList probePaths();

    // Re-evaluates hasFullDiskAccess now: granted when any probe directory is readable.
    void checkPermissions();
    // Opens the Full Disk Access page of the system settings.
    void openFullDiskAccessSettings();

    // The start-up task's permission step: re-checks and, when access is missing and the guide
    // was never seen, sets AppState::showFullDiskAccessAlert one second later on
    // StateClock::shared(). Returns whether it did schedule that.
    bool runStartupStep();

signals:
    void hasFullDiskAccessChanged(bool granted);
    void hasSeenGuideChanged(bool seen);

private:
    bool hasFullDiskAccess_ = false;
};
