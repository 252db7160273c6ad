#include "diagnostics/StartupItemsModel.h"
#include "support/BannerMessages.h"
#include "support/FakePrivileged.h"
#include "support/ScriptedFileManager.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Fixture {
    QTemporaryDir tmp;
    QString home = tmp.path() + "/home";
    ScriptedFileManager files{home, tmp.path() + "/T/"};
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
    // The banner's messages once the first has come (each switch ends with exactly one).
    QStringList messages()
    {
        QStringList got;
        for (int round = 0; round < 200 && got.isEmpty(); ++round)
            got += banner.take(), QTest::qWait(got.isEmpty() ? 10 : 50);
        return got + banner.take();
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
    void loadListsEveryKind_data()
    {
        QTest::addColumn<QStringList>("outputs");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("nothing anywhere") << QStringList() << QStringList();
        QTest::newRow("two login items") << QStringList{"Alpha, Beta", "/Applications/Alpha.app, /Applications/Beta.app"}
                                         << QStringList{"Alpha|/Applications/Alpha.app|Login Item", "Beta|/Applications/Beta.app|Login Item"};
        // A name with a comma splits in two: listed, but never switched against the wrong path.
        QTest::newRow("names and paths disagree") << QStringList{"Alpha, Beta", "/Applications/Alpha.app"}
                                                  << QStringList{"Alpha|/Applications/Alpha.app|Login Item|fixed"};
        QTest::newRow("agents, daemons, code-point order")
            << QStringList{"zeta", "/Applications/zeta.app", "com.example.agent.plist\nnotes.txt", "Zed.plist", "x.plist\n"}
            << QStringList{"Zed|/Library/LaunchAgents/Zed.plist|Launch Agent", "com.example.agent|H/Library/LaunchAgents/com.example.agent.plist|Launch Agent",
                           "notes.txt|H/Library/LaunchAgents/notes.txt|Launch Agent", "x|/Library/LaunchDaemons/x.plist|Launch Daemon",
                           "zeta|/Applications/zeta.app|Login Item"};
    }
    void loadListsEveryKind()
    {
        QFETCH(QStringList, outputs);
        QFETCH(QStringList, rows);
        Fixture f;
        f.answer(outputs);
        settle(f.model->load());
        QCOMPARE(f.rows(), rows.replaceInStrings(QRegularExpression("^(.*)\\|H/"), "\\1|" + f.home + "/"));
        QCOMPARE(f.shell.commands(), f.lines);
        QCOMPARE(f.model->countCaption(), QString("%1 / %1 個が有効").arg(rows.size()));
        QVERIFY(!f.model->isLoading());
    }

    void searchIgnoresCaseInNamesAndPaths()
    {
        Fixture f;
        f.answer({"Updater, Other", "/Applications/Adobe/U.app, /Applications/O.app", "com.Adobe.Updater.plist\nplain.plist"});
        settle(f.model->load());
        f.model->setSearchText("adobe");
        QStringList names;
        for (const StartupItem& item : f.model->filtered())
            names << item.name;
        QCOMPARE(names, (QStringList{"Updater", "com.Adobe.Updater"}));
        QCOMPARE(f.model->countCaption(), QString("4 / 4 個が有効"));
    }

    // Which runner gets which line, what the banner says and where the switch ends.
    void toggleRunsOneLineInTheRightDomain_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("enable");
        QTest::addColumn<bool>("rootCancels");
        QTest::addColumn<QString>("userLine");
        QTest::addColumn<QString>("rootLine");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("finallyEnabled");
        QTest::newRow("daemon off") << "x" << false << false << "" << "launchctl unload '/Library/LaunchDaemons/x.plist'"
                                    << "x を無効にしました" << false;
        QTest::newRow("daemon off, prompt dismissed") << "x" << false << true << "" << "launchctl unload '/Library/LaunchDaemons/x.plist'"
                                                      << "!x を無効にできませんでした: 認証がキャンセルされました。" << true;
        QTest::newRow("machine agent on") << "sys" << true << false << "" << "launchctl load '/Library/LaunchAgents/sys.plist'"
                                          << "sys を有効にしました" << true;
        QTest::newRow("own agent, hostile name, as the user") << "a'$(reboot)" << false << false
                                                              << "launchctl unload 'H/Library/LaunchAgents/a'\\''$(reboot).plist'" << ""
                                                              << "a'$(reboot) を無効にしました" << false;
        QTest::newRow("login item on") << "Alpha" << true << false
                                       << "osascript -e 'tell application \"System Events\" to make login item at end with properties "
                                          "{path:\"/Applications/Alpha.app\", hidden:false}' 2>/dev/null"
                                       << "" << "Alpha を有効にしました" << true;
        QTest::newRow("login item off, quotes in the name") << "Q\"u'o" << false << false
                                                            << "osascript -e 'tell application \"System Events\" to delete login item "
                                                               "\"Q\\\"u'\\''o\"' 2>/dev/null"
                                                            << "" << "Q\"u'o を無効にしました" << false;
    }
    void toggleRunsOneLineInTheRightDomain()
    {
        QFETCH(QString, name);
        QFETCH(bool, enable);
        QFETCH(bool, rootCancels);
        QFETCH(QString, userLine);
        QFETCH(QString, rootLine);
        QFETCH(QString, message);
        QFETCH(bool, finallyEnabled);
        Fixture f;
        f.answer({"Alpha, Q\"u'o", "/Applications/Alpha.app, /Applications/Quo.app", "a'$(reboot).plist", "sys.plist", "x.plist"});
        settle(f.model->load());
        f.shell.clear();
        if (rootCancels)
            f.auth.failAll(AuthError::userCancelled());
        StartupItem item = f.named(name);
        item.isEnabled = !enable;
        f.model->toggle(item, enable);
        QCOMPARE(f.messages(), QStringList{message});
        QCOMPARE(f.shell.commands(), userLine.isEmpty() ? QStringList() : QStringList{userLine.replace("'H/", "'" + f.home + "/")});
        QCOMPARE(f.auth.commands(), rootLine.isEmpty() ? QStringList() : QStringList{rootLine});
        QCOMPARE(f.named(name).isEnabled, finallyEnabled);
    }

    void unlistedOrUnpairedItemsRunNothing()
    {
        Fixture f;
        f.answer({"A, B", "/Applications/A.app"});
        settle(f.model->load());
        f.shell.clear();
        f.model->toggle(f.named("A"), false);   // paired wrongly, maybe: no switch at all
        StartupItem planted;
        planted.kind = StartupItem::Kind::launchDaemon;
        planted.name = "evil";
        planted.path = "/Library/LaunchDaemons/evil.plist";   // never listed: root may not touch it
        f.model->toggle(planted, false);
        QCOMPARE(f.messages(), QStringList{"!evil を無効にできませんでした: 許可された場所の外です"});
        QVERIFY(f.shell.commands().isEmpty() && f.auth.commands().isEmpty());
        QVERIFY(f.named("A").isEnabled);
    }
};

QTEST_GUILESS_MAIN(StartupItemsTest)
#include "tst_startupitems.moc"
