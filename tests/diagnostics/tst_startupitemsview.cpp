#include "diagnostics/StartupItemsModel.h"
#include "diagnostics/ui/StartupItemsView.h"
#include "support/Render.h"
#include "support/ViewSandbox.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class StartupItemsViewTest : public QObject {
    Q_OBJECT

private slots:
    void sectionsSwitchesAndSearch()
    {
        ViewSandbox box;
        box.shell.on(StartupItemsModel::loginNamesCommand, {"Acme, Inc Helper", {}, 0});   // a comma in the name and the path
        box.shell.on(StartupItemsModel::loginPathsCommand, {"/Applications/Adobe, Inc Helper.app", {}, 0});
        box.shell.on("ls '" + box.files.homeDirectory() + "/Library/LaunchAgents' 2>/dev/null", {"com.example.agent.plist", {}, 0});
        box.shell.on(StartupItemsModel::daemonsListCommand, {"x.plist\ncom.Adobe.Updater.plist", {}, 0});
        StartupItemsView view;
        renderOffscreen(&view, {760, 560});
        QTRY_COMPARE(view.sectionTitles(), (QStringList{"Login Item", "Launch Agent", "Launch Daemon"}));
        saveIfRequested(renderOffscreen(&view, {760, 560}), "startup-items");
        QCOMPARE(view.countLabel()->text(), QString("5 / 5 個が有効"));
        // The unpaired login items have no switch; every switch is named for assistive tools.
        QStringList named;
        for (QAbstractButton* toggle : view.switches())
            named << toggle->accessibleName();
        QCOMPARE(named, (QStringList{"com.example.agent", "com.Adobe.Updater", "x"}));

        view.switches().last()->click();
        QTRY_COMPARE(box.auth.commands(), QStringList{"launchctl unload '/Library/LaunchDaemons/x.plist'"});
        QVERIFY(!view.switches().last()->isChecked());
        QCOMPARE(view.countLabel()->text(), QString("4 / 5 個が有効"));

        QTest::keyClicks(view.searchField(), "adobe");
        QCOMPARE(view.sectionTitles(), (QStringList{"Login Item", "Launch Daemon"}));   // by path, and by name ignoring case
        QCOMPARE(view.switches().size(), 1);
        QCOMPARE(view.countLabel()->text(), QString("4 / 5 個が有効"));
    }
};

QTEST_MAIN(StartupItemsViewTest)
#include "tst_startupitemsview.moc"
