#include "diagnostics/DashboardModel.h"

#include "app/AppState.h"
#include "app/AppTheme.h"
#include "exec/AuthorizationManager.h"
#include "exec/CleanerHelper.h"
#include "exec/Quote.h"
#include "exec/SafetyBoundary.h"
#include "exec/OutputParsing.h"
#include "exec/Shell.h"
#include "permissions/PermissionManager.h"
#include "platform/FileManager.h"

#include <QRegularExpression>
#include <QThreadPool>
#include <qcoro/qcorofuture.h>

DashboardModel::DashboardModel() = default;

DashboardModel::~DashboardModel() = default;

QList<FeatureShortcutCard> DashboardModel::shortcuts()
{
    auto go = [](SidebarSection section) { return [section] { AppState::shared().setSelectedSection(section); }; };
    return {
        {QStringLiteral("キャッシュ削除"), QStringLiteral("一時ファイルやアプリキャッシュを一括クリーン"),
         QStringLiteral("internaldrive.fill"), SystemColor::orange(), go(SidebarSection::cache)},
        {QStringLiteral("アンインストーラー"), QStringLiteral("残存ファイルも含めてアプリを完全アンインストール"),
         QStringLiteral("trash.circle.fill"), SystemColor::red(), go(SidebarSection::uninstaller)},
        {QStringLiteral("Intelアプリ検出"), QStringLiteral("Rosetta終了に向けてIntel製アプリをスキャン"),
         QStringLiteral("cpu"), SystemColor::orange(), go(SidebarSection::intelApps)},
        {QStringLiteral("macOSインストーラー"), QStringLiteral("macOS 27 Golden Gate などのOSイメージ作成"),
         QStringLiteral("arrow.down.circle.fill"), SystemColor::blue(), go(SidebarSection::installer)},
        {QStringLiteral("システム診断"), QStringLiteral("CPU・メモリ・バッテリー・稼働時間のレポート"),
         QStringLiteral("info.circle.fill"), SystemColor::gray(), go(SidebarSection::sysinfo)},
    };
}

QString DashboardModel::healthLabel(int score)
{
    return score < 90 ? QStringLiteral("メンテナンス推奨 💡") : QStringLiteral("快調そのもの！✨");
}

QString DashboardModel::diskFreeText(const QString& dfOutput)
{
    const QString text = dfOutput.trimmed();
    return text.isEmpty() ? QStringLiteral("N/A") : text + QStringLiteral("B 空き");
}

QString DashboardModel::junkCommand(const QString& home, const QString& temporary)
{
    const QString measuredTemporary = temporary.isEmpty() ? QString() : Quote::doubleQuoted(temporary) + QLatin1Char(' ');
    const QString measuredCaches = home.isEmpty() ? QString() : Quote::doubleQuoted(home + QStringLiteral("/Library/Caches")) + QLatin1Char(' ');
    return QStringLiteral("du -sk ") + measuredTemporary + measuredCaches
        + QStringLiteral("\"/private/tmp\" 2>/dev/null | awk '{sum+=$1} END{printf \"%d\", sum/1024}'");
}

QString DashboardModel::junkText() const
{
    return isQuickScanning() ? QStringLiteral("計測中…") : QString::number(junkMBEstimate_) + QStringLiteral(" MB");
}

QCoro::Task<> DashboardModel::appear(std::weak_ptr<DashboardModel> model, AppearanceScope::Ticket ticket)
{
    return refreshWith(std::move(model), std::move(ticket));
}

QCoro::Task<> DashboardModel::refreshStats()
{
    auto keep = shared_from_this();
    AppearanceScope::Ticket ticket = ownScope_.ticket();
    co_await refreshWith(keep, ticket);
}

QCoro::Task<> DashboardModel::refreshWith(std::weak_ptr<DashboardModel> model, AppearanceScope::Ticket ticket)
{
    QString junkLine;
    {
        auto self = model.lock();
        if (!self || !ticket)
            co_return;
        ++self->scanCount_;
        emit self->changed();
        PermissionManager::shared().checkPermissions();
        const platform::FileManager& files = platform::FileManager::shared();
        const QString temporary = files.temporaryDirectory();
        // Only what an optimisation would empty: a HOME of "/" or "" names no caches of the user's.
        const QStringList optimizable = optimizableFolders();
        const QString home = files.homeDirectory();
        junkLine = junkCommand(optimizable.contains(home + QStringLiteral("/Library/Caches")) ? home : QString(),
                               optimizable.contains(temporary) ? temporary : QString());
    }
    // Leaves the flag set when the screen is gone: nothing reads it any more.
    auto finish = [&model]() {
        if (auto self = model.lock()) {
            --self->scanCount_;
            emit self->changed();
        }
    };

    const ShellResult df = co_await Shell::runAsync(dfCommand);
    {
        auto self = model.lock();
        if (!self || !ticket) {
            finish();
            co_return;
        }
        self->diskFreeGB_ = diskFreeText(df.output);
        emit self->changed();
    }
    const ShellResult junk = co_await Shell::runAsync(junkLine);
    if (auto self = model.lock(); self && ticket)
        self->junkMBEstimate_ = Shell::parseInteger(junk.output).value_or(0);
    finish();
}

QCoro::Task<> DashboardModel::quickOptimize()
{
    auto keep = shared_from_this();
    isOptimizing_ = true;
    emit changed();
    AppState::shared().showMessage(QStringLiteral("ワンクリック最適化を実行中…"), false);

    const platform::FileManager* files = &platform::FileManager::shared();
    const QStringList directories = optimizableFolders();
    QFuture<void> emptied = Shell::inPool(Shell::commandPool(), [directories, files] { emptyDirectories(directories, files); });
    co_await emptied;

    co_await purgeMemory();
    co_await refreshStats();
    healthScore_ = 99;
    isOptimizing_ = false;
    emit changed();
    AppState::shared().showMessage(QStringLiteral("Mac の最適化が完了しました！快調です✨"), false);
}

QStringList DashboardModel::optimizableFolders()
{
    const platform::FileManager& files = platform::FileManager::shared();
    const QStringList candidates{files.homeDirectory() + QStringLiteral("/Library/Caches"), files.temporaryDirectory()};
    const Allowance allowance(candidates);
    const SafetyBoundary boundary(files);
    QStringList folders;
    for (const QString& folder : candidates) {
        if (!boundary.refusal(folder, allowance, Actor::user, Operation::empty))
            folders << folder;
    }
    return folders;
}

void DashboardModel::emptyDirectories(const QStringList& directories, const platform::FileManager* files)
{
    // Entries are judged without following links and failures are skipped, so nothing
    // outside these folders changes and a protected entry does not stop the run.
    const SafetyBoundary boundary(*files);
    const Allowance allowance(directories);
    for (const QString& directory : directories)
        boundary.emptyDirectory(directory, allowance);
}

QCoro::Task<> DashboardModel::purgeMemory()
{
    auto keep = shared_from_this();
    try {
        CleanerHelper& helper = CleanerHelper::shared();
        const CleanerHelperStatus status = co_await helper.refreshStatus();
        const CleanerAction purge = CleanerAction::purge();
        if (status == CleanerHelperStatus::installed)
            co_await helper.run(purge, purgeReason);
        else
            co_await AuthorizationManager::shared().runPrivilegedShell(purgeCommand);
    } catch (...) {
        // A refused, failed or cancelled purge does not change the outcome of the optimisation.
    }
}
