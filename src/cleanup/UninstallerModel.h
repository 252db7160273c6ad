#pragma once

#include "cleanup/InstalledApp.h"
#include "exec/ScreenLifetime.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <qcoro/qcorotask.h>

#include <memory>
#include <optional>

// The state and operations of the uninstaller screen: the applications of the three
// application folders, the search, the selection and the removal of one application with
// its leftovers. Main thread only. Owned through std::shared_ptr (see ScreenLifetime.h).
class UninstallerModel final : public QObject, public std::enable_shared_from_this<UninstallerModel> {
    Q_OBJECT
public:
    // The folders whose immediate children are listed; empty: "/Applications",
    // "/System/Applications" and "$HOME/Applications" (the shell expands $HOME).
    explicit UninstallerModel(QStringList searchRoots = {});
    ~UninstallerModel() override;

    static std::shared_ptr<UninstallerModel> create(QStringList searchRoots = {})
    {
        return std::make_shared<UninstallerModel>(std::move(searchRoots));
    }

    // The find line that lists the bundles of the roots (the default ones when empty).
    static QString scanCommand(const QStringList& searchRoots = {});
    // du's answer (bundleSizeCommand) as a number of MiB: the trimmed output as a decimal
    // floating-point number, 0 for anything else.
    static double parseSize(const QString& output);
    // The bundle paths in find's output: lines that begin with "/" and end in ".app", so
    // that a name holding a line feed cannot make its parent folder (or any other line
    // piece) a record.
    static QStringList bundlePaths(const QString& findOutput);
    // Code-point order of the NFC-normalised names, stable.
    static void sortByName(QList<InstalledApp>& apps);
    // The members of `apps` whose name contains `searchText` (localised, case-insensitive).
    static QList<InstalledApp> filter(const QList<InstalledApp>& apps, const QString& searchText);
    // One record for one bundle path: name, identifier from Contents/Info.plist (or the
    // fallback), size from du. Owns nothing of a model, so it may outlive one.
    static QCoro::Task<InstalledApp> makeRecord(QString bundlePath);

    // Root command lines of the removal; every path is escaped for its context. The kill
    // pattern matches command lines that start with the bundle's path followed by "/" or
    // their end, so a process of another bundle whose path merely contains it survives.
    static QString killCommand(const RootPath& bundlePath);
    static QString removeCommand(const RootPath& path);

    const QList<InstalledApp>& apps() const { return apps_; }
    QList<InstalledApp> filtered() const { return filter(apps_, searchText_); }
    QString searchText() const { return searchText_; }
    void setSearchText(const QString& text);
    bool isScanning() const { return isScanning_; }
    const std::optional<InstalledApp>& selectedApp() const { return selectedApp_; }
    void setSelectedApp(const std::optional<InstalledApp>& app);
    bool showConfirm() const { return showConfirm_; }
    void setShowConfirm(bool show);
    bool isUninstalling() const { return isUninstalling_; }
    const QStringList& log() const { return log_; }

    // The title of the confirmation dialog for the current selection.
    QString confirmTitle() const;
    static QString confirmMessage();

    // Lists the bundles again. Keeps the model alive until it has ended.
    QCoro::Task<> scan();
    // The first scan when the screen is shown: stops at its next suspension point once
    // `appearance` has ended or the model is gone.
    QCoro::Task<> appearanceTask();
    AppearanceScope appearance;

    // Removes selectedApp (processes, bundle, then its leftovers), logging every step.
    QCoro::Task<> uninstall();

signals:
    void appsChanged();
    void searchTextChanged();
    void isScanningChanged(bool scanning);
    void selectedAppChanged();
    void showConfirmChanged(bool show);
    void isUninstallingChanged(bool uninstalling);
    void logChanged();

private:
    static QCoro::Task<> runScan(std::weak_ptr<UninstallerModel> weak, std::optional<AppearanceScope::Ticket> ticket);
    void setScanning(bool scanning);
    void setApps(QList<InstalledApp> apps);
    void appendLog(const QString& line);
    QCoro::Task<> removeLeftovers(InstalledApp app);

    QStringList searchRoots_;
    QList<InstalledApp> apps_;
    QString searchText_;
    bool isScanning_ = false;
    std::optional<InstalledApp> selectedApp_;
    bool showConfirm_ = false;
    bool isUninstalling_ = false;
    QStringList log_;
};
