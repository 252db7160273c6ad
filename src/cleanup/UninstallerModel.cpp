#include "cleanup/UninstallerModel.h"

#include "app/AppState.h"
#include "exec/AuthorizationManager.h"
#include "exec/Quote.h"
#include "exec/Shell.h"
#include "platform/FileManager.h"
#include "platform/PropertyList.h"

#include <qcoro/qcorofuture.h>

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const QString defaultScanCommand = QStringLiteral(
    "find /Applications /System/Applications \"$HOME/Applications\"     -maxdepth 1 -name \"*.app\" -type d 2>/dev/null");

// Why the file manager could not remove a path, as the user reads it.
QString removalFailure(const QString& path, const SafetyBoundary::Outcome& outcome)
{
    if (outcome.refusal)
        return *outcome.refusal;
    QString text = QStringLiteral("“%1”を削除できませんでした。").arg(lastPathComponent(path));
    if (outcome.counts.error != 0)
        text += QLatin1Char(' ') + qt_error_string(outcome.counts.error);
    return text;
}

// Names compare by their code points in composed form.
QList<uint> sortKey(const QString& name)
{
    return name.normalized(QString::NormalizationForm_C).toUcs4();
}

} // namespace

UninstallerModel::UninstallerModel(QStringList searchRoots) : searchRoots_(std::move(searchRoots)) {}

UninstallerModel::~UninstallerModel() = default;

QString UninstallerModel::scanCommand(const QStringList& searchRoots)
{
    if (searchRoots.isEmpty())
        return defaultScanCommand;
    QStringList quoted;
    for (const QString& root : searchRoots)
        quoted << Quote::doubleQuoted(root);
    return QStringLiteral("find ") + quoted.join(QLatin1Char(' '))
        + QStringLiteral("     -maxdepth 1 -name \"*.app\" -type d 2>/dev/null");
}

double UninstallerModel::parseSize(const QString& output)
{
    // A decimal floating-point number and nothing else (no hex, no "inf"/"nan").
    static const QRegularExpression number(QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    const QString text = output.trimmed();
    if (!number.match(text).hasMatch())
        return 0;
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0;
}

QStringList UninstallerModel::bundlePaths(const QString& findOutput)
{
    QStringList paths;
    const QStringList lines = findOutput.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1Char('/')) && line.endsWith(QLatin1String(".app")))
            paths << line;
    }
    return paths;
}

void UninstallerModel::sortByName(QList<InstalledApp>& apps)
{
    // Each key is made once: making it per comparison cost a thousand-entry list tens of
    // milliseconds on the main thread.
    std::vector<std::pair<QList<uint>, qsizetype>> keyed;
    keyed.reserve(std::size_t(apps.size()));
    for (qsizetype i = 0; i < apps.size(); ++i)
        keyed.emplace_back(sortKey(apps[i].name), i);
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<InstalledApp> sorted;
    sorted.reserve(apps.size());
    for (const auto& entry : keyed)
        sorted << std::move(apps[entry.second]);
    apps = std::move(sorted);
}

QList<InstalledApp> UninstallerModel::filter(const QList<InstalledApp>& apps, const QString& searchText)
{
    if (searchText.isEmpty())
        return apps;
    QList<InstalledApp> result;
    for (const InstalledApp& app : apps) {
        if (app.name.contains(searchText, Qt::CaseInsensitive))
            result << app;
    }
    return result;
}

QCoro::Task<InstalledApp> UninstallerModel::makeRecord(QString bundlePath)
{
    InstalledApp app;
    app.id = QUuid::createUuid();
    app.path = bundlePath;
    app.name = InstalledApp::nameFromPath(bundlePath);
    // The property list is read off the main thread: a bundle on a slow or stalled volume
    // must not freeze the window.
    const QString plistPath = bundlePath + QStringLiteral("/Contents/Info.plist");
    QFuture<std::optional<QString>> reading = Shell::inPool(Shell::commandPool(), [plistPath] {
        const std::optional<platform::PropertyList> info = platform::PropertyList::read(plistPath);
        return info ? info->string("CFBundleIdentifier") : std::nullopt;
    });
    const std::optional<QString> identifier = co_await reading;
    app.bundleID = identifier ? *identifier : InstalledApp::fallbackBundleID(app.name);
    const QString measure = bundleSizeCommand(bundlePath);
    const ShellResult size = co_await Shell::runAsync(measure);
    app.sizeMB = parseSize(size.output);
    co_return app;
}

QString UninstallerModel::killCommand(const RootPath& bundlePath)
{
    // The path matches literally, not as a regular expression.
    const QString pattern = QLatin1Char('^') + Quote::forRegex(bundlePath.path()) + QStringLiteral("(/|$)");
    return QStringLiteral("pkill -9 -f '") + Quote::forSingleQuotes(pattern) + QStringLiteral("' 2>/dev/null; true");
}

QString UninstallerModel::removeCommand(const RootPath& path)
{
    return SafetyBoundary::guarded({path}, QStringLiteral("rm -rf '") + Quote::forSingleQuotes(path.path()) + QLatin1Char('\''));
}

void UninstallerModel::setSearchText(const QString& text)
{
    if (text == searchText_)
        return;
    searchText_ = text;
    emit searchTextChanged();
}

void UninstallerModel::setSelectedApp(const std::optional<InstalledApp>& app)
{
    if (app == selectedApp_)
        return;
    selectedApp_ = app;
    emit selectedAppChanged();
}

void UninstallerModel::setShowConfirm(bool show)
{
    if (show == showConfirm_)
        return;
    showConfirm_ = show;
    emit showConfirmChanged(show);
}

QString UninstallerModel::confirmTitle() const
{
    return QStringLiteral("「") + (selectedApp_ ? selectedApp_->name : QString()) + QStringLiteral("」を完全に削除しますか？");
}

QString UninstallerModel::confirmMessage()
{
    return QStringLiteral("アプリ本体と関連ファイルをすべて削除します。この操作は元に戻せません。");
}

void UninstallerModel::setScanning(bool scanning)
{
    if (scanning == isScanning_)
        return;
    isScanning_ = scanning;
    emit isScanningChanged(scanning);
}

void UninstallerModel::setApps(QList<InstalledApp> apps)
{
    apps_ = std::move(apps);
    emit appsChanged();
}

void UninstallerModel::appendLog(const QString& line)
{
    log_ << line;
    emit logChanged();
}

QCoro::Task<> UninstallerModel::scan()
{
    auto keep = shared_from_this();
    std::weak_ptr<UninstallerModel> weak = keep;
    std::optional<AppearanceScope::Ticket> ticket;
    co_await runScan(weak, ticket);
}

QCoro::Task<> UninstallerModel::appearanceTask()
{
    std::weak_ptr<UninstallerModel> weak = weak_from_this();
    std::optional<AppearanceScope::Ticket> ticket = appearance.ticket();
    co_await runScan(weak, ticket);
}

QCoro::Task<> UninstallerModel::runScan(std::weak_ptr<UninstallerModel> weak,
                                        std::optional<AppearanceScope::Ticket> ticket)
{
    QString command;
    {
        auto self = weak.lock();
        if (!self || (ticket && !*ticket))
            co_return;
        self->setScanning(true);
        self->setApps({});
        command = scanCommand(self->searchRoots_);
    }
    // An appearance scan that stops early leaves the screen as if it had not started.
    auto stillWanted = [&weak, &ticket]() -> std::shared_ptr<UninstallerModel> {
        auto self = weak.lock();
        if (self && ticket && !*ticket) {
            self->setScanning(false);
            return nullptr;
        }
        return self;
    };

    const ShellResult listing = co_await Shell::runAsync(command);
    if (!stillWanted())
        co_return;

    // Many bundles at a time; each child owns only its path and its own slot.
    const QStringList paths = bundlePaths(listing.output);
    std::vector<InstalledApp> made(std::size_t(paths.size()));
    const auto fill = [](QString path, InstalledApp& slot) -> QCoro::Task<> {
        QCoro::Task<InstalledApp> making = makeRecord(std::move(path));
        slot = co_await std::move(making);
    };
    bool stopped = false;
    QCoro::Task<> filling = Shell::forEachInParallel(
        paths.size(), [&](qsizetype i) { return fill(paths[i], made[std::size_t(i)]); },
        [&] { return !(stopped = stopped || !stillWanted()); });
    co_await std::move(filling);
    if (stopped || !stillWanted())
        co_return;
    QList<InstalledApp> records(made.begin(), made.end());
    sortByName(records);
    auto self = weak.lock();
    if (!self)
        co_return;
    self->setApps(std::move(records));
    self->setScanning(false);
}

QCoro::Task<> UninstallerModel::uninstall()
{
    auto keep = shared_from_this();
    if (!selectedApp_)
        co_return;
    const InstalledApp app = *selectedApp_;
    const platform::FileManager& files = platform::FileManager::shared();
    const SafetyBoundary boundary(files);
    const Allowance allowance = InstalledApp::removalAllowance(app.path, app.name, app.bundleID);
    AuthorizationManager& authorization = AuthorizationManager::shared();

    isUninstalling_ = true;
    emit isUninstallingChanged(true);
    log_.clear();
    emit logChanged();

    QString why;
    const std::optional<RootPath> bundle = boundary.forRoot(app.path, allowance, Operation::remove, &why);
    appendLog(QStringLiteral("🔄 プロセスを終了中…"));
    if (bundle) {
        try {
            const QString kill = killCommand(*bundle);
            co_await authorization.runPrivilegedShell(kill);
        } catch (...) {
            // Nothing running, or the prompt was dismissed: the removal goes on either way.
        }
    }
    appendLog(QStringLiteral("✅ プロセス終了（または未起動）"));

    // A bundle path that is a link only points at the application: removing the link leaves
    // the application installed elsewhere, so its settings and data stay too.
    const bool bundleIsLink = files.isSymbolicLink(app.path);
    if (!bundle) {
        appendLog(refusedLine(app.path, why));
    } else if (files.exists(app.path) || bundleIsLink) {
        appendLog(QStringLiteral("🗑 削除中: ") + app.path);
        try {
            const QString remove = removeCommand(*bundle);
            co_await authorization.runPrivilegedShell(remove);
            if (files.exists(app.path) || files.isSymbolicLink(app.path))
                appendLog(QStringLiteral("❌ 削除失敗: ") + app.path);
            else
                appendLog(QStringLiteral("✅ 削除完了: ") + app.path);
        } catch (const std::exception& error) {
            appendLog(QStringLiteral("❌ エラー: ") + LocalizedError::describe(error));
        }
    } else {
        appendLog(QStringLiteral("⚠️ アプリが見つかりません（既に削除済み?）"));
    }

    // An application that is still there keeps its settings and data: removing them while
    // it stays installed would only break it.
    const bool bundleRemains = files.exists(app.path) || files.isSymbolicLink(app.path);
    if (bundleRemains || bundleIsLink)
        appendLog(QStringLiteral("⏭ アプリが残っているため、残存ファイルは削除しませんでした"));
    else
        co_await removeLeftovers(app);

    appendLog(QStringLiteral("🎉 アンインストール完了！"));
    isUninstalling_ = false;
    emit isUninstallingChanged(false);

    if (bundleRemains) {
        AppState::shared().showMessage(app.name + QStringLiteral(" を削除できませんでした"), true);
        appendLog(QStringLiteral("⚠️ アプリがまだ存在しています。手動での削除をお試しください。"));
        co_return;
    }
    AppState::shared().showMessage(app.name + QStringLiteral(" を削除しました"), false);
    QList<InstalledApp> remaining;
    for (const InstalledApp& other : std::as_const(apps_)) {
        if (other.id != app.id && other.path != app.path)
            remaining << other;
    }
    if (remaining.size() != apps_.size())
        setApps(std::move(remaining));
    setSelectedApp(std::nullopt);
}

QCoro::Task<> UninstallerModel::removeLeftovers(InstalledApp app)
{
    const platform::FileManager& files = platform::FileManager::shared();
    const SafetyBoundary boundary(files);
    const Allowance allowance = InstalledApp::removalAllowance(app.path, app.name, app.bundleID);
    const QString home = files.homeDirectory();
    const QStringList leftovers = InstalledApp::leftovers(app.name, app.bundleID);
    if (leftovers.isEmpty()) {
        appendLog(QStringLiteral("ℹ️ 残存ファイルなし"));
        co_return;
    }
    appendLog(QStringLiteral("🧹 残存ファイルを削除中（%1件）…").arg(leftovers.size()));
    for (const QString& path : leftovers) {
        if (isInsideHome(path, home)) {
            // A container can hold a hundred thousand files: the walk leaves the main thread.
            QFuture<SafetyBoundary::Outcome> removing = Shell::inPool(
                Shell::commandPool(), [boundary, allowance, path] { return boundary.removeItem(path, allowance); });
            const SafetyBoundary::Outcome outcome = co_await removing;
            if (outcome.succeeded())
                appendLog(QStringLiteral("  ✅ ") + path);
            else
                appendLog(QStringLiteral("  ⚠️ スキップ: ") + path + QStringLiteral(" — ") + removalFailure(path, outcome));
            continue;
        }
        QString why;
        const std::optional<RootPath> target = boundary.forRoot(path, allowance, Operation::remove, &why);
        if (!target) {
            appendLog(QStringLiteral("  ⚠️ スキップ: ") + path + QStringLiteral(" — ") + why);
            continue;
        }
        try {
            const QString remove = removeCommand(*target);
            co_await AuthorizationManager::shared().runPrivilegedShell(remove);
            if (files.exists(path))
                appendLog(QStringLiteral("  ⚠️ スキップ: ") + path);
            else
                appendLog(QStringLiteral("  ✅ ") + path);
        } catch (const std::exception& error) {
            appendLog(QStringLiteral("  ⚠️ スキップ: ") + path + QStringLiteral(" — ") + LocalizedError::describe(error));
        }
    }
}
