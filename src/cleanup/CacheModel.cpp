#include "cleanup/CacheModel.h"

#include "app/AppState.h"
#include "app/AppTheme.h"
#include "cleanup/InstalledApp.h"
#include "exec/AuthorizationManager.h"
#include "exec/Quote.h"
#include "exec/OutputParsing.h"
#include "exec/Shell.h"
#include "platform/FileManager.h"

#include <qcoro/qcorofuture.h>

#include <cerrno>
#include <vector>

namespace {

CacheCategory category(const QString& name, const QString& icon, const QColor& color, const QStringList& paths)
{
    CacheCategory c;
    c.name = name;
    c.icon = icon;
    c.color = color;
    c.paths = paths;
    return c;
}

} // namespace

QList<CacheCategory> defaultCategories()
{
    const QString temporary = platform::FileManager::shared().temporaryDirectory();
    return {
        category(QStringLiteral("ユーザーキャッシュ"), QStringLiteral("person.fill"), SystemColor::blue(),
                 {QStringLiteral("~/Library/Caches")}),
        category(QStringLiteral("一時ファイル (TMP)"), QStringLiteral("clock.fill"), SystemColor::yellow(),
                 {temporary, QStringLiteral("/private/tmp"), QStringLiteral("/private/var/tmp")}),
        category(QStringLiteral("システムキャッシュ"), QStringLiteral("gearshape.fill"), SystemColor::gray(),
                 {QStringLiteral("/Library/Caches")}),
        category(QStringLiteral("Xcodeキャッシュ"), QStringLiteral("hammer.fill"), SystemColor::indigo(),
                 {QStringLiteral("~/Library/Developer/Xcode/DerivedData"),
                  QStringLiteral("~/Library/Developer/Xcode/Archives"),
                  QStringLiteral("~/Library/Developer/Xcode/iOS DeviceSupport")}),
        category(QStringLiteral("ブラウザキャッシュ"), QStringLiteral("globe"), SystemColor::cyan(),
                 {QStringLiteral("~/Library/Caches/com.apple.Safari"), QStringLiteral("~/Library/Caches/Google/Chrome"),
                  QStringLiteral("~/Library/Caches/Firefox")}),
        category(QStringLiteral("ログファイル"), QStringLiteral("doc.text.fill"), SystemColor::orange(),
                 {QStringLiteral("~/Library/Logs"), QStringLiteral("/Library/Logs")}),
        category(QStringLiteral("Homebrew"), QStringLiteral("cup.and.saucer.fill"), SystemColor::brown(),
                 {QStringLiteral("~/Library/Caches/Homebrew"), QStringLiteral("/opt/homebrew/var/cache")}),
        category(QStringLiteral("Trash (ゴミ箱)"), QStringLiteral("trash.fill"), SystemColor::red(),
                 {QStringLiteral("~/.Trash")}),
    };
}

CacheModel::CacheModel(QList<CacheCategory> categories) : categories_(std::move(categories)) {}

CacheModel::~CacheModel() = default;

void CacheModel::setSelected(int index, bool selected)
{
    if (index < 0 || index >= categories_.size() || categories_[index].isSelected == selected)
        return;
    categories_[index].isSelected = selected;
    emit categoriesChanged();
    emit stateChanged();
}

void CacheModel::setShowSetupPrompt(bool show)
{
    if (showSetupPrompt_ == show)
        return;
    showSetupPrompt_ = show;
    emit setupPromptChanged(show);
}

qint64 CacheModel::selectedTotal() const
{
    qint64 total = 0;
    for (const CacheCategory& c : categories_) {
        if (c.isSelected)
            total += c.estimatedMB;
    }
    return total;
}

bool CacheModel::hasSelection() const
{
    return std::any_of(categories_.begin(), categories_.end(), [](const CacheCategory& c) { return c.isSelected; });
}

void CacheModel::append(const QString& line)
{
    log_ << line;
    emit logChanged();
}

void CacheModel::setCleaning(bool cleaning)
{
    if (isCleaning_ == cleaning)
        return;
    isCleaning_ = cleaning;
    emit stateChanged();
}

void CacheModel::setSettingUp(bool settingUp)
{
    if (isSettingUp_ == settingUp)
        return;
    isSettingUp_ = settingUp;
    emit stateChanged();
}

// ---- measuring -------------------------------------------------------------------------

QString CacheModel::groupSizeCommand(const QStringList& paths)
{
    QStringList quoted;
    for (const QString& path : paths)
        quoted << Quote::doubleQuoted(path);
    return QStringLiteral("du -sk ") + quoted.join(QLatin1Char(' '))
        + QStringLiteral(" 2>/dev/null | awk '{sum+=$1} END{printf \"%d\", sum/1024}'");
}

QString CacheModel::sizeText(qint64 estimatedMB)
{
    if (estimatedMB < 1)
        return QStringLiteral("計測待ち");
    return QStringLiteral("〜") + QString::number(estimatedMB) + QStringLiteral(" MB");
}

QString CacheModel::refusalCaption(const CacheCategory& category, QString* details)
{
    if (category.refused.isEmpty())
        return QString();
    if (details) {
        QStringList lines;
        for (const RefusedPath& refused : category.refused)
            lines << refusedLine(refused).trimmed();
        *details = lines.join(QLatin1Char('\n'));
    }
    return QStringLiteral("⛔️ 一部対象外");
}

QCoro::Task<> CacheModel::appear(std::weak_ptr<CacheModel> model, AppearanceScope::Ticket ticket)
{
    try {
        co_await CleanerHelper::shared().refreshStatus();
    } catch (...) {
        // The card keeps the last known status; measuring does not depend on it.
    }
    if (!ticket || model.expired())
        co_return;
    co_await scanWith(std::move(model), ticket);
}

QCoro::Task<> CacheModel::scan()
{
    auto keep = shared_from_this();
    AppearanceScope::Ticket ticket = ownScope_.ticket();
    co_await scanWith(keep, ticket);
}

QCoro::Task<> CacheModel::scanWith(std::weak_ptr<CacheModel> model, AppearanceScope::Ticket ticket)
{
    std::vector<QCoro::Task<>> children;
    {
        auto self = model.lock();
        if (!self)
            co_return;
        ++self->scanCount_;
        emit self->stateChanged();
        // Only what a run would empty is measured: a refused directory (the user's temporary
        // directory naming "/", say) is neither cleaned nor counted.
        QList<std::pair<QUuid, QStringList>> jobs;
        for (CacheCategory& c : self->categories_) {
            const PathSplit split = self->partition(c.paths);
            c.refused = split.refused;
            jobs.append({c.id, split.user + split.systemPaths()});
        }
        emit self->categoriesChanged();
        self.reset();   // the children must not keep a left screen alive
        for (const auto& [id, paths] : jobs)
            children.push_back(measureOne(model, ticket, id, paths));
    }
    for (auto& child : children)
        co_await child;
    if (auto self = model.lock()) {
        --self->scanCount_;
        emit self->stateChanged();
        emit self->categoriesChanged();
    }
}

QCoro::Task<> CacheModel::measureOne(std::weak_ptr<CacheModel> model, AppearanceScope::Ticket ticket, QUuid id,
                                     QStringList paths)
{
    qint64 size = 0;
    if (!paths.isEmpty()) {
        const QString measure = groupSizeCommand(paths);
        const ShellResult result = co_await Shell::runAsync(measure);
        size = Shell::parseInteger(result.output).value_or(0);
    }
    auto self = model.lock();
    if (!self || !ticket)
        co_return;
    for (CacheCategory& c : self->categories_) {
        if (c.id == id) {
            c.estimatedMB = size;
            emit self->categoriesChanged();
            break;
        }
    }
}

// ---- splitting -------------------------------------------------------------------------

bool CacheModel::isUserPath(const QString& path, const QString& home, const QString& temporary)
{
    auto within = [&path](QString base) {
        while (base.size() > 1 && base.endsWith(QLatin1Char('/')))
            base.chop(1);
        if (base.isEmpty() || base == QLatin1String("/"))
            return false;
        return path == base || path.startsWith(base + QLatin1Char('/'));
    };
    return within(home) || path.contains(QLatin1String("/folders/")) || within(temporary);
}

QStringList PathSplit::systemPaths() const
{
    QStringList paths;
    for (const RootPath& path : system)
        paths << path.path();
    return paths;
}

Allowance CacheModel::userAllowance() const
{
    const platform::FileManager& files = platform::FileManager::shared();
    QStringList folders;
    for (const CacheCategory& c : categories_) {
        for (const QString& path : c.paths)
            folders << files.expandTilde(path);
    }
    return Allowance(folders);
}

PathSplit CacheModel::partition(const QStringList& paths) const
{
    const platform::FileManager& files = platform::FileManager::shared();
    const SafetyBoundary boundary(files);
    const Allowance forUser = userAllowance();
    const Allowance forRoot(SafetyBoundary::systemCacheFolders());
    const QString home = files.homeDirectory();
    const QString temporary = files.temporaryDirectory();
    PathSplit split;
    for (const QString& path : paths) {
        const QString expanded = files.expandTilde(path);
        const bool user = isUserPath(expanded, home, temporary);
        QString why;
        std::optional<RootPath> cleared;
        if (user) {
            if (const auto refused = boundary.refusal(expanded, forUser, Actor::user, Operation::empty))
                why = *refused;
        } else {
            cleared = boundary.forRoot(expanded, forRoot, Operation::empty, &why);
        }
        // A missing directory is skipped silently, refused or not: there is nothing to
        // touch. An empty path is the temporary directory the system did not report.
        const bool missing = !expanded.isEmpty() && !files.exists(expanded) && !files.isSymbolicLink(expanded);
        if (missing)
            continue;
        if (!why.isEmpty())
            split.refused << RefusedPath{expanded, why};
        else if (user)
            split.user << expanded;
        else
            split.system << *cleared;
    }
    return split;
}

PathSplit CacheModel::partitionPaths() const
{
    QStringList selected;
    for (const CacheCategory& c : categories_) {
        if (c.isSelected)
            selected << c.paths;
    }
    return partition(selected);
}

// ---- cleaning --------------------------------------------------------------------------

void CacheModel::startClean()
{
    const PathSplit split = partitionPaths();
    if (!split.system.isEmpty() && CleanerHelper::shared().status() != CleanerHelperStatus::installed) {
        setShowSetupPrompt(true);
        return;
    }
    clean(PrivilegeMode::touchID);
}

QCoro::Task<> CacheModel::clean(PrivilegeMode mode)
{
    auto keep = shared_from_this();
    setCleaning(true);
    log_.clear();
    emit logChanged();

    const PathSplit split = partitionPaths();
    if (split.user.isEmpty() && split.system.isEmpty() && split.refused.isEmpty()) {
        append(QStringLiteral("削除対象が見つかりませんでした"));
        setCleaning(false);
        co_return;
    }
    for (const QString& path : split.user + split.systemPaths())
        append(QStringLiteral("🎯 対象: ") + path);
    for (const RefusedPath& refused : split.refused)
        append(refusedLine(refused));

    if (!split.system.isEmpty()) {
        bool goOn = true;
        if (mode == PrivilegeMode::touchID)
            goOn = co_await cleanWithTouchID(split.system);
        else
            goOn = co_await cleanWithPassword(split.system);
        if (!goOn) {
            append(QStringLiteral("🚫 認証がキャンセルされたため中止しました"));
            setCleaning(false);
            co_return;
        }
    }

    const platform::FileManager* files = &platform::FileManager::shared();
    const Allowance allowance = userAllowance();
    for (const QString& path : split.user) {
        // Blocking file work leaves the main thread.
        QFuture<SafetyBoundary::Outcome> emptied = Shell::inPool(Shell::commandPool(), [path, allowance, files] {
            return SafetyBoundary(*files).emptyDirectory(path, allowance);
        });
        const SafetyBoundary::Outcome outcome = co_await emptied;
        // A directory an earlier one of this run already took with it simply has nothing left.
        append(outcome.refusal ? refusedLine(RefusedPath{path, *outcome.refusal})
                               : userResultLine(path, outcome.counts));
    }

    append(QStringLiteral("🎉 クリーンアップ完了！"));
    AppState::shared().showMessage(QStringLiteral("キャッシュ削除が完了しました"), false);
    co_await scan();
    setCleaning(false);
}

QString CacheModel::userResultLine(const QString& path, const platform::TreeRemoval& counts)
{
    const int deleted = counts.deleted, skipped = counts.skipped;
    if (deleted > 0 && skipped == 0)
        return QStringLiteral("  ✅ ") + path + QStringLiteral(" (中身を完全に削除: ") + QString::number(deleted)
            + QStringLiteral("個)");
    if (deleted > 0)
        return QStringLiteral("  ✅ ") + path + QStringLiteral(" (一部削除: ") + QString::number(deleted)
            + QStringLiteral("個 / スキップ: ") + QString::number(skipped) + QStringLiteral("個)");
    if (skipped > 0)
        return QStringLiteral("  ⚠️ スキップ: ") + path + QStringLiteral(" (削除失敗: ") + QString::number(skipped)
            + QStringLiteral("個)");
    // A folder that is missing has no cache; one that could not be opened was not emptied.
    if (counts.error != 0 && counts.error != ENOENT && counts.error != ENOTDIR)
        return QStringLiteral("  ⚠️ スキップ: ") + path + QStringLiteral(" — ") + qt_error_string(counts.error);
    return QStringLiteral("  ℹ️ キャッシュなし: ") + path;
}

QString CacheModel::helperResultLine(const QString& line)
{
    if (line.startsWith(QLatin1String("CLEANED ")))
        return QStringLiteral("  ✅ ") + line.mid(8);
    if (line.startsWith(QLatin1String("SKIP ")))
        return QStringLiteral("  ℹ️ 対象なし: ") + line.mid(5);
    if (line.startsWith(QLatin1String("DENIED ")))
        return QStringLiteral("  ⛔️ 許可外のため拒否: ") + line.mid(7);
    return QStringLiteral("  ") + line;
}

QString CacheModel::refusedLine(const RefusedPath& refused)
{
    const QString shown = refused.path.isEmpty() ? QStringLiteral("(一時フォルダーなし)") : refused.path;
    return QStringLiteral("  ") + ::refusedLine(shown, refused.reason);
}

QCoro::Task<bool> CacheModel::cleanWithTouchID(QList<RootPath> paths)
{
    auto keep = shared_from_this();
    append(QStringLiteral("🔐 Touch ID で認証中…"));
    std::optional<CleanerError::Kind> failure;
    QString failureText;
    QStringList lines;
    try {
        QStringList directories;
        for (const RootPath& path : paths)
            directories << path.path();
        const CleanerAction action = CleanerAction::clean(directories);
        lines = co_await CleanerHelper::shared().run(action, touchIdReason);
    } catch (const CleanerError& error) {
        failure = error.kind();
        failureText = error.errorDescription();
    } catch (const std::exception& error) {
        failure = CleanerError::Kind::execFailed;
        failureText = LocalizedError::describe(error);
    }
    if (!failure) {
        append(QStringLiteral("✅ Touch ID 認証OK（パスワード入力なし）"));
        for (const QString& line : lines)
            append(helperResultLine(line));
        co_return true;
    }
    switch (*failure) {
    case CleanerError::Kind::notInstalled:
        append(QStringLiteral("⚠️ ヘルパー未セットアップのためパスワード認証に切り替えます"));
        co_return co_await cleanWithPassword(paths);
    case CleanerError::Kind::cancelled:
        co_return false;
    default:
        append(QStringLiteral("❌ システム領域削除エラー: ") + failureText);
        co_return true;
    }
}

QString CacheModel::passwordCommand(const QList<RootPath>& paths)
{
    QStringList parts;
    for (const RootPath& path : paths)
        parts << QStringLiteral("find ") + Quote::singleQuoted(path.path())
                + QStringLiteral(" -mindepth 1 -maxdepth 1 -exec rm -rf {} + 2>/dev/null || true");
    return SafetyBoundary::guarded(paths, parts.join(QStringLiteral("; ")) + QStringLiteral("; true"));
}

QCoro::Task<bool> CacheModel::cleanWithPassword(QList<RootPath> paths)
{
    auto keep = shared_from_this();
    bool cancelled = false;
    std::optional<QString> failure;
    try {
        const QString command = passwordCommand(paths);
        co_await AuthorizationManager::shared().runPrivilegedShell(command);
    } catch (const AuthError& error) {
        if (error.kind() == AuthError::Kind::userCancelled)
            cancelled = true;
        else
            failure = error.errorDescription();
    } catch (const std::exception& error) {
        failure = LocalizedError::describe(error);
    }
    if (cancelled)
        co_return false;
    if (failure) {
        append(QStringLiteral("❌ システム領域削除エラー: ") + *failure);
        co_return true;
    }
    const platform::FileManager& files = platform::FileManager::shared();
    for (const RootPath& path : paths) {
        if (!files.contentsOfDirectory(path.path()).isEmpty())
            append(QStringLiteral("  ⚠️ 一部スキップ（SIP保護等）: ") + path.path());
        else
            append(QStringLiteral("  ✅ ") + path.path());
    }
    co_return true;
}

// ---- the helper ------------------------------------------------------------------------

QCoro::Task<> CacheModel::setupHelper()
{
    auto keep = shared_from_this();
    setSettingUp(true);
    CleanerHelper& helper = CleanerHelper::shared();
    try {
        co_await helper.install();
        if (helper.status() == CleanerHelperStatus::installed)
            AppState::shared().showMessage(QStringLiteral("Touch ID 認証モードを有効にしました ✨"), false);
        else
            AppState::shared().showMessage(QStringLiteral("セットアップを確認できませんでした"), true);
    } catch (const AuthError& error) {
        if (error.kind() == AuthError::Kind::userCancelled)
            AppState::shared().showMessage(QStringLiteral("セットアップをキャンセルしました"), false);
        else
            AppState::shared().showMessage(QStringLiteral("セットアップ失敗: ") + error.errorDescription(), true);
    } catch (const std::exception& error) {
        AppState::shared().showMessage(QStringLiteral("セットアップ失敗: ") + LocalizedError::describe(error), true);
    }
    setSettingUp(false);
}

QCoro::Task<> CacheModel::setupAndClean()
{
    auto keep = shared_from_this();
    co_await setupHelper();
    const bool installed = CleanerHelper::shared().status() == CleanerHelperStatus::installed;
    co_await clean(installed ? PrivilegeMode::touchID : PrivilegeMode::password);
}

QCoro::Task<> CacheModel::removeHelper()
{
    auto keep = shared_from_this();
    setSettingUp(true);
    try {
        co_await CleanerHelper::shared().uninstall();
        AppState::shared().showMessage(QStringLiteral("Touch ID 認証モードを解除しました"), false);
    } catch (const AuthError& error) {
        if (error.kind() != AuthError::Kind::userCancelled)
            AppState::shared().showMessage(QStringLiteral("解除失敗: ") + error.errorDescription(), true);
    } catch (const std::exception& error) {
        AppState::shared().showMessage(QStringLiteral("解除失敗: ") + LocalizedError::describe(error), true);
    }
    setSettingUp(false);
}

// ---- the Touch ID card -----------------------------------------------------------------

QString CacheModel::helperTitle(CleanerHelperStatus status)
{
    switch (status) {
    case CleanerHelperStatus::installed: return QStringLiteral("Touch ID 認証モード：有効 ✨");
    case CleanerHelperStatus::outdated: return QStringLiteral("Touch ID 認証モード：更新が必要です");
    case CleanerHelperStatus::missing: break;
    }
    return QStringLiteral("Touch ID 認証モード：未セットアップ");
}

QString CacheModel::helperSubtitle(CleanerHelperStatus status, bool canUseTouchID)
{
    const QString method = canUseTouchID ? QStringLiteral("Touch ID") : QStringLiteral("ログインパスワード（Touch ID 非搭載Mac）");
    switch (status) {
    case CleanerHelperStatus::installed:
        return QStringLiteral("システム領域の削除も ") + method + QStringLiteral(" だけで完了します（管理者パスワード不要）");
    case CleanerHelperStatus::outdated:
        return QStringLiteral("ヘルパーが古いバージョンです。更新すると Touch ID だけで削除できます");
    case CleanerHelperStatus::missing: break;
    }
    return QStringLiteral("初回だけ管理者パスワードを入力すると、以降は ") + method + QStringLiteral(" だけで削除できます");
}

QString CacheModel::helperButton(CleanerHelperStatus status)
{
    switch (status) {
    case CleanerHelperStatus::installed: return QStringLiteral("解除");
    case CleanerHelperStatus::outdated: return QStringLiteral("更新する");
    case CleanerHelperStatus::missing: break;
    }
    return QStringLiteral("セットアップ");
}
