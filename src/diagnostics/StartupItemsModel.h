#pragma once

#include "exec/ScreenLifetime.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <qcoro/qcorotask.h>

#include <memory>

// One thing that starts at login or at system start.
struct StartupItem {
    enum class Kind { loginItem, launchAgent, launchDaemon };

    QUuid id = QUuid::createUuid();
    QString name;
    QString path;
    Kind kind = Kind::loginItem;
    bool isEnabled = true;
    // The user's own launch agent: switched in the user's session, never as root (root
    // would act on the system's domain and leave the user's agent running).
    bool isInUserDomain = false;
    // False for login items whose names and paths could not be paired (a comma in a name or
    // path splits it in two): such a row is listed, but switching it could act on another item.
    bool canToggle = true;

    static QString rawValue(Kind kind);   // "Login Item", "Launch Agent", "Launch Daemon"
    static QList<Kind> allKinds();
};

// The startup items screen: login items, launch agents of both folders and launch daemons,
// searchable, each switched on or off. Main thread only; owned by its view through
// std::shared_ptr (see exec/ScreenLifetime.h).
class StartupItemsModel final : public QObject, public std::enable_shared_from_this<StartupItemsModel> {
    Q_OBJECT
public:
    static inline const QString loginNamesCommand = QStringLiteral(
        "    osascript -e 'tell application \"System Events\" to get the name of every login item' 2>/dev/null");
    static inline const QString loginPathsCommand = QStringLiteral(
        "    osascript -e 'tell application \"System Events\" to get the path of every login item' 2>/dev/null");
    static inline const QString systemAgentsFolder = QStringLiteral("/Library/LaunchAgents");
    static inline const QString daemonsFolder = QStringLiteral("/Library/LaunchDaemons");
    static inline const QString daemonsListCommand = QStringLiteral("ls /Library/LaunchDaemons 2>/dev/null");

    const QList<StartupItem>& items() const { return items_; }
    bool isLoading() const { return isLoading_; }
    QString searchText() const { return searchText_; }
    void setSearchText(const QString& text);
    // The items whose name or path contains the search text, ignoring case; all when it is empty.
    QList<StartupItem> filtered() const;
    // "<enabled> / <all> 個が有効", over the whole list.
    QString countCaption() const;

    // The appearance task: one load bound to the screen.
    static QCoro::Task<> appear(std::weak_ptr<StartupItemsModel> model, AppearanceScope::Ticket ticket);
    QCoro::Task<> load();
    // Shows the new state at once and switches the item in a task of its own.
    void toggle(const StartupItem& item, bool enabled);

    // The parts of load() that read command output.
    static QList<StartupItem> loginItems(const QString& namesOutput, const QString& pathsOutput);
    static QList<StartupItem> folderItems(const QString& lsOutput, const QString& folder, StartupItem::Kind kind);
    static void sortByName(QList<StartupItem>& items);
    // "ls '<folder>' 2>/dev/null".
    static QString listCommand(const QString& folder);
    // The System Events line that adds or removes a login item, run with the user's rights.
    static QString loginItemCommand(const StartupItem& item, bool enabled);
    // "launchctl load '<path>'" or "launchctl unload '<path>'".
    static QString launchctlCommand(const QString& path, bool enabled);

signals:
    void changed();

private:
    static QCoro::Task<> loadWith(std::weak_ptr<StartupItemsModel> model, AppearanceScope::Ticket ticket);
    QCoro::Task<> runToggle(StartupItem item, bool enabled);
    void setEnabled(const QUuid& id, bool enabled);

    QList<StartupItem> items_;
    bool isLoading_ = false;
    QString searchText_;
    AppearanceScope ownScope_;
};
