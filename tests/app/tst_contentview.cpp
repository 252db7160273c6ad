#include "app/AppState.h"
#include "app/ThemeManager.h"
#include "app/ui/ContentView.h"
#include "app/ui/MainWindow.h"
#include "app/ui/PlaceholderView.h"
#include "cleanup/ui/CacheView.h"
#include "cleanup/ui/IntelAppsView.h"
#include "cleanup/ui/UninstallerView.h"
#include "diagnostics/ui/DashboardView.h"
#include "app/ui/SectionHeader.h"
#include "app/ui/SidebarView.h"
#include "app/ui/SymbolView.h"
#include "app/ui/TessarinApp.h"
#include "app/ui/ToastView.h"
#include "support/FakeSettingsStore.h"

#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

#include <cmath>

namespace {

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Mean and standard deviation of the pixels' lightness.
std::pair<double, double> lightnessStats(const QImage& image, const QRect& area)
{
    double sum = 0, sumSquares = 0;
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); y += 2) {
        for (int x = area.left(); x <= area.right(); x += 2) {
            const int l = QColor(image.pixel(x, y)).lightness();
            sum += l;
            sumSquares += double(l) * l;
            ++count;
        }
    }
    const double mean = sum / count;
    return {mean, std::sqrt(qMax(0.0, sumSquares / count - mean * mean))};
}

int rowOf(SidebarSection section)
{
    return int(Sections::allCases().indexOf(section));
}

} // namespace

class ContentViewTest : public QObject {
    Q_OBJECT

private:
    FakeSettingsStore* store_ = nullptr;

    static void resetState()
    {
        AppState::shared().setSelectedSection(SidebarSection::dashboard);
    }

private slots:
    void initTestCase()
    {
        TessarinApp::configureAppearance();
        store_ = new FakeSettingsStore;
    }

    void cleanupTestCase() { delete store_; }

    void init()
    {
        resetState();
        ThemeManager::shared().setCurrentTheme(AppTheme::whiteSorami);
    }

    void sidebarListsTheTenSectionsInOrder()
    {
        ContentView view;
        QListWidget* list = view.sidebar()->list();
        QCOMPARE(list->count(), 10);
        const QStringList expected{QStringLiteral("ダッシュボード"),     QStringLiteral("アンインストーラー"),
                                   QStringLiteral("Intelアプリ検出"),    QStringLiteral("キャッシュ削除"),
                                   QStringLiteral("macOSインストーラー"), QStringLiteral("バックアップ"),
                                   QStringLiteral("起動項目管理"),       QStringLiteral("ストレージ分析"),
                                   QStringLiteral("ネットワーク診断"),   QStringLiteral("システム情報")};
        for (int row = 0; row < list->count(); ++row)
            QCOMPARE(list->item(row)->text(), expected[row]);
        // The first screen is the dashboard.
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(view.currentSection(), SidebarSection::dashboard);
        QVERIFY(qobject_cast<DashboardView*>(view.currentDetail()));
    }

    void sidebarRowsHaveAccessibleNames()
    {
        ContentView view;
        view.resize(960, 640);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QListWidget* list = view.sidebar()->list();
        QAccessibleInterface* listInterface = QAccessible::queryAccessibleInterface(list);
        QVERIFY(listInterface);
        QStringList names;
        for (int i = 0; i < listInterface->childCount(); ++i) {
            QAccessibleInterface* child = listInterface->child(i);
            if (child && child->role() == QAccessible::ListItem)
                names.append(child->text(QAccessible::Name));
        }
        QStringList titles;
        for (SidebarSection section : Sections::allCases())
            titles.append(Sections::rawValue(section));
        QCOMPARE(names, titles);
        QVERIFY(!list->accessibleName().isEmpty());
    }

    void clickingARowShowsAFreshScreenAndSelectsTheSection()
    {
        ContentView view;
        view.resize(960, 640);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QListWidget* list = view.sidebar()->list();
        QPointer<QWidget> dashboard = view.currentDetail();
        QSignalSpy detailSpy(&view, &ContentView::detailChanged);

        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(3)).center());
        settle();
        QCOMPARE(AppState::shared().selectedSection(), SidebarSection::cache);
        QCOMPARE(detailSpy.count(), 1);
        QVERIFY(dashboard.isNull());  // the screen that was left is gone
        auto* cache = qobject_cast<CacheView*>(view.currentDetail());
        QVERIFY(cache);
        auto* header = cache->findChild<SectionHeader*>();
        QVERIFY(header);
        QCOMPARE(header->title(), QStringLiteral("キャッシュ削除"));
        QCOMPARE(header->subtitle(), QStringLiteral("不要なキャッシュや一時ファイルを一括でクリーンアップ"));
        QCOMPARE(header->symbol(), QStringLiteral("internaldrive.fill"));
        QCOMPARE(header->color(), Sections::color(SidebarSection::cache));
        QVERIFY(cache->isVisible());

        // Leaving and coming back builds the screen anew.
        QPointer<QWidget> firstCache = cache;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        settle();
        QCOMPARE(AppState::shared().selectedSection(), SidebarSection::dashboard);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(3)).center());
        settle();
        QVERIFY(firstCache.isNull());
        QVERIFY(qobject_cast<CacheView*>(view.currentDetail()));
        QCOMPARE(view.currentSection(), SidebarSection::cache);

        // Clicking the row that is already selected keeps the screen as it is.
        QPointer<QWidget> current = view.currentDetail();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(3)).center());
        settle();
        QCOMPARE(view.currentDetail(), current.data());
        QCOMPARE(detailSpy.count(), 3);
    }

    void keyboardMovesTheSelection()
    {
        ContentView view;
        view.resize(960, 640);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QListWidget* list = view.sidebar()->list();
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Down);
        settle();
        QCOMPARE(AppState::shared().selectedSection(), SidebarSection::intelApps);
        QVERIFY(qobject_cast<IntelAppsView*>(view.currentDetail()));
    }

    void controlClickCannotEmptyTheSelection()
    {
        ContentView view;
        view.resize(960, 640);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QListWidget* list = view.sidebar()->list();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          list->visualItemRect(list->item(0)).center());
        settle();
        QCOMPARE(list->selectedItems().size(), 1);
        QCOMPARE(list->selectedItems().first(), list->item(0));
        QCOMPARE(AppState::shared().selectedSection(), SidebarSection::dashboard);
        QVERIFY(view.currentDetail());
    }

    void stateChangeSelectsTheRow_data()
    {
        QTest::addColumn<SidebarSection>("section");
        for (SidebarSection section : Sections::allCases())
            QTest::newRow(qPrintable(Sections::rawValue(section))) << section;
    }

    void stateChangeSelectsTheRow()
    {
        QFETCH(SidebarSection, section);
        ContentView view;
        AppState::shared().setSelectedSection(section);
        settle();
        QListWidget* list = view.sidebar()->list();
        QCOMPARE(list->currentRow(), rowOf(section));
        QCOMPARE(list->selectedItems().size(), 1);
        QCOMPARE(list->selectedItems().first(), list->item(rowOf(section)));
        QWidget* detail = view.currentDetail();
        switch (section) {
        case SidebarSection::dashboard:
            QVERIFY(qobject_cast<DashboardView*>(detail));
            return;
        case SidebarSection::uninstaller:
            QVERIFY(qobject_cast<UninstallerView*>(detail));
            return;
        case SidebarSection::intelApps:
            QVERIFY(qobject_cast<IntelAppsView*>(detail));
            return;
        case SidebarSection::cache:
            QVERIFY(qobject_cast<CacheView*>(detail));
            return;
        default:
            break;
        }
        auto* placeholder = qobject_cast<PlaceholderView*>(detail);
        QVERIFY(placeholder);
        QCOMPARE(placeholder->section(), section);
        QCOMPARE(placeholder->header()->title(), Sections::rawValue(section));
        QCOMPARE(placeholder->header()->subtitle(), PlaceholderView::subtitle(section));
        QVERIFY(!placeholder->header()->subtitle().isEmpty());
        QCOMPARE(placeholder->noteLabel()->text(), QStringLiteral("この画面は次のバージョンで利用できます"));
    }

    void aScreenMaySwitchAwayFromItself()
    {
        // A shortcut on a screen sets the section while its own click is still running; the
        // screen must survive until that click returns.
        ContentView view;
        view.resize(960, 640);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        auto* button = new QPushButton(QStringLiteral("ストレージ分析へ"), view.currentDetail());
        view.currentDetail()->layout()->addWidget(button);
        bool afterSwitch = false;
        connect(button, &QPushButton::clicked, button, [button, &afterSwitch] {
            AppState::shared().setSelectedSection(SidebarSection::storage);
            afterSwitch = button->text() == QStringLiteral("ストレージ分析へ");
        });
        QPointer<QPushButton> guard = button;
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(afterSwitch);
        settle();
        QVERIFY(guard.isNull());
        QCOMPARE(view.sidebar()->list()->currentRow(), rowOf(SidebarSection::storage));
    }

    void sidebarFooterAndTitle()
    {
        ContentView view;
        SidebarView* sidebar = view.sidebar();
        QCOMPARE(sidebar->titleLabel()->text(), QStringLiteral("Tessarin 🩺"));
        QCOMPARE(sidebar->releaseLabel()->text(), QStringLiteral("Tessarin 2.2 “White Sorami”"));
        QCOMPARE(sidebar->taglineLabel()->text(), QStringLiteral("白そらみ嬢、Macをお手当中！🌸"));
        QCOMPARE(sidebar->releaseLabel()->font().pixelSize(), 11);
        QCOMPARE(sidebar->releaseLabel()->font().weight(), QFont::DemiBold);
        QCOMPARE(sidebar->taglineLabel()->font().pixelSize(), 9);
        QCOMPARE(sidebar->releaseLabel()->accessibleName(), sidebar->releaseLabel()->text());
        QCOMPARE(sidebar->taglineLabel()->accessibleName(), sidebar->taglineLabel()->text());
        QVERIFY(sidebar->minimumWidth() >= 210);
        QCOMPARE(sidebar->sizeHint().width(), 230);

        view.resize(960, 640);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(sidebar->width(), 230);
        // The release lines stand at the bottom, below the list.
        const QRect listRect(sidebar->list()->mapTo(&view, QPoint(0, 0)), sidebar->list()->size());
        const QRect releaseRect(sidebar->releaseLabel()->mapTo(&view, QPoint(0, 0)), sidebar->releaseLabel()->size());
        const QRect taglineRect(sidebar->taglineLabel()->mapTo(&view, QPoint(0, 0)), sidebar->taglineLabel()->size());
        QVERIFY(releaseRect.top() > listRect.bottom());
        QVERIFY(taglineRect.top() >= releaseRect.bottom());
        QVERIFY(taglineRect.bottom() <= view.height());
        // Nothing of the footer is cut off at the ideal width.
        QVERIFY(sidebar->taglineLabel()->sizeHint().width() <= sidebar->width());
        QVERIFY(sidebar->releaseLabel()->sizeHint().width() <= sidebar->width());
    }

    void bannerEntersAndLeaves()
    {
        ContentView view;
        view.resize(960, 640);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        ToastView* toast = view.toast();
        QVERIFY(!toast->isVisible());

        AppState::shared().showMessage(QStringLiteral("キャッシュ削除が完了しました"), false);
        QTRY_VERIFY(toast->isVisible());
        QVERIFY(view.isToastPresented());
        QCOMPARE(toast->message(), QStringLiteral("キャッシュ削除が完了しました"));
        QCOMPARE(toast->symbolView()->symbol(), QStringLiteral("checkmark.circle.fill"));
        QCOMPARE(toast->symbolView()->color(), Theme::accentColor(AppTheme::whiteSorami));
        // It slides in from above the top edge and comes to rest 8 points below it, centred.
        const int restY = ContentView::toastTopMargin - toast->shadowMargins().top();
        QTRY_COMPARE(toast->y(), restY);
        QCOMPARE(toast->x(), (view.width() - toast->width()) / 2);
        QCOMPARE(toast->mapTo(&view, toast->cardRect().topLeft().toPoint()).y(), ContentView::toastTopMargin);
        QVERIFY(toast->geometry().bottom() < view.height() / 2);

        // An error in the meantime replaces the text and the look, without a new entrance.
        AppState::shared().showMessage(QStringLiteral("削除に失敗しました"), true);
        QTRY_COMPARE(toast->message(), QStringLiteral("削除に失敗しました"));
        QCOMPARE(toast->symbolView()->symbol(), QStringLiteral("xmark.circle.fill"));
        QCOMPARE(toast->symbolView()->color(), SystemColor::red());
        QCOMPARE(toast->y(), restY);
        QCOMPARE(toast->x(), (view.width() - toast->width()) / 2);

        // The first message's clearing takes the banner away, upwards.
        QTRY_VERIFY_WITH_TIMEOUT(!view.isToastPresented(), AppState::messageDurationMs + 2000);
        QTRY_VERIFY(!toast->isVisible());
        QVERIFY(toast->y() < 0);
        // Let the second message's clearing run out before the next case.
        QTest::qWait(AppState::messageDurationMs);
        QVERIFY(!toast->isVisible());
    }

    void bannerFollowsTheWindowWidth()
    {
        ContentView view;
        view.resize(960, 640);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        AppState::shared().showMessage(QStringLiteral("保存しました"), false);
        QTRY_COMPARE(view.toast()->y(), ContentView::toastTopMargin - view.toast()->shadowMargins().top());
        view.resize(1300, 700);
        QCoreApplication::processEvents();
        QCOMPARE(view.toast()->x(), (1300 - view.toast()->width()) / 2);
        QTRY_VERIFY_WITH_TIMEOUT(!view.toast()->isVisible(), AppState::messageDurationMs + 2000);
        QTest::qWait(300);
    }

    void startupTaskRunsOnceOnFirstShow()
    {
        ContentView view;
        QSignalSpy spy(&view, &ContentView::startupFinished);
        QCoreApplication::processEvents();
        QCOMPARE(spy.count(), 0);  // not before the content appears
        view.resize(960, 640);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_COMPARE(spy.count(), 1);
        view.hide();
        view.show();
        QCoreApplication::processEvents();
        QTest::qWait(50);
        QCOMPARE(spy.count(), 1);
    }

    void fullDiskAccessRequestKeepsTheFlag()
    {
        ContentView view;
        AppState::shared().setShowFullDiskAccessAlert(true);
        QCoreApplication::processEvents();
        QVERIFY(AppState::shared().showFullDiskAccessAlert());
        AppState::shared().setShowFullDiskAccessAlert(false);
    }

    void windowHasNoCommandForASecondWindow()
    {
        MainWindow window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Tessarin"));
        QCOMPARE(window.minimumSize(), QSize(960, 640));
        QVERIFY(qobject_cast<ContentView*>(window.centralWidget()));
        QCOMPARE(window.contentView(), window.centralWidget());

        QList<QAction*> actions = window.findChildren<QAction*>();
        for (QMenu* menu : window.menuBar()->findChildren<QMenu*>())
            actions += menu->actions();
        actions += window.actions();
        int aboutCount = 0;
        const QSet<QAction*> distinct(actions.cbegin(), actions.cend());
        for (QAction* action : distinct) {
            QVERIFY2(action->shortcut() != QKeySequence(QKeySequence::New), qPrintable(action->text()));
            QVERIFY2(!action->text().contains(QStringLiteral("新規")), qPrintable(action->text()));
            QVERIFY2(!action->text().contains(QStringLiteral("ウインドウ")), qPrintable(action->text()));
            QVERIFY2(!action->text().contains(QStringLiteral("New"), Qt::CaseInsensitive), qPrintable(action->text()));
            if (action->text() == QStringLiteral("Tessarinについて")) {
                ++aboutCount;
                QCOMPARE(action->menuRole(), QAction::AboutRole);
            }
        }
        QCOMPARE(aboutCount, 1);
        QCOMPARE(window.aboutAction()->text(), QStringLiteral("Tessarinについて"));
    }

    void windowChromeFollowsTheTheme()
    {
        ThemeManager::shared().setCurrentTheme(AppTheme::cyberDark);
        MainWindow window;
        window.resize(960, 640);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
        const QImage image = window.grab().toImage();
        QMenuBar* bar = window.menuBar();
        if (bar->isVisible() && bar->height() > 0) {
            const auto [mean, deviation] = lightnessStats(image, QRect(QPoint(bar->width() / 2, 0), QSize(100, bar->height())));
            Q_UNUSED(deviation);
            QVERIFY2(mean < 90, qPrintable(QString::number(mean)));
        }
        if (const QString extra = qEnvironmentVariable("TESSARIN_VIEW_SHOTS"); !extra.isEmpty())
            image.save(extra + QStringLiteral("mainwindow-cyberDark.png"));
    }

    void themeChangeRedrawsTheOpenWindow()
    {
        AppState::shared().setSelectedSection(SidebarSection::sysinfo);
        ContentView view;
        view.resize(960, 640);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QPoint probe(900, 600);  // in the detail column, away from text
        QCoreApplication::processEvents();
        const int lightBefore = QColor(view.grab().toImage().pixel(probe)).lightness();
        QVERIFY(lightBefore > 200);

        ThemeManager::shared().setCurrentTheme(AppTheme::cyberDark);
        QCoreApplication::processEvents();
        const QImage after = view.grab().toImage();
        QVERIFY(QColor(after.pixel(probe)).lightness() < 60);
        auto* placeholder = qobject_cast<PlaceholderView*>(view.currentDetail());
        QVERIFY(placeholder);
        QVERIFY(placeholder->header()->titleLabel()->palette().color(QPalette::WindowText).lightness() > 200);
        QVERIFY(view.sidebar()->releaseLabel()->palette().color(QPalette::WindowText).lightness() > 200);
        QVERIFY(view.palette().color(QPalette::WindowText).lightness() > 200);
    }

    void rendersInEveryTheme_data()
    {
        QTest::addColumn<AppTheme>("theme");
        QTest::addColumn<SidebarSection>("section");
        QTest::addColumn<bool>("dark");
        // Screens with their own view tests render there; these check the window around a screen.
        QTest::newRow("whiteSorami") << AppTheme::whiteSorami << SidebarSection::installer << false;
        QTest::newRow("liquidGlass") << AppTheme::liquidGlass << SidebarSection::backup << false;
        QTest::newRow("cyberDark") << AppTheme::cyberDark << SidebarSection::storage << true;
        QTest::newRow("classicMint") << AppTheme::classicMint << SidebarSection::sysinfo << false;
    }

    void rendersInEveryTheme()
    {
        QFETCH(AppTheme, theme);
        QFETCH(SidebarSection, section);
        QFETCH(bool, dark);
        ThemeManager::shared().setCurrentTheme(theme);
        AppState::shared().setSelectedSection(section);
        ContentView view;
        view.resize(960, 640);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        AppState::shared().showMessage(QStringLiteral("テーマ「%1」で表示しています").arg(Theme::displayName(theme)),
                                       theme == AppTheme::cyberDark);
        QTRY_COMPARE(view.toast()->y(), ContentView::toastTopMargin - view.toast()->shadowMargins().top());
        QTest::qWait(ContentView::toastAnimationMs + 100);  // the fade has finished as well
        QCoreApplication::processEvents();

        const QImage image = view.grab().toImage();
        QCOMPARE(image.size(), QSize(960, 640) * image.devicePixelRatio());
        const auto [mean, deviation] = lightnessStats(image, image.rect());
        QVERIFY2(deviation > 8, qPrintable(QString::number(deviation)));
        QVERIFY2(dark ? mean < 90 : mean > 180, qPrintable(QString::number(mean)));

        // The sidebar's text shows: its rows differ from the sidebar's own background.
        const QRect rows(view.sidebar()->list()->mapTo(&view, QPoint(0, 0)), QSize(200, 300));
        QVERIFY(lightnessStats(image, rows).second > 5);
        // The header's title has ink of the readable kind: dark on light themes, light on the dark one.
        auto* placeholder = qobject_cast<PlaceholderView*>(view.currentDetail());
        QVERIFY(placeholder);
        QLabel* title = placeholder->header()->titleLabel();
        const QRect titleRect(title->mapTo(&view, QPoint(0, 0)), title->size());
        int inked = 0;
        for (int y = titleRect.top(); y <= titleRect.bottom(); ++y) {
            for (int x = titleRect.left(); x <= titleRect.right(); ++x) {
                const int l = QColor(image.pixel(x, y)).lightness();
                inked += dark ? (l > 200) : (l < 80);
            }
        }
        QVERIFY2(inked > 50, qPrintable(QString::number(inked)));

        static QTemporaryDir shots;
        QVERIFY(shots.isValid());
        const QString name = QStringLiteral("contentview-%1.png").arg(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(image.save(shots.filePath(name)));
        if (const QString extra = qEnvironmentVariable("TESSARIN_VIEW_SHOTS"); !extra.isEmpty())
            image.save(extra + name);

        QTRY_VERIFY_WITH_TIMEOUT(!view.toast()->isVisible(), AppState::messageDurationMs + 2000);
        QTest::qWait(200);
    }
};

QTEST_MAIN(ContentViewTest)
#include "tst_contentview.moc"
