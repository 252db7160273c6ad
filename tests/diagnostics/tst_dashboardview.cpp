// What the dashboard does with clicks: the Full Disk Access card, the one-click
// optimisation, the shortcuts and the theme menu.
#include "app/AppState.h"
#include "app/ThemeManager.h"
#include "diagnostics/ui/DashboardView.h"
#include "support/Render.h"
#include "support/ViewSandbox.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QToolButton>
#include <QtTest>

class DashboardViewTest : public QObject {
    Q_OBJECT

private slots:
    void fullDiskAccessCardOpensTheGuide()
    {
        ViewSandbox box;
        DashboardView view;
        renderOffscreen(&view, {730, 640});
        QVERIFY(view.fullDiskAccessCard()->isVisible());
        AppState::shared().setShowFullDiskAccessAlert(false);
        view.fullDiskAccessButton()->click();
        QVERIFY(AppState::shared().showFullDiskAccessAlert());
        AppState::shared().setShowFullDiskAccessAlert(false);
    }

    void optimizeRunsAndShowsItsProgress()
    {
        ViewSandbox box(false);
        QSemaphore gate;   // holds the rescan after the purge until the test has looked
        std::atomic<bool> hold{false};
        box.shell.otherwise([&](const QString&) {
            if (hold)
                gate.acquire();
            return ShellResult{"245Gi", {}, 0};
        });
        auto release = qScopeGuard([&] {
            hold = false;
            gate.release(100);
        });
        DashboardView view;
        renderOffscreen(&view, {730, 640});
        QTRY_VERIFY(view.optimizeButton()->isEnabled());
        QCOMPARE(view.diskFreeLabel()->text(), QStringLiteral("245GiB 空き"));
        QCOMPARE(view.healthLabel()->text(), DashboardModel::healthLabel(view.model()->healthScore()));
        hold = true;
        view.optimizeButton()->click();
        QCOMPARE(view.optimizeButton()->text(), QStringLiteral("最適化中…"));
        QVERIFY(!view.optimizeButton()->isEnabled());
        release.dismiss();
        hold = false;
        gate.release(100);
        QTRY_COMPARE(view.optimizeButton()->text(), QStringLiteral("ワンクリック快適化"));
        QTRY_COMPARE(view.scoreLabel()->text(), QString::number(view.model()->healthScore()));
        QCOMPARE(view.ring()->score(), view.model()->healthScore());
        QCOMPARE(box.auth.commands(), QStringList{"purge 2>/dev/null || true"});
    }

    void shortcutCardsSwitchSections()
    {
        ViewSandbox box;
        DashboardView view;
        renderOffscreen(&view, {730, 640});
        const QList<QWidget*> cards = view.shortcutCards();
        QCOMPARE(cards.size(), 5);
        AppState::shared().setSelectedSection(SidebarSection::dashboard);
        QTest::mouseClick(cards[4], Qt::LeftButton);
        QCOMPARE(AppState::shared().selectedSection(), SidebarSection::sysinfo);
        QTest::keyClick(cards[1], Qt::Key_Space);
        QCOMPARE(AppState::shared().selectedSection(), SidebarSection::uninstaller);
        AppState::shared().setSelectedSection(SidebarSection::dashboard);
    }

    void themeMenuSwitchesTheme()
    {
        ViewSandbox box;
        ThemeManager::shared().setCurrentTheme(AppTheme::whiteSorami);
        DashboardView view;
        QMenu* menu = view.themeButton()->menu();
        QCOMPARE(menu->actions().size(), Theme::allCases().size());
        QVERIFY(!menu->actions()[0]->icon().isNull());   // the current one is marked
        QVERIFY(menu->actions()[2]->icon().isNull());
        menu->actions()[2]->trigger();
        QCOMPARE(ThemeManager::shared().currentTheme(), Theme::allCases()[2]);
        QCOMPARE(view.themeButton()->text(), Theme::displayName(Theme::allCases()[2]));
        QVERIFY(!view.themeButton()->menu()->actions()[2]->icon().isNull());
    }
};

QTEST_MAIN(DashboardViewTest)
#include "tst_dashboardview.moc"
