#pragma once

#include "exec/ScreenLifetime.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <qcoro/qcorotask.h>

#include <memory>
#include <optional>

class QTimer;

enum class BackupMethod { timeMachine, custom };

QString rawValue(BackupMethod method);   // "Time Machine", "カスタムバックアップ（tar.gz）"
QList<BackupMethod> allBackupMethods();

// The backup screen: Time Machine's state and start, and a dated tar.gz archive of one folder.
// Main thread only; owned by its view through std::shared_ptr (see exec/ScreenLifetime.h).
class BackupModel final : public QObject, public std::enable_shared_from_this<BackupModel> {
    Q_OBJECT
public:
    static inline const QString statusCommand = QStringLiteral("tmutil status 2>/dev/null");
    static inline const QString destinationCommand = QStringLiteral("tmutil destinationinfo 2>/dev/null");
    static inline const QString latestCommand = QStringLiteral("tmutil latestbackup 2>/dev/null");
    // Time Machine picks the destination itself: this screen holds no destination identifier.
    static inline const QString startCommand = QStringLiteral("tmutil startbackup --auto --rotation");
    static inline const QString settingsPane = QStringLiteral("/System/Library/PreferencePanes/TimeMachine.prefPane");
    static inline const QString doneMarker = QStringLiteral("BACKUP_DONE");
    static constexpr int visibleLogLines = 30;

    BackupModel();
    ~BackupModel() override;

    BackupMethod selectedMethod() const { return selectedMethod_; }
    void setSelectedMethod(BackupMethod method);
    QString tmStatus() const { return tmStatus_; }
    QString tmLastBackup() const { return tmLastBackup_; }
    QString tmDestination() const { return tmDestination_; }
    bool isRunningTM() const { return isRunningTM_; }
    QString sourcePath() const { return sourcePath_; }
    void setSourcePath(const QString& path);
    QString destinationPath() const { return destinationPath_; }
    void setDestinationPath(const QString& path);
    bool isBackingUp() const { return isBackingUp_; }
    // How much of the archive is written so far, while one is written; empty otherwise.
    QString backupProgress() const { return backupProgress_; }
    QStringList excludePaths() const { return excludePaths_; }
    void addExcludePath();                   // appends "~/"
    void removeExcludePath(int index);
    QStringList log() const { return log_; }
    QStringList visibleLog() const { return log_.mid(std::max<qsizetype>(0, log_.size() - visibleLogLines)); }
    bool canStartCustomBackup() const { return !isBackingUp_ && !destinationPath_.isEmpty(); }

    static QCoro::Task<> appear(std::weak_ptr<BackupModel> model, AppearanceScope::Ticket ticket);
    QCoro::Task<> refreshTMStatus();
    QCoro::Task<> startTMBackup();
    QCoro::Task<> runCustomBackup();
    void openTimeMachineSettings();

    // The three texts of the status outputs.
    static QString statusText(const QString& statusOutput);
    static QString destinationText(const QString& destinationOutput);
    static QString lastBackupText(const QString& latestOutput);
    // "backup-<stamp>.tar.gz", or with "-<n>" before ".tar.gz" from the second of a day on.
    static QString archiveFileName(const QString& stamp, int number);
    // The first free archive path of the day in `destination`: nothing, not even a link, stands there.
    static QString freeArchivePath(const QString& destination, const QString& stamp);
    // The tar line writing `archivePath` from `source` without the `excludes` ("~" expanded against `home`).
    static QString archiveCommand(const QString& archivePath, const QStringList& excludes, const QString& source,
                                  const QString& home);
    // Why `destination` cannot receive an archive of `source`; none when it can.
    static std::optional<QString> destinationRefusal(const QString& destination, const QString& source);

signals:
    void changed();
    void logChanged();

private:
    static QCoro::Task<> refreshWith(std::weak_ptr<BackupModel> model, AppearanceScope::Ticket ticket);
    void appendLog(const QStringList& lines);
    void refuse(const QString& reason);
    void measureProgress();

    BackupMethod selectedMethod_ = BackupMethod::timeMachine;
    QString tmStatus_ = QStringLiteral("確認中…");
    QString tmLastBackup_ = QStringLiteral("—");
    QString tmDestination_ = QStringLiteral("—");
    bool isRunningTM_ = false;
    QString sourcePath_;
    QString destinationPath_;
    bool isBackingUp_ = false;
    QString backupProgress_;
    QString growingArchive_;
    QStringList excludePaths_{QStringLiteral("~/Library/Caches"), QStringLiteral("~/Downloads"),
                              QStringLiteral(".DS_Store"), QStringLiteral("node_modules")};
    QStringList log_;
    QTimer* progressTimer_;
    AppearanceScope ownScope_;

    // Destinations an archive is being written to, by any screen of the process.
    static QSet<QString>& destinationsInUse();
};
