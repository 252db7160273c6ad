#include "diagnostics/StartupItemsModel.h"

#include "app/AppState.h"
#include "exec/AuthorizationManager.h"
#include "exec/LineSplitter.h"
#include "exec/Quote.h"
#include "exec/SafetyBoundary.h"
#include "exec/Shell.h"
#include "platform/FileManager.h"

#include <QLocale>

#include <algorithm>

QString StartupItem::rawValue(Kind kind)
{
    switch (kind) {
    case Kind::loginItem: return QStringLiteral("Login Item");
    case Kind::launchAgent: return QStringLiteral("Launch Agent");
    case Kind::launchDaemon: return QStringLiteral("Launch Daemon");
    }
    return QString();
}

QList<StartupItem::Kind> StartupItem::allKinds()
{
    return {Kind::loginItem, Kind::launchAgent, Kind::launchDaemon};
}

void StartupItemsModel::setSearchText(const QString& text)
{
    if (searchText_ == text)
        return;
    searchText_ = text;
    emit changed();
}

QList<StartupItem> StartupItemsModel::filtered() const
{
    if (searchText_.isEmpty())
        return items_;
    // Case folded the way the user's language folds it.
    const QLocale locale;
    const QString needle = locale.toLower(searchText_);
    QList<StartupItem> found;
    for (const StartupItem& item : items_) {
        if (locale.toLower(item.name).contains(needle) || locale.toLower(item.path).contains(needle))
            found << item;
    }
    return found;
}

QString StartupItemsModel::countCaption() const
{
    const auto enabled = std::count_if(items_.begin(), items_.end(), [](const StartupItem& item) { return item.isEnabled; });
    return QString::number(enabled) + QStringLiteral(" / ") + QString::number(items_.size()) + QStringLiteral(" 個が有効");
}

QList<StartupItem> StartupItemsModel::loginItems(const QString& namesOutput, const QString& pathsOutput)
{
    auto pieces = [](const QString& output) {
        QStringList list;
        for (const QString& piece : output.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            qsizetype start = 0, end = piece.size();
            while (start < end && (piece[start] == u' ' || piece[start] == u'\t'))
                ++start;
            while (end > start && (piece[end - 1] == u' ' || piece[end - 1] == u'\t'))
                --end;
            list << piece.mid(start, end - start);
        }
        return list;
    };
    const QStringList names = pieces(namesOutput);
    const QStringList paths = pieces(pathsOutput);
    // A path split at a comma leaves a piece that is not absolute; a name split the same way
    // shows as a count that differs. Either way the pairs cannot be trusted.
    const bool paired = names.size() == paths.size()
        && std::all_of(paths.begin(), paths.end(), [](const QString& path) { return path.startsWith(QLatin1Char('/')); });
    QList<StartupItem> items;
    for (qsizetype i = 0; i < std::min(names.size(), paths.size()); ++i) {
        StartupItem item;
        item.name = names[i];
        item.path = paths[i];
        item.kind = StartupItem::Kind::loginItem;
        item.canToggle = paired;
        items << item;
    }
    return items;
}

QList<StartupItem> StartupItemsModel::folderItems(const QString& lsOutput, const QString& folder, StartupItem::Kind kind)
{
    QList<StartupItem> items;
    // A file name may hold a carriage return, so only line feeds end its line.
    for (const QString& fileName : LineSplitter::lines(lsOutput.toUtf8(), LineSplitter::Breaks::lineFeed)) {
        StartupItem item;
        item.name = QString(fileName).remove(QStringLiteral(".plist"));
        item.path = folder + QLatin1Char('/') + fileName;
        item.kind = kind;
        items << item;
    }
    return items;
}

void StartupItemsModel::sortByName(QList<StartupItem>& items)
{
    std::stable_sort(items.begin(), items.end(), [](const StartupItem& a, const StartupItem& b) {
        return QString::compare(a.name, b.name, Qt::CaseSensitive) < 0;
    });
}

QString StartupItemsModel::listCommand(const QString& folder)
{
    return QStringLiteral("ls ") + Quote::singleQuoted(folder) + QStringLiteral(" 2>/dev/null");
}

QString StartupItemsModel::loginItemCommand(const StartupItem& item, bool enabled)
{
    const QString statement = enabled
        ? QStringLiteral("make login item at end with properties {path:\"") + Quote::forAppleScript(item.path)
            + QStringLiteral("\", hidden:false}")
        : QStringLiteral("delete login item \"") + Quote::forAppleScript(item.name) + QLatin1Char('"');
    return QStringLiteral("osascript -e ")
        + Quote::singleQuoted(QStringLiteral("tell application \"System Events\" to ") + statement)
        + QStringLiteral(" 2>/dev/null");
}

QString StartupItemsModel::launchctlCommand(const QString& path, bool enabled)
{
    return (enabled ? QStringLiteral("launchctl load ") : QStringLiteral("launchctl unload ")) + Quote::singleQuoted(path);
}

QCoro::Task<> StartupItemsModel::appear(std::weak_ptr<StartupItemsModel> model, AppearanceScope::Ticket ticket)
{
    return loadWith(std::move(model), std::move(ticket));
}

QCoro::Task<> StartupItemsModel::load()
{
    auto keep = shared_from_this();
    AppearanceScope::Ticket ticket = ownScope_.ticket();
    co_await loadWith(keep, ticket);
}

QCoro::Task<> StartupItemsModel::loadWith(std::weak_ptr<StartupItemsModel> model, AppearanceScope::Ticket ticket)
{
    QString userAgents;
    {
        auto self = model.lock();
        if (!self || !ticket)
            co_return;
        self->isLoading_ = true;
        emit self->changed();
        userAgents = platform::FileManager::shared().homeDirectory() + QStringLiteral("/Library/LaunchAgents");
    }
    // Stops quietly once the screen is gone; the flag is not read any more then.
    auto gone = [&model, &ticket] { return !ticket || model.expired(); };

    const ShellResult names = co_await Shell::runAsync(loginNamesCommand);
    if (gone())
        co_return;
    const ShellResult paths = co_await Shell::runAsync(loginPathsCommand);
    if (gone())
        co_return;
    QList<StartupItem> found = loginItems(names.output, paths.output);

    const QList<std::pair<QString, StartupItem::Kind>> folders{
        {userAgents, StartupItem::Kind::launchAgent},
        {systemAgentsFolder, StartupItem::Kind::launchAgent},
        {daemonsFolder, StartupItem::Kind::launchDaemon},
    };
    for (const auto& [folder, kind] : folders) {
        const QString line = folder == daemonsFolder ? daemonsListCommand : listCommand(folder);
        const ShellResult listing = co_await Shell::runAsync(line);
        if (gone())
            co_return;
        QList<StartupItem> inFolder = folderItems(listing.output, folder, kind);
        for (StartupItem& item : inFolder)
            item.isInUserDomain = folder == userAgents;
        found += inFolder;
    }
    sortByName(found);

    auto self = model.lock();
    self->items_ = found;
    self->isLoading_ = false;
    emit self->changed();
}

void StartupItemsModel::setEnabled(const QUuid& id, bool enabled)
{
    for (StartupItem& entry : items_) {
        if (entry.id == id) {
            entry.isEnabled = enabled;
            emit changed();
            return;
        }
    }
}

void StartupItemsModel::toggle(const StartupItem& item, bool enabled)
{
    if (!item.canToggle)
        return;
    setEnabled(item.id, enabled);
    runToggle(item, enabled);
}

QCoro::Task<> StartupItemsModel::runToggle(StartupItem item, bool enabled)
{
    auto keep = shared_from_this();
    std::optional<QString> failure;
    if (item.kind == StartupItem::Kind::loginItem || item.isInUserDomain) {
        const QString line = item.kind == StartupItem::Kind::loginItem ? loginItemCommand(item, enabled)
                                                                       : launchctlCommand(item.path, enabled);
        const ShellResult result = co_await Shell::runAsync(line);
        if (result.exitCode != 0)
            failure = result.error;
    } else {
        // Root may act only on a job file this screen listed, reached without a link on the way.
        QStringList listed;
        for (const StartupItem& entry : items_) {
            if (entry.kind != StartupItem::Kind::loginItem && !entry.isInUserDomain)
                listed << entry.path;
        }
        QString why;
        const std::optional<RootPath> job = SafetyBoundary().forRoot(item.path, Allowance(listed), Operation::read, &why);
        if (!job) {
            failure = why;
        } else {
            try {
                const QString line = SafetyBoundary::guarded({*job}, launchctlCommand(job->path(), enabled));
                co_await AuthorizationManager::shared().runPrivilegedShell(line);
            } catch (const std::exception& error) {
                failure = LocalizedError::describe(error);
            }
        }
    }

    const QString state = enabled ? QStringLiteral("有効") : QStringLiteral("無効");
    if (!failure) {
        AppState::shared().showMessage(item.name + QStringLiteral(" を") + state + QStringLiteral("にしました"), false);
        co_return;
    }
    // The switch goes back to what is still true, and the banner says so.
    setEnabled(item.id, !enabled);
    const QString detail = failure->trimmed();
    AppState::shared().showMessage(item.name + QStringLiteral(" を") + state + QStringLiteral("にできませんでした")
                                       + (detail.isEmpty() ? QString() : QStringLiteral(": ") + detail),
                                   true);
}
