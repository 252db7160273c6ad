#include "diagnostics/StartupItemsModel.h"
#include "support/BannerMessages.h"
#include "support/FakePrivileged.h"
#include "support/TempTree.h"

#include <QtTest>

namespace {

struct Fixture : TempTree {
    FakeCommandRunner shell;
    FakeAuthorization auth;
    BannerMessages banner;
    std::shared_ptr<StartupItemsModel> model = std::make_shared<StartupItemsModel>();

    // names, paths, then the listings of the user's agents, the machine's agents and the daemons.
    QStringList lines{StartupItemsModel::loginNamesCommand, StartupItemsModel::loginPathsCommand,
                      "ls '" + home + "/Library/LaunchAgents' 2>/dev/null", "ls '/Library/LaunchAgents' 2>/dev/null",
                      "ls /Library/LaunchDaemons 2>/dev/null"};
    void answer(const QStringList& outputs)
    {
        for (int i = 0; i < lines.size(); ++i)
            shell.on(lines[i], {outputs.value(i), {}, 0});
    }
    QStringList rows() const
    {
        QStringList shown;
        for (const StartupItem& item : model->items())
            shown << QStringLiteral("%1|%2|%3%4").arg(item.name, item.path, StartupItem::rawValue(item.kind), item.canToggle ? "" : "|fixed");
        return shown;
    }
    StartupItem named(const QString& name) const
    {
        for (const StartupItem& item : model->items())
            if (item.name == name)
                return item;
        return {};
    }
};

} // namespace

class StartupItemsTest : public QObject {
    Q_OBJECT

private slots:
    // What a load lists; a row that could not be paired, or an item never listed, switches nothing.
    void loadListsEveryKind()
    {
        const struct { QStringList outputs, rows; } cases[] = {
            {{}, {}},
            // A comma in a name splits it: listed, but never switched against the wrong path.
            {{"Alpha, Beta", "/Applications/Alpha.app"}, {"Alpha|/Applications/Alpha.app|Login Item|fixed"}},
            {{"zeta", "/Applications/zeta.app", "com.example.agent.plist\nnotes.txt", "Zed.plist", "x.plist\n"},
             {"Zed|/Library/LaunchAgents/Zed.plist|Launch Agent", "com.example.agent|H/Library/LaunchAgents/com.example.agent.plist|Launch Agent",
              "notes.txt|H/Library/LaunchAgents/notes.txt|Launch Agent", "x|/Library/LaunchDaemons/x.plist|Launch Daemon",
              "zeta|/Applications/zeta.app|Login Item"}},
        };
        for (const auto& c : cases) {
            Fixture f;
            f.answer(c.outputs);
            settle(f.model->load());
            QCOMPARE(f.rows(), QStringList(c.rows).replaceInStrings("|H/", "|" + f.home + "/"));
            QCOMPARE(f.shell.commands(), f.lines);
            f.shell.clear();
            for (const StartupItem& item : f.model->items())
                if (!item.canToggle)
                    f.model->toggle(item, false);
            f.model->toggle({.name = "evil", .path = "/Library/LaunchDaemons/evil.plist", .kind = StartupItem::Kind::launchDaemon}, false);
            QCOMPARE(f.banner.takeWhenCome(), QStringList{"!evil を無効にできませんでした: 許可された場所の外です"});
            QVERIFY(f.shell.commands().isEmpty() && f.auth.commands().isEmpty());
            QVERIFY(std::ranges::all_of(f.model->items(), &StartupItem::isEnabled));
        }
    }

    // Which runner gets which line, what the banner says and where the switch ends.
    void toggleRunsOneLineInTheRightDomain()
    {
        const struct { QString name; bool enable, rootCancels; QString userLine, rootLine, message; bool finallyEnabled; } cases[] = {
            {"x", false, false, "", "launchctl unload '/Library/LaunchDaemons/x.plist'", "x を無効にしました", false},
            {"x", false, true, "", "launchctl unload '/Library/LaunchDaemons/x.plist'", "!x を無効にできませんでした: 認証がキャンセルされました。", true},
            {"sys", true, false, "", "launchctl load '/Library/LaunchAgents/sys.plist'", "sys を有効にしました", true},
            {"a'$(reboot)", false, false, "launchctl unload 'H/Library/LaunchAgents/a'\\''$(reboot).plist'", "", "a'$(reboot) を無効にしました", false},
            {"Alpha", true, false, "osascript -e 'tell application \"System Events\" to make login item at end with properties "
                                   "{path:\"/Applications/Alpha.app\", hidden:false}' 2>/dev/null", "", "Alpha を有効にしました", true},
            {"Q\"u'o", false, false, "osascript -e 'tell application \"System Events\" to delete login item \"Q\\\"u'\\''o\"' 2>/dev/null",
             "", "Q\"u'o を無効にしました", false},
        };
        for (const auto& c : cases) {
            Fixture f;
            f.answer({"Alpha, Q\"u'o", "/Applications/Alpha.app, /Applications/Quo.app", "a'$(reboot).plist", "sys.plist", "x.plist"});
            settle(f.model->load());
            f.shell.clear();
            if (c.rootCancels)
                f.auth.failAll(AuthError::userCancelled());
            StartupItem item = f.named(c.name);
            item.isEnabled = !c.enable;
            f.model->toggle(item, c.enable);
            QCOMPARE(f.banner.takeWhenCome(), QStringList{c.message});
            QCOMPARE(f.shell.commands(), c.userLine.isEmpty() ? QStringList() : QStringList{QString(c.userLine).replace("'H/", "'" + f.home + "/")});
            QCOMPARE(f.auth.commands(), c.rootLine.isEmpty() ? QStringList() : QStringList{c.rootLine});
            QCOMPARE(f.named(c.name).isEnabled, c.finallyEnabled);
        }
    }
};

QTEST_GUILESS_MAIN(StartupItemsTest)
#include "tst_startupitems.moc"
