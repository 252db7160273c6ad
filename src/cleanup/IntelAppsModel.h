#pragma once

#include "cleanup/ArchScanner.h"
#include "exec/SafetyBoundary.h"
#include "exec/ScreenLifetime.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QUuid>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// How the ticked applications go: into the Trash (can be undone) or deleted for good.
enum class RemovalMethod { trash, permanent };
Q_DECLARE_METATYPE(RemovalMethod)

namespace Removal {
QList<RemovalMethod> allCases();
QString rawValue(RemovalMethod method);   // the display text: "ゴミ箱に移動（推奨）", "完全に削除"
} // namespace Removal

// What one application's removal covers.
enum class LeftoverScope { bundleOnly, bundleAndLeftovers };

// The state and operations of the Intel-only application screen: the scan, the ticks, the
// removal (polite quit, user-rights removal, one administrator batch for the rest) and its
// log. Main thread only. Owned through std::shared_ptr (see ScreenLifetime.h).
class IntelAppsModel final : public QObject, public std::enable_shared_from_this<IntelAppsModel> {
    Q_OBJECT
public:
    // `roots`: the folders the architecture scanner walks; none: its own
    // ("/Applications" and "~/Applications"). `rosetta` defaults to RosettaInfo::current().
    explicit IntelAppsModel(std::optional<QStringList> roots = std::nullopt,
                            std::optional<RosettaInfo> rosetta = std::nullopt);
    ~IntelAppsModel() override;

    static std::shared_ptr<IntelAppsModel> create(std::optional<QStringList> roots = std::nullopt,
                                                  std::optional<RosettaInfo> rosetta = std::nullopt)
    {
        return std::make_shared<IntelAppsModel>(std::move(roots), std::move(rosetta));
    }

    // Running copies get this many checks, this far apart, before they are forced to quit.
    static constexpr int terminationChecks = 15;
    std::chrono::milliseconds terminationPollInterval{200};

    const QList<IntelOnlyApp>& apps() const { return apps_; }
    std::optional<IntelOnlyApp> app(const QUuid& id) const;
    qint64 totalScanned() const { return totalScanned_; }
    bool isScanning() const { return isScanning_; }
    bool isRemoving() const { return isRemoving_; }
    bool hasScanned() const { return hasScanned_; }
    RemovalMethod removalMethod() const { return removalMethod_; }
    void setRemovalMethod(RemovalMethod method);
    bool includeLeftovers() const { return includeLeftovers_; }
    void setIncludeLeftovers(bool include);
    bool showConfirm() const { return showConfirm_; }
    void setShowConfirm(bool show);
    const QStringList& log() const { return log_; }
    RosettaInfo rosetta() const { return rosetta_; }
    // Whether a running application was started from the bundle at `path` (or from where a
    // link on its way leads), as of the end of the last scan or removal.
    bool isRunning(const QString& path) const { return running_.contains(path); }

    QList<IntelOnlyApp> selectedApps() const;
    qint64 totalSizeMB() const;
    qint64 selectedSizeMB() const;
    QString confirmTitle() const;
    QString confirmMessage() const;
    QString confirmButtonText() const;
    // "削除するアプリを選んでね" or "選択中: n 個 / 約…".
    QString selectionText() const;
    // Whether "選択したアプリを削除" can be pressed.
    bool canRemove() const;

    void setSelected(const QUuid& id, bool selected);
    void setAllSelected(bool selected);

    // Scans again and measures the sizes. Keeps the model alive until it has ended.
    QCoro::Task<> scan();
    // The first scan when the screen is shown (only while nothing has been scanned): stops
    // at its next suspension point once `appearance` has ended or the model is gone.
    QCoro::Task<> appearanceTask();
    AppearanceScope appearance;

    // Removes the ticked applications as chosen, logging every path.
    QCoro::Task<> removeSelected();
    // Asks running copies of the application to quit; forces the ones that have not.
    QCoro::Task<> terminateIfRunning(IntelOnlyApp app);
    // The paths of `apps` a running application was started from (blocking: it reads the
    // process list; the model runs it off the main thread).
    static QSet<QString> runningBundles(const QList<IntelOnlyApp>& apps);
    // What removing one application with the user's rights did: its log lines, the paths that
    // need root, and whether its leftovers are still to do (they wait until the bundle is
    // really gone, so an application that stays installed keeps its settings and data).
    struct UserRemoval {
        QStringList log;
        QStringList needsAdministrator;
        bool leftoversPending = false;
    };
    // Blocking file work (the model runs it off the main thread): the bundle, then, once it
    // is gone and was not a link to a bundle elsewhere, the leftovers of `scope`.
    static UserRemoval removeApp(const IntelOnlyApp& app, RemovalMethod method, LeftoverScope scope);
    // Only the leftovers, for an application whose bundle needed root.
    static UserRemoval removeLeftovers(const IntelOnlyApp& app, RemovalMethod method);
    // The paths the user's rights could not remove, in one administrator run; each passes
    // the safety boundary within `allowance` first, refused ones are logged and left alone.
    QCoro::Task<> removeWithAdmin(QStringList paths, RemovalMethod method, Allowance allowance);

    // The administrator line that moves the paths into the user's Trash, named
    // "<time>_<name>" and given back to the user. A name already in the Trash, or taken by an
    // earlier path of the batch, becomes "<time>_<k>_<name>" with the first free k from 2, so
    // nothing is ever moved onto or into an existing item.
    // Root finds the Trash, and every name it moves an item to, as they were when checked.
    QString trashCommand(const QList<RootPath>& paths, const RootPath& trash) const;
    static QString trashCommand(const QList<RootPath>& paths, const RootPath& trash, unsigned userId, qint64 time,
                                const std::function<bool(const QString&)>& isTaken);
    static QString permanentCommand(const QList<RootPath>& paths);

    static QString keptLeftoversLine(const QString& bundlePath);

signals:
    void appsChanged();                  // entries added or removed (a scan, a removal)
    void appChanged(const QUuid& id);    // an entry's size or tick
    void selectionChanged();
    void isScanningChanged(bool scanning);
    void isRemovingChanged(bool removing);
    void removalMethodChanged(RemovalMethod method);
    void includeLeftoversChanged(bool include);
    void showConfirmChanged(bool show);
    void logChanged();

private:
    static QCoro::Task<> runScan(std::weak_ptr<IntelAppsModel> weak, std::optional<AppearanceScope::Ticket> ticket);
    void setScanning(bool scanning);
    void setRemoving(bool removing);
    void appendLog(const QString& line);

    std::optional<QStringList> roots_;
    QList<IntelOnlyApp> apps_;
    qint64 totalScanned_ = 0;
    bool isScanning_ = false;
    bool isRemoving_ = false;
    bool hasScanned_ = false;
    RemovalMethod removalMethod_ = RemovalMethod::trash;
    bool includeLeftovers_ = true;
    bool showConfirm_ = false;
    QStringList log_;
    RosettaInfo rosetta_;
    QSet<QString> running_;
};
