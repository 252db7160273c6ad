#include "cleanup/IntelAppsModel.h"

#include "app/AppState.h"
#include "cleanup/InstalledApp.h"
#include "exec/AuthorizationManager.h"
#include "exec/Quote.h"
#include "exec/Shell.h"
#include "platform/FileManager.h"
#include "platform/Kernel.h"
#include "platform/Workspace.h"

#include <QDateTime>
#include <qcoro/qcorofuture.h>
#include <qcoro/qcorotimer.h>

#include <algorithm>

namespace {

// The paths a running copy of the bundle at `path` may report: the path and, when a link lies
// on its way, the resolved one (the system reports that). None for an empty path.
QStringList reportedPaths(const QString& path)
{
    if (path.isEmpty())
        return {};
    const QString canonical = platform::FileManager::shared().canonicalPath(path);
    return canonical.isEmpty() || canonical == path ? QStringList{path} : QStringList{path, canonical};
}

// One path to the Trash or deleted through the safety boundary, within `allowance`.
SafetyBoundary::Outcome removeItem(const QString& path, RemovalMethod method, const Allowance& allowance)
{
    const SafetyBoundary boundary;
    return method == RemovalMethod::trash ? boundary.moveToTrash(path, allowance) : boundary.removeItem(path, allowance);
}

QString refusedLogLine(const QString& path, const QString& reason)
{
    return QStringLiteral("  ") + refusedLine(path, reason);
}

} // namespace

namespace Removal {

QList<RemovalMethod> allCases()
{
    return {RemovalMethod::trash, RemovalMethod::permanent};
}

QString rawValue(RemovalMethod method)
{
    switch (method) {
    case RemovalMethod::trash:
        return QStringLiteral("ゴミ箱に移動（推奨）");
    case RemovalMethod::permanent:
        return QStringLiteral("完全に削除");
    }
    return QString();
}

} // namespace Removal

IntelAppsModel::IntelAppsModel(std::optional<QStringList> roots, std::optional<RosettaInfo> rosetta)
    : roots_(std::move(roots)), rosetta_(rosetta ? *rosetta : RosettaInfo::current())
{
}

IntelAppsModel::~IntelAppsModel() = default;

std::optional<IntelOnlyApp> IntelAppsModel::app(const QUuid& id) const
{
    for (const IntelOnlyApp& entry : apps_)
        if (entry.id == id)
            return entry;
    return std::nullopt;
}

void IntelAppsModel::setRemovalMethod(RemovalMethod method)
{
    if (method == removalMethod_)
        return;
    removalMethod_ = method;
    emit removalMethodChanged(method);
}

void IntelAppsModel::setIncludeLeftovers(bool include)
{
    if (include == includeLeftovers_)
        return;
    includeLeftovers_ = include;
    emit includeLeftoversChanged(include);
}

void IntelAppsModel::setShowConfirm(bool show)
{
    if (show == showConfirm_)
        return;
    showConfirm_ = show;
    emit showConfirmChanged(show);
}

QList<IntelOnlyApp> IntelAppsModel::selectedApps() const
{
    QList<IntelOnlyApp> selected;
    for (const IntelOnlyApp& entry : apps_)
        if (entry.isSelected)
            selected << entry;
    return selected;
}

qint64 IntelAppsModel::totalSizeMB() const
{
    qint64 total = 0;
    for (const IntelOnlyApp& entry : apps_)
        total += entry.sizeMB;
    return total;
}

qint64 IntelAppsModel::selectedSizeMB() const
{
    qint64 total = 0;
    for (const IntelOnlyApp& entry : apps_)
        if (entry.isSelected)
            total += entry.sizeMB;
    return total;
}

QString IntelAppsModel::confirmButtonText() const
{
    return removalMethod_ == RemovalMethod::trash ? QStringLiteral("ゴミ箱に移動") : QStringLiteral("完全に削除");
}

QString IntelAppsModel::confirmTitle() const
{
    return QString::number(selectedApps().size()) + QStringLiteral(" 個のアプリを") + confirmButtonText()
        + QStringLiteral("しますか？");
}

QString IntelAppsModel::confirmMessage() const
{
    return QStringLiteral("合計 約") + formatSize(selectedSizeMB()) + QStringLiteral("。")
        + (includeLeftovers_ ? QStringLiteral("設定・キャッシュなどの関連ファイルも一緒に処理します。")
                             : QStringLiteral("アプリ本体のみ処理します。"))
        + (removalMethod_ == RemovalMethod::permanent ? QStringLiteral("この操作は元に戻せません。")
                                                      : QStringLiteral("ゴミ箱から元に戻せます。"))
        + QStringLiteral("起動中のアプリは終了されます。");
}

QString IntelAppsModel::selectionText() const
{
    const QList<IntelOnlyApp> selected = selectedApps();
    if (selected.isEmpty())
        return QStringLiteral("削除するアプリを選んでね");
    return QStringLiteral("選択中: ") + QString::number(selected.size()) + QStringLiteral(" 個 / 約")
        + formatSize(selectedSizeMB());
}

bool IntelAppsModel::canRemove() const
{
    return !isRemoving_ && !isScanning_ && !selectedApps().isEmpty();
}

void IntelAppsModel::setSelected(const QUuid& id, bool selected)
{
    for (IntelOnlyApp& entry : apps_) {
        if (entry.id == id && entry.isSelected != selected) {
            entry.isSelected = selected;
            emit appChanged(id);
            emit selectionChanged();
            return;
        }
    }
}

void IntelAppsModel::setAllSelected(bool selected)
{
    bool changed = false;
    for (IntelOnlyApp& entry : apps_) {
        if (entry.isSelected != selected) {
            entry.isSelected = selected;
            changed = true;
            emit appChanged(entry.id);
        }
    }
    if (changed)
        emit selectionChanged();
}

void IntelAppsModel::setScanning(bool scanning)
{
    if (scanning == isScanning_)
        return;
    isScanning_ = scanning;
    emit isScanningChanged(scanning);
}

void IntelAppsModel::setRemoving(bool removing)
{
    if (removing == isRemoving_)
        return;
    isRemoving_ = removing;
    emit isRemovingChanged(removing);
}

void IntelAppsModel::appendLog(const QString& line)
{
    log_ << line;
    emit logChanged();
}

QCoro::Task<> IntelAppsModel::scan()
{
    auto keep = shared_from_this();
    std::weak_ptr<IntelAppsModel> weak = keep;
    std::optional<AppearanceScope::Ticket> ticket;
    co_await runScan(weak, ticket);
}

QCoro::Task<> IntelAppsModel::appearanceTask()
{
    if (hasScanned_)
        co_return;
    std::weak_ptr<IntelAppsModel> weak = weak_from_this();
    std::optional<AppearanceScope::Ticket> ticket = appearance.ticket();
    co_await runScan(weak, ticket);
}

QCoro::Task<> IntelAppsModel::runScan(std::weak_ptr<IntelAppsModel> weak, std::optional<AppearanceScope::Ticket> ticket)
{
    QStringList roots;
    {
        auto self = weak.lock();
        if (!self || (ticket && !*ticket))
            co_return;
        self->setScanning(true);
        self->apps_.clear();
        emit self->appsChanged();
        emit self->selectionChanged();
        roots = self->roots_ ? *self->roots_ : ArchScanner::applicationRoots();
    }
    // The walk reads thousands of files, the process list hundreds: both run off the main thread.
    QFuture<std::pair<ScanResult, QSet<QString>>> scanning = Shell::inPool(Shell::commandPool(), [roots] {
        ScanResult result = ArchScanner::scan(roots);
        QSet<QString> running = runningBundles(result.intelApps);
        return std::pair{std::move(result), std::move(running)};
    });
    const std::pair<ScanResult, QSet<QString>> scanned = co_await scanning;
    const ScanResult& result = scanned.first;
    {
        auto self = weak.lock();
        if (!self)
            co_return;
        if (ticket && !*ticket) {
            self->setScanning(false);
            co_return;
        }
        self->apps_ = result.intelApps;
        self->running_ = scanned.second;
        self->totalScanned_ = result.totalScanned;
        self->hasScanned_ = true;
        emit self->appsChanged();
        emit self->selectionChanged();
        self->setScanning(false);
    }
    QList<IntelOnlyApp> snapshot;
    if (auto self = weak.lock())
        snapshot = self->apps_;
    std::function<void(const QUuid&, qint64)> apply = [weak, ticket](const QUuid& id, qint64 sizeMB) {
        auto self = weak.lock();
        if (!self || (ticket && !*ticket))
            return;
        // A result for an entry removed meanwhile is dropped.
        if (applyMeasuredSize(self->apps_, id, sizeMB)) {
            emit self->appChanged(id);
            emit self->selectionChanged();
        }
    };
    co_await measureSizes(snapshot, apply);
}

QSet<QString> IntelAppsModel::runningBundles(const QList<IntelOnlyApp>& apps)
{
    QSet<QString> running;
    if (apps.isEmpty())
        return running;
    QSet<QString> reported;
    for (const platform::RunningApplication& process : platform::Workspace::shared().runningApplications())
        reported.insert(process.bundlePath);
    for (const IntelOnlyApp& app : apps) {
        const QStringList paths = reportedPaths(app.path);
        if (std::any_of(paths.cbegin(), paths.cend(), [&reported](const QString& path) { return reported.contains(path); }))
            running.insert(app.path);
    }
    return running;
}

QCoro::Task<> IntelAppsModel::terminateIfRunning(IntelOnlyApp app)
{
    auto keep = shared_from_this();
    platform::Workspace& workspace = platform::Workspace::shared();
    const QStringList paths = reportedPaths(app.path);
    QList<platform::RunningApplication> running;
    for (const platform::RunningApplication& candidate : workspace.runningApplications())
        if (paths.contains(candidate.bundlePath))
            running << candidate;
    if (running.isEmpty())
        co_return;

    appendLog(QStringLiteral("⏹ 起動中のため終了します: ") + app.name);
    for (const platform::RunningApplication& process : std::as_const(running))
        workspace.terminate(process);
    for (int check = 0; check < terminationChecks; ++check) {
        const bool allEnded = std::none_of(running.cbegin(), running.cend(), [&workspace](const auto& process) {
            return workspace.isRunning(process);
        });
        if (allEnded)
            co_return;
        co_await QCoro::sleepFor(terminationPollInterval);
    }
    for (const platform::RunningApplication& process : std::as_const(running))
        if (workspace.isRunning(process))
            workspace.forceTerminate(process);
}

IntelAppsModel::UserRemoval IntelAppsModel::removeApp(const IntelOnlyApp& app, RemovalMethod method, LeftoverScope scope)
{
    const platform::FileManager& files = platform::FileManager::shared();
    const Allowance allowance = InstalledApp::removalAllowance(app.path, app.name, app.bundleID);
    // A bundle path that is a link only points at the application, which stays installed
    // elsewhere when the link goes.
    const bool bundleIsLink = files.isSymbolicLink(app.path);
    const SafetyBoundary::Outcome bundle = removeItem(app.path, method, allowance);
    UserRemoval result;
    if (bundle.succeeded())
        result.log << QStringLiteral("  ✅ ") + app.path;
    else if (bundle.refusal)
        result.log << refusedLogLine(app.path, *bundle.refusal);
    else
        result.needsAdministrator << app.path;
    if (scope == LeftoverScope::bundleOnly)
        return result;
    if (!bundle.succeeded() && !bundle.refusal) {
        result.leftoversPending = true;
        return result;
    }
    if (bundle.refusal || bundleIsLink) {
        result.log << keptLeftoversLine(app.path);
        return result;
    }
    const UserRemoval leftovers = removeLeftovers(app, method);
    result.log << leftovers.log;
    result.needsAdministrator << leftovers.needsAdministrator;
    return result;
}

IntelAppsModel::UserRemoval IntelAppsModel::removeLeftovers(const IntelOnlyApp& app, RemovalMethod method)
{
    const QString home = platform::FileManager::shared().homeDirectory();
    const Allowance allowance = InstalledApp::removalAllowance(app.path, app.name, app.bundleID);
    UserRemoval result;
    for (const QString& path : InstalledApp::leftovers(app.name, app.bundleID)) {
        const SafetyBoundary::Outcome outcome = removeItem(path, method, allowance);
        if (outcome.succeeded())
            result.log << QStringLiteral("  ✅ ") + path;
        else if (outcome.refusal)
            result.log << refusedLogLine(path, *outcome.refusal);
        else if (isInsideHome(path, home))
            result.log << QStringLiteral("  ⚠️ スキップ: ") + path;
        else
            result.needsAdministrator << path;
    }
    return result;
}

QString IntelAppsModel::keptLeftoversLine(const QString& bundlePath)
{
    return QStringLiteral("  ⏭ アプリが残っているため、残存ファイルは削除しませんでした: ") + bundlePath;
}

QString IntelAppsModel::trashCommand(const QList<RootPath>& paths, const RootPath& trash, unsigned userId, qint64 time,
                                     const std::function<bool(const QString&)>& isTaken)
{
    const QString prefix = trash.path() + QLatin1Char('/');
    const QString stamp = QString::number(time);
    const QString owner = QString::number(userId);
    QStringList used;
    QStringList parts;
    for (const RootPath& root : paths) {
        const QString& path = root.path();
        const QString name = lastPathComponent(path);
        QString destination = prefix + stamp + QLatin1Char('_') + name;
        for (int k = 2; used.contains(destination) || (isTaken && isTaken(destination)); ++k)
            destination = prefix + stamp + QLatin1Char('_') + QString::number(k) + QLatin1Char('_') + name;
        used << destination;
        const QString quotedDestination = Quote::forSingleQuotes(destination);
        parts << QStringLiteral("/bin/mv '") + Quote::forSingleQuotes(path) + QStringLiteral("' '") + quotedDestination
                + QStringLiteral("' && /usr/sbin/chown -R ") + owner + QStringLiteral(" '") + quotedDestination
                + QLatin1Char('\'');
    }
    return SafetyBoundary::guarded(paths + QList<RootPath>{trash}, parts.join(QStringLiteral("; ")) + QStringLiteral("; true"), used);
}

QString IntelAppsModel::trashCommand(const QList<RootPath>& paths, const RootPath& trash) const
{
    const platform::FileManager& files = platform::FileManager::shared();
    return trashCommand(paths, trash, platform::Kernel::shared().userId(), QDateTime::currentSecsSinceEpoch(),
                        [&files](const QString& destination) { return files.entryExists(destination); });
}

QString IntelAppsModel::permanentCommand(const QList<RootPath>& paths)
{
    QStringList parts;
    for (const RootPath& path : paths)
        parts << QStringLiteral("/bin/rm -rf '") + Quote::forSingleQuotes(path.path()) + QLatin1Char('\'');
    return SafetyBoundary::guarded(paths, parts.join(QStringLiteral("; ")) + QStringLiteral("; true"));
}

QCoro::Task<> IntelAppsModel::removeWithAdmin(QStringList paths, RemovalMethod method, Allowance allowance)
{
    auto keep = shared_from_this();
    appendLog(QStringLiteral("🔑 管理者権限が必要な項目があります（%1件）…").arg(paths.size()));
    const platform::FileManager& files = platform::FileManager::shared();
    const SafetyBoundary boundary(files);
    const Operation operation = method == RemovalMethod::trash ? Operation::trash : Operation::remove;
    QList<RootPath> cleared;
    for (const QString& path : std::as_const(paths)) {
        QString why;
        if (const std::optional<RootPath> target = boundary.forRoot(path, allowance, operation, &why))
            cleared << *target;
        else
            appendLog(refusedLogLine(path, why));
    }
    std::optional<RootPath> trash;
    if (method == RemovalMethod::trash) {
        // Root moves the items into the user's Trash: a Trash reached through a link would
        // send them, and the ownership change after them, anywhere.
        const QString folder = files.homeDirectory() + QStringLiteral("/.Trash");
        QString why;
        trash = boundary.forRoot(folder, Allowance({folder}), Operation::empty, &why);
        if (!trash) {
            appendLog(refusedLogLine(folder, why));
            co_return;
        }
    }
    if (cleared.isEmpty())
        co_return;
    const QString command = trash ? trashCommand(cleared, *trash) : permanentCommand(cleared);
    try {
        co_await AuthorizationManager::shared().runPrivilegedShell(command);
        for (const RootPath& path : std::as_const(cleared)) {
            if (files.exists(path.path()))
                appendLog(QStringLiteral("  ⚠️ 処理できませんでした: ") + path.path());
            else
                appendLog(QStringLiteral("  ✅ ") + path.path());
        }
    } catch (const AuthError& error) {
        if (error.kind() == AuthError::Kind::userCancelled)
            appendLog(QStringLiteral("🚫 キャンセルされました"));
        else
            appendLog(QStringLiteral("❌ エラー: ") + error.errorDescription());
    } catch (const std::exception& error) {
        appendLog(QStringLiteral("❌ エラー: ") + LocalizedError::describe(error));
    }
}

QCoro::Task<> IntelAppsModel::removeSelected()
{
    auto keep = shared_from_this();
    const QList<IntelOnlyApp> targets = selectedApps();
    if (targets.isEmpty())
        co_return;
    const RemovalMethod method = removalMethod_;
    const LeftoverScope scope = includeLeftovers_ ? LeftoverScope::bundleAndLeftovers : LeftoverScope::bundleOnly;

    setRemoving(true);
    log_ = QStringList{QStringLiteral("🧹 ") + QString::number(targets.size()) + QStringLiteral(" 個の Intel専用アプリを")
                       + (method == RemovalMethod::trash ? QStringLiteral("ゴミ箱に移動") : QStringLiteral("削除"))
                       + QStringLiteral("します…")};
    emit logChanged();

    Allowance allowance;
    QStringList needsAdministrator;
    QList<IntelOnlyApp> pending;
    for (const IntelOnlyApp& app : targets) {
        co_await terminateIfRunning(app);
        allowance += InstalledApp::removalAllowance(app.path, app.name, app.bundleID);
        // A bundle or a container can hold a hundred thousand files: the walk leaves the main thread.
        QFuture<UserRemoval> removing = Shell::inPool(Shell::commandPool(), [app, method, scope] { return removeApp(app, method, scope); });
        const UserRemoval removed = co_await removing;
        for (const QString& line : removed.log)
            appendLog(line);
        needsAdministrator << removed.needsAdministrator;
        if (removed.leftoversPending)
            pending << app;
    }
    if (!needsAdministrator.isEmpty())
        co_await removeWithAdmin(needsAdministrator, method, allowance);

    // Leftovers of applications whose bundle needed root follow only once the bundle is gone.
    const platform::FileManager& files = platform::FileManager::shared();
    QStringList leftoversForAdministrator;
    for (const IntelOnlyApp& app : std::as_const(pending)) {
        if (files.exists(app.path) || files.isSymbolicLink(app.path)) {
            appendLog(keptLeftoversLine(app.path));
            continue;
        }
        QFuture<UserRemoval> removing = Shell::inPool(Shell::commandPool(), [app, method] { return removeLeftovers(app, method); });
        const UserRemoval removed = co_await removing;
        for (const QString& line : removed.log)
            appendLog(line);
        leftoversForAdministrator << removed.needsAdministrator;
    }
    if (!leftoversForAdministrator.isEmpty())
        co_await removeWithAdmin(leftoversForAdministrator, method, allowance);

    // Entries whose bundle is still on disk stay listed (and ticked).
    QSet<QUuid> handled;
    for (const IntelOnlyApp& app : targets)
        handled.insert(app.id);
    const qsizetype before = apps_.size();
    apps_.removeIf([&](const IntelOnlyApp& entry) { return handled.contains(entry.id) && !files.exists(entry.path); });
    QFuture<QSet<QString>> checking = Shell::inPool(Shell::commandPool(), [apps = apps_] { return runningBundles(apps); });
    running_ = co_await checking;
    if (apps_.size() != before) {
        emit appsChanged();
        emit selectionChanged();
    }

    appendLog(QStringLiteral("🎉 完了！"));
    AppState::shared().showMessage(QStringLiteral("Intel専用アプリの整理が完了しました"), false);
    setRemoving(false);
}
