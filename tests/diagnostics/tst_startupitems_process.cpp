#include "diagnostics/StartupItemsModel.h"
#include "platform/StandIns.h"
#include "support/AsUserAuthorization.h"
#include "support/BannerMessages.h"
#include "support/FakePrivileged.h"
#include "support/TempTree.h"

#include <QtTest>

namespace {

StartupItem find(const StartupItemsModel& model, const QString& name)
{
    for (const StartupItem& item : model.items())
        if (item.name == name)
            return item;
    return {};
}

} // namespace

// Hostile names through the real zsh and the stand-ins: each reaches its tool as one value
// and nothing else runs.
class StartupItemsProcessTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(!platform::installStandInPath().isEmpty()); }

    void hostileNamesRunOnlyTheIntendedCommand()
    {
        TempTree tree;
        AsUserAuthorization root;
        BannerMessages banner;
        qputenv("XDG_CONFIG_HOME", (tree.root + "/config").toUtf8());
        const QString agents = tree.home + "/Library/LaunchAgents";
        const QString agent = "a'$(touch pwned)\";touch pwned2;\"";
        QVERIFY(tree.make({agents + '/' + agent + ".plist"}));
        const QStringList before = tree.entries();

        auto model = std::make_shared<StartupItemsModel>();
        const StartupItem app{.name = "Q'u\"o $(touch pwned)", .path = "/Applications/Q'u\"o $(touch pwned).app"};
        model->toggle(app, true);
        QCOMPARE(banner.takeWhenCome(), QStringList{app.name + " を有効にしました"});
        settle(model->load());
        const StartupItem loginItem = find(*model, "Q'u\"o $(touch pwned)");
        QCOMPARE(loginItem.path, app.path);
        QVERIFY(loginItem.canToggle);

        // The user's own agent is switched as the user; there is no launchd to take it.
        const StartupItem ownAgent = find(*model, agent);
        QCOMPARE(ownAgent.path, agents + '/' + agent + ".plist");
        model->toggle(ownAgent, false);
        QCOMPARE(banner.takeWhenCome(), QStringList{"!" + agent + " を無効にできませんでした: launchctl: unload " + ownAgent.path
                                           + ": launchd is not available on this system"});
        QVERIFY(find(*model, agent).isEnabled);
        QVERIFY(root.commands().isEmpty());

        model->toggle(loginItem, false);
        QCOMPARE(banner.takeWhenCome(), QStringList{loginItem.name + " を無効にしました"});   // its autostart entry is gone below
        QStringList after = before + QStringList{"config", "config/autostart"};
        after.sort();
        QCOMPARE(tree.entries(), after);
        QVERIFY(!QFile::exists("pwned") && !QFile::exists("pwned2"));
        qunsetenv("XDG_CONFIG_HOME");
    }
};

QTEST_GUILESS_MAIN(StartupItemsProcessTest)
#include "tst_startupitems_process.moc"
