#include "app/AppState.h"
#include "app/ThemeManager.h"
#include "app/ui/TessarinApp.h"
#include "diagnostics/ui/DashboardView.h"
#include "support/Render.h"
#include "support/ViewSandbox.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

class DashboardViewTest : public QObject {
    Q_OBJECT

private slots:
    void cardsAndShortcutsSwitchWhatTheyName()
    {
        ViewSandbox box;
        DashboardView view;
        renderOffscreen(&view, {730, 640});
        AppState::shared().setShowFullDiskAccessAlert(false);
        TessarinApp::configureAppearance();   // Return presses the focused button
        QTest::keyClick(view.fullDiskAccessButton(), Qt::Key_Return);   // the sandbox's probe is unreadable: the card shows
        QTRY_VERIFY(view.fullDiskAccessCard()->isVisible() && AppState::shared().showFullDiskAccessAlert());
        AppState::shared().setShowFullDiskAccessAlert(false);
        QList<SidebarSection> reached;   // by mouse or by keyboard
        for (QWidget* card : view.shortcutCards()) {
            AppState::shared().setSelectedSection(SidebarSection::dashboard);
            reached.size() % 2 ? QTest::keyClick(card, Qt::Key_Space) : QTest::mouseClick(card, Qt::LeftButton);
            reached << AppState::shared().selectedSection();
        }
        QCOMPARE(reached, (QList<SidebarSection>{SidebarSection::cache, SidebarSection::uninstaller, SidebarSection::intelApps,
                                                 SidebarSection::installer, SidebarSection::sysinfo}));
        AppState::shared().setSelectedSection(SidebarSection::dashboard);
    }

    void optimizeShowsItsProgress()
    {
        ViewSandbox box;
        DashboardView view;
        renderOffscreen(&view, {730, 640});
        QTRY_VERIFY(view.optimizeButton()->isEnabled());
        QStringList shown;   // the button as each change of the model leaves it
        connect(view.model().get(), &DashboardModel::changed, &view, [&] { shown << view.optimizeButton()->text() + (view.optimizeButton()->isEnabled() ? "" : " (off)"); });
        view.optimizeButton()->click();
        QTRY_COMPARE(view.optimizeButton()->text(), QStringLiteral("ワンクリック快適化"));
        QCOMPARE(shown.first(), QStringLiteral("最適化中… (off)"));
        const int score = view.model()->healthScore();
        QTRY_COMPARE(view.scoreLabel()->text(), QString::number(score));
        QCOMPARE(view.ring()->score(), score);
    }

    void themeMenuSwitchesTheme()
    {
        ViewSandbox box;
        ThemeManager::shared().setCurrentTheme(AppTheme::whiteSorami);
        DashboardView view;
        QMenu* menu = view.themeButton()->menu();
        QVERIFY(!menu->actions()[0]->icon().isNull() && menu->actions()[2]->icon().isNull());   // the current one is marked
        menu->actions()[2]->trigger();
        QVERIFY(ThemeManager::shared().currentTheme() == Theme::allCases()[2] && !view.themeButton()->menu()->actions()[2]->icon().isNull()
                && view.themeButton()->text() == Theme::displayName(Theme::allCases()[2]));
    }
};

QTEST_MAIN(DashboardViewTest)
#include "tst_dashboardview.moc"
