#pragma once

#include "exec/CleanerHelper.h"
#include "exec/SafetyBoundary.h"
#include "exec/ScreenLifetime.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <qcoro/qcorotask.h>

#include <memory>
#include <optional>

// A directory the safety boundary would not let a run touch, with the reason.
struct RefusedPath {
    QString path;
    QString reason;
    bool operator==(const RefusedPath&) const = default;
};

// One group of cache, log or temporary directories.
struct CacheCategory {
    QUuid id = QUuid::createUuid();
    QString name;
    QString icon;             // symbol name
    QColor color;
    QStringList paths;        // "~" stands for the user's home directory
    qint64 estimatedMB = 0;   // last measured size; 0 until measured
    bool isSelected = true;
    QList<RefusedPath> refused;   // directories a run would refuse, as of the last measuring
};

// The eight groups in display order, all selected. The temporary group starts with the
// user's temporary directory as the file manager reports it.
QList<CacheCategory> defaultCategories();

// How system-area directories are emptied: through the cleanup helper after owner
// authentication, or with one administrator command.
enum class PrivilegeMode { touchID, password };

// The selected directories of a run: the existing ones the user empties, the existing
// system ones cleared for root, and those the safety boundary refused (logged, never touched,
// never measured).
struct PathSplit {
    QStringList user;
    QList<RootPath> system;
    QList<RefusedPath> refused;

    QStringList systemPaths() const;
};

// The cache screen: measures the groups, empties the chosen directories and keeps the log.
// Main thread only. Owned by its view through std::shared_ptr (see exec/ScreenLifetime.h).
class CacheModel final : public QObject, public std::enable_shared_from_this<CacheModel> {
    Q_OBJECT
public:
    static inline const QString touchIdReason = QStringLiteral("システム領域の一時ファイルとキャッシュを削除します");

    explicit CacheModel(QList<CacheCategory> categories = defaultCategories());
    ~CacheModel() override;

    const QList<CacheCategory>& categories() const { return categories_; }
    void setSelected(int index, bool selected);
    bool isScanning() const { return scanCount_ > 0; }
    bool isCleaning() const { return isCleaning_; }
    bool isSettingUp() const { return isSettingUp_; }
    bool showSetupPrompt() const { return showSetupPrompt_; }
    void setShowSetupPrompt(bool show);
    const QStringList& log() const { return log_; }

    qint64 selectedTotal() const;
    bool hasSelection() const;
    bool canScan() const { return !isScanning() && !isCleaning_; }
    bool canClean() const { return !isScanning() && !isCleaning_ && !isSettingUp_ && hasSelection(); }
    bool canChangeHelper() const { return !isSettingUp_ && !isCleaning_; }

    // The appearance task: refreshes the helper status, then measures. Stops at its next
    // suspension point once `ticket` is invalid or the model is gone.
    static QCoro::Task<> appear(std::weak_ptr<CacheModel> model, AppearanceScope::Ticket ticket);

    QCoro::Task<> scan();
    // The clean button: asks the setup question (showSetupPrompt) when system directories are
    // selected and the helper is not installed, otherwise starts a Touch ID run.
    void startClean();
    QCoro::Task<> clean(PrivilegeMode mode);
    PathSplit partitionPaths() const;
    // The same split for any of the groups' directories ("~" expanded).
    PathSplit partition(const QStringList& paths) const;
    QCoro::Task<bool> cleanWithTouchID(QList<RootPath> paths);
    QCoro::Task<bool> cleanWithPassword(QList<RootPath> paths);
    QCoro::Task<> setupHelper();
    QCoro::Task<> setupAndClean();
    QCoro::Task<> removeHelper();

    static QString userResultLine(const QString& path, const platform::TreeRemoval& counts);
    static QString helperResultLine(const QString& line);
    static QString refusedLine(const RefusedPath& refused);

    // The du line measuring the existing `paths` of one group in whole MiB, summed by awk
    // (each path quoted for the shell).
    static QString groupSizeCommand(const QStringList& paths);
    // The root line emptying `paths` (each quoted for the shell).
    static QString passwordCommand(const QList<RootPath>& paths);
    // "計測待ち" below 1, else "〜N MB".
    static QString sizeText(qint64 estimatedMB);
    // What a card says of its refused directories: "" when none, else a short caption and,
    // in `details`, one line per directory with its reason.
    static QString refusalCaption(const CacheCategory& category, QString* details = nullptr);
    // Whether an expanded path belongs to the user's own area.
    static bool isUserPath(const QString& path, const QString& home, const QString& temporary);

    // The Touch ID card.
    static QString helperTitle(CleanerHelperStatus status);
    static QString helperSubtitle(CleanerHelperStatus status, bool canUseTouchID);
    static QString helperButton(CleanerHelperStatus status);

signals:
    void categoriesChanged();   // sizes or selection
    void stateChanged();        // flags
    void logChanged();
    void setupPromptChanged(bool show);

private:
    static QCoro::Task<> scanWith(std::weak_ptr<CacheModel> model, AppearanceScope::Ticket ticket);
    static QCoro::Task<> measureOne(std::weak_ptr<CacheModel> model, AppearanceScope::Ticket ticket, QUuid id,
                                    QStringList paths);
    // What the boundary lets this screen act on: the groups' directories for the user, the
    // cleanup helper's folders for root.
    Allowance userAllowance() const;
    void append(const QString& line);
    void setCleaning(bool cleaning);
    void setSettingUp(bool settingUp);

    QList<CacheCategory> categories_;
    int scanCount_ = 0;
    bool isCleaning_ = false;
    bool isSettingUp_ = false;
    bool showSetupPrompt_ = false;
    QStringList log_;
    AppearanceScope ownScope_;   // tickets of work the user started; never ended
};
