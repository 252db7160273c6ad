#pragma once

#include "exec/ScreenLifetime.h"
#include "installer/CatalogEntry.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QUuid>
#include <qcoro/qcorotask.h>

#include <memory>
#include <optional>

// One version the grid offers.
struct MacOSVersion {
    QUuid id = QUuid::createUuid();
    QString name;
    QString version;
    std::optional<QString> buildNumber;
    std::optional<QString> installerVersion;
    bool isBeta = false;
    std::optional<QString> directURL;
    std::optional<QString> pkgURL;
    std::optional<QString> note;

    // "BETA", "NEW" or empty: the badge of its card.
    QString badge() const;
    // The store button's label, empty when the version has no usable link.
    QString storeButtonTitle() const;
};

// One external whole disk.
struct DiskInfo {
    QUuid id = QUuid::createUuid();
    QString name;           // the device identifier, such as disk4
    QString displayName;    // "/dev/" + name
    qint64 sizeBytes = 0;

    // Same disk as listed before: identifier and size, whatever the record's id.
    bool sameDisk(const DiskInfo& other) const { return name == other.name && sizeBytes == other.sizeBytes; }
};

namespace Installers {
// Host names of the vendor's software download CDN, the App Store web host and the support site.
QString cdnHost();
QString appStoreHost();
QString supportHost();
QString softwareUpdateSettingsURL();
QString guideURL();
QList<MacOSVersion> builtInVersions();
// The catalog's entries (newest first) as versions, then the built-ins the catalog does not cover.
QList<MacOSVersion> mergedVersions(const QList<CatalogEntry>& entries);
// "ja_JP" short date and short time.
QString formatDate(const QDateTime& date);
// Whether a version text may become part of a file name or a softwareupdate argument.
bool isPlainVersion(const QString& text);
// The fraction (0…1) a line of curl's "-#" progress bar shows; none for other lines.
std::optional<double> curlProgress(const QString& line);
// The disks of "diskutil list -plist external"; empty for empty or unreadable output.
QList<DiskInfo> parseDiskList(const QString& output);
// "disk" followed by digits only.
bool isWholeDiskIdentifier(const QString& name);
} // namespace Installers

// The state and operations of the installer screen: the version selection, the download and
// expansion of an installer, the external disks and the creation of USB media, and the log
// all of them write into. Main thread only; owned through std::shared_ptr (ScreenLifetime.h).
class InstallerModel final : public QObject, public std::enable_shared_from_this<InstallerModel> {
    Q_OBJECT
public:
    InstallerModel();
    ~InstallerModel() override;
    static std::shared_ptr<InstallerModel> create() { return std::make_shared<InstallerModel>(); }

    const std::optional<MacOSVersion>& selectedVersion() const { return selectedVersion_; }
    // Selecting a card also clears the catalog entry selection, which nothing else sets.
    void selectVersion(const MacOSVersion& version);
    const std::optional<CatalogEntry>& selectedCatalogEntry() const { return selectedCatalogEntry_; }
    bool showCatalogSection() const { return showCatalogSection_; }
    bool isDownloading() const { return isDownloading_; }
    const QStringList& downloadLog() const { return downloadLog_; }
    // The download's progress: none until curl has shown a percentage.
    std::optional<double> downloadFraction() const { return downloadFraction_; }
    // Bytes so far, total and time left, when the total is known.
    const QString& downloadProgressText() const { return downloadProgressText_; }

    const QList<DiskInfo>& availableDisks() const { return availableDisks_; }
    const std::optional<DiskInfo>& selectedDisk() const { return selectedDisk_; }
    void selectDisk(const QUuid& id);
    bool isCreatingUSB() const { return isCreatingUSB_; }
    bool showUSBConfirm() const { return showUSBConfirm_; }
    void setShowUSBConfirm(bool show);
    // "作成する（" + disk + "を消去）"
    QString confirmButtonTitle() const;

    // The download file of `version` in the system's temporary folder; none when the version
    // text is not plain (it would leave the folder or change the command line).
    static std::optional<QString> packagePath(const MacOSVersion& version);
    // Whether a download of `version`'s package is running anywhere in the process (a screen
    // left and shown again mid-download sees it too).
    static bool isDownloadRunning(const MacOSVersion& version);

    // Disks first, then a refresh of the catalog when it is older than a day.
    QCoro::Task<> appearanceTask();
    AppearanceScope appearance;

    QCoro::Task<> downloadInstaller(MacOSVersion version);
    QCoro::Task<> refreshDisks();
    QCoro::Task<> createUSB();

    // The root line that expands `pkgPath`, checking first that it is still the user's
    // private regular file (a swap between download and expansion is refused).
    static QString expansionCommand(const QString& pkgPath, unsigned userId);

signals:
    void changed();            // selection, flags, the confirmation
    void disksChanged();       // the disk list or the chosen disk
    void progressChanged();    // the download's fraction and its text
    void logChanged();

private:
    void appendLog(const QString& line);
    void setDownloading(bool downloading);
    void finishDownload(const QString& pkgPath);
    void setDisks(QList<DiskInfo> disks);
    QCoro::Task<bool> downloadPackage(MacOSVersion version, QString pkgPath);
    QCoro::Task<> expandPackage(MacOSVersion version, QString pkgPath);
    void noteProgress(const QString& line);
    // Runs `cmd`, appending every line (split at carriage returns and line feeds) to the log;
    // true when it exited with status 0.
    QCoro::Task<bool> runStreamingProcess(QString cmd);

    std::optional<MacOSVersion> selectedVersion_;
    std::optional<CatalogEntry> selectedCatalogEntry_;
    bool showCatalogSection_ = false;
    bool isDownloading_ = false;
    QStringList downloadLog_;
    std::optional<double> downloadFraction_;
    QString downloadProgressText_;
    qint64 downloadTotal_ = 0;
    qint64 downloadStartedAt_ = 0;

    QList<DiskInfo> availableDisks_;
    std::optional<DiskInfo> selectedDisk_;
    bool isCreatingUSB_ = false;
    bool showUSBConfirm_ = false;
};
