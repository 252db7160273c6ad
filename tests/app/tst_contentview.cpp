// The window: sidebar navigation, the screens it shows, the banner, start-up work, the guide
// sheet, the menu and the themes. Shell, root runs and the helper are faked, the home is a
// temporary folder, and the banner's clock moves only when a case moves it.
#include "app/AppState.h"
#include "app/ThemeManager.h"
#include "app/ui/ContentView.h"
#include "app/ui/MainWindow.h"
#include "app/ui/PlaceholderView.h"
#include "app/ui/SectionHeader.h"
#include "app/ui/SidebarView.h"
#include "app/ui/SymbolView.h"
#include "app/ui/TessarinApp.h"
#include "app/ui/ToastView.h"
#include "permissions/ui/FullDiskAccessGuideSheet.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"
#include "support/FakeSettingsStore.h"
#include "support/ManualClock.h"
#include "support/Render.h"
#include "support/ScriptedFileManager.h"

#include <QAccessible>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

using namespace std::chrono_literals;

namespace {

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

void show(QWidget& widget)
{
    widget.resize(960, 640);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
}

QRect rectIn(const QWidget* widget, const QWidget* ancestor) { return {widget->mapTo(ancestor, QPoint()), widget->size()}; }

double meanLightness(const QImage& image, const QRect& area)
{
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            sum += QColor(image.pixel(x, y)).lightness();
    return sum / (area.width() * area.height());
}

void clickRow(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = {})
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualItemRect(list->item(row)).center());
    settle();
}

int rowOf(SidebarSection section) { return int(Sections::allCases().indexOf(section)); }
QByteArray screenOf(const ContentView& view) { return view.currentDetail()->metaObject()->className(); }

struct Fakes {
    QTemporaryDir tmp;
    ScriptedFileManager files{tmp.filePath("home"), tmp.filePath("tmp/")};
    // The guide was seen before, so start-up never asks for it by itself.
    FakeSettingsStore settings{{{QStringLiteral("tessarin_has_seen_fda_guide"), true}}};
    FakeCommandRunner shell;
    FakeAuthorization auth;
    FakeCleanerHelper helper;
    ManualClock clock;
};

} // namespace

class ContentViewTest : public QObject {
    Q_OBJECT
    std::unique_ptr<Fakes> fakes_;

private slots:
    void initTestCase()
    {
        TessarinApp::configureAppearance();
        fakes_ = std::make_unique<Fakes>();
    }
    void cleanupTestCase() { fakes_.reset(); }
    void init()
    {
        AppState::shared().setSelectedSection(SidebarSection::dashboard);
        ThemeManager::shared().setCurrentTheme(AppTheme::whiteSorami);
    }
    void cleanup() { fakes_->clock.advance(1h); }   // no banner reaches into the next case

    void sidebarListsTheSectionsOverTheReleaseLines()
    {
        ContentView view;
        show(view);
        SidebarView* sidebar = view.sidebar();
        QListWidget* list = sidebar->list();
        QStringList shown, spoken;
        for (int row = 0; row < list->count(); ++row)
            shown << list->item(row)->text();
        QAccessibleInterface* rows = QAccessible::queryAccessibleInterface(list);
        for (int i = 0; i < rows->childCount(); ++i)
            if (rows->child(i)->role() == QAccessible::ListItem)
                spoken << rows->child(i)->text(QAccessible::Name);
        const QStringList titles{"ダッシュボード", "アンインストーラー", "Intelアプリ検出", "キャッシュ削除", "macOSインストーラー",
                                 "バックアップ", "起動項目管理", "ストレージ分析", "ネットワーク診断", "システム情報"};
        QCOMPARE(shown, titles);
        QCOMPARE(spoken, titles);
        QCOMPARE(list->currentRow(), 0);   // a launch starts on the dashboard
        QCOMPARE(screenOf(view), "DashboardView");

        QCOMPARE(sidebar->titleLabel()->text(), QStringLiteral("Tessarin 🩺"));
        QCOMPARE(sidebar->releaseLabel()->accessibleName(), QStringLiteral("Tessarin 2.2 “White Sorami”"));
        QCOMPARE(sidebar->taglineLabel()->accessibleName(), QStringLiteral("白そらみ嬢、Macをお手当中！🌸"));
        QCOMPARE(sidebar->releaseLabel()->text(), sidebar->releaseLabel()->accessibleName());
        QCOMPARE(sidebar->taglineLabel()->text(), sidebar->taglineLabel()->accessibleName());
        QVERIFY(sidebar->minimumWidth() >= 210);
        QCOMPARE(sidebar->width(), 230);
        // The release lines stand at the bottom, below the list, and nothing of them is cut off.
        const QRect release = rectIn(sidebar->releaseLabel(), &view), tagline = rectIn(sidebar->taglineLabel(), &view);
        QVERIFY(release.top() > rectIn(list, &view).bottom() && tagline.top() >= release.bottom());
        QVERIFY(tagline.bottom() <= view.height());
        for (QLabel* line : {sidebar->releaseLabel(), sidebar->taglineLabel()})
            QVERIFY(line->sizeHint().width() <= sidebar->width());
    }

    void choosingARowShowsAFreshScreen()
    {
        ContentView view;
        show(view);
        QListWidget* list = view.sidebar()->list();
        QSignalSpy detailChanged(&view, &ContentView::detailChanged);
        QPointer<QWidget> dashboard = view.currentDetail();
        clickRow(list, 3);
        QCOMPARE(AppState::shared().selectedSection(), SidebarSection::cache);
        QVERIFY(dashboard.isNull());   // the screen that was left is gone
        QPointer<QWidget> cache = view.currentDetail();
        QCOMPARE(screenOf(view), "CacheView");
        QVERIFY(cache->isVisible());
        // Leaving and coming back builds the screen anew; choosing the selected row keeps it.
        clickRow(list, 0);
        clickRow(list, 3);
        QVERIFY(cache.isNull());
        QPointer<QWidget> again = view.currentDetail();
        clickRow(list, 3);
        clickRow(list, 3, Qt::ControlModifier);   // nor can a Control-click leave no selection
        QCOMPARE(list->selectedItems(), QList<QListWidgetItem*>{list->item(3)});
        QCOMPARE(view.currentDetail(), again.data());
        QCOMPARE(detailChanged.count(), 3);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        settle();
        QCOMPARE(AppState::shared().selectedSection(), SidebarSection::installer);
    }

    void eachSectionShowsItsScreen_data()
    {
        QTest::addColumn<SidebarSection>("section");
        QTest::addColumn<QByteArray>("screen");
        const QMap<SidebarSection, QByteArray> built{{SidebarSection::dashboard, "DashboardView"},
                                                     {SidebarSection::uninstaller, "UninstallerView"},
                                                     {SidebarSection::intelApps, "IntelAppsView"},
                                                     {SidebarSection::cache, "CacheView"}};
        for (SidebarSection section : Sections::allCases())
            QTest::newRow(qPrintable(Sections::rawValue(section))) << section << built.value(section, "PlaceholderView");
    }
    void eachSectionShowsItsScreen()
    {
        QFETCH(SidebarSection, section);
        QFETCH(QByteArray, screen);
        ContentView view;
        AppState::shared().setSelectedSection(section);
        settle();
        QListWidget* list = view.sidebar()->list();
        QCOMPARE(list->selectedItems(), QList<QListWidgetItem*>{list->item(rowOf(section))});
        QCOMPARE(screenOf(view), screen);
        if (auto* placeholder = qobject_cast<PlaceholderView*>(view.currentDetail())) {
            QCOMPARE(placeholder->header()->title(), Sections::rawValue(section));
            QCOMPARE(placeholder->noteLabel()->text(), QStringLiteral("この画面は次のバージョンで利用できます"));
        }
    }

    void aScreenMaySwitchAwayFromItself()
    {
        // A shortcut sets the section while its own click is still running: the screen must
        // survive until that click returns.
        ContentView view;
        show(view);
        auto* button = new QPushButton(QStringLiteral("ストレージ分析へ"), view.currentDetail());
        view.currentDetail()->layout()->addWidget(button);
        bool aliveAfterSwitch = false;
        connect(button, &QPushButton::clicked, button, [button, &aliveAfterSwitch] {
            AppState::shared().setSelectedSection(SidebarSection::storage);
            aliveAfterSwitch = button->text() == QStringLiteral("ストレージ分析へ");
        });
        QPointer<QPushButton> guard = button;
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(aliveAfterSwitch);
        settle();
        QVERIFY(guard.isNull());
        QCOMPARE(view.sidebar()->list()->currentRow(), rowOf(SidebarSection::storage));
    }

    void bannerEntersFollowsTheWidthAndLeaves()
    {
        ContentView view;
        show(view);
        ToastView* toast = view.toast();
        QVERIFY(!toast->isVisible());
        AppState::shared().showMessage(QStringLiteral("キャッシュ削除が完了しました"));
        QTRY_VERIFY(toast->isVisible());
        QCOMPARE(toast->message(), QStringLiteral("キャッシュ削除が完了しました"));
        QCOMPARE(toast->symbolView()->symbol(), QStringLiteral("checkmark.circle.fill"));
        QCOMPARE(toast->symbolView()->color(), Theme::accentColor(AppTheme::whiteSorami));
        // It slides down from above the edge to rest centred, its card 8 points below the edge.
        const int restY = ContentView::toastTopMargin - toast->shadowMargins().top();
        QTRY_COMPARE(toast->y(), restY);
        QCOMPARE(toast->x(), (view.width() - toast->width()) / 2);
        QCOMPARE(toast->mapTo(&view, toast->cardRect().topLeft().toPoint()).y(), 8);

        // An error two seconds later changes text and look without a new entrance.
        fakes_->clock.advance(2s);
        AppState::shared().showMessage(QStringLiteral("削除に失敗しました"), true);
        QTRY_COMPARE(toast->message(), QStringLiteral("削除に失敗しました"));
        QCOMPARE(toast->symbolView()->symbol(), QStringLiteral("xmark.circle.fill"));
        QCOMPARE(toast->symbolView()->color(), SystemColor::red());
        QCOMPARE(toast->y(), restY);
        view.resize(1300, 700);
        QCoreApplication::processEvents();
        QCOMPARE(toast->x(), (1300 - toast->width()) / 2);

        // The first message's clearing takes the banner away, upwards, two seconds later.
        fakes_->clock.advance(1999ms);
        QVERIFY(view.isToastPresented());
        fakes_->clock.advance(1ms);
        QVERIFY(!view.isToastPresented());
        QTRY_VERIFY(!toast->isVisible());
        QVERIFY(toast->y() < 0);
    }

    void startupRunsOnceAndTheGuideFollowsItsRequest()
    {
        ContentView view;
        QSignalSpy startup(&view, &ContentView::startupFinished);
        QCoreApplication::processEvents();
        QCOMPARE(startup.count(), 0);   // not before the content appears
        AppState::shared().setShowFullDiskAccessAlert(true);   // a guide requested before that
        show(view);
        QTRY_COMPARE(startup.count(), 1);
        const QList<FullDiskAccessGuideSheet*> sheets = view.findChildren<FullDiskAccessGuideSheet*>();
        QCOMPARE(sheets.size(), 1);
        QVERIFY(sheets.first()->isVisible());
        sheets.first()->reject();   // closing the sheet in any way withdraws the request
        QVERIFY(!AppState::shared().showFullDiskAccessAlert());
        view.hide();
        show(view);
        QCoreApplication::processEvents();
        QCOMPARE(startup.count(), 1);
    }

    void windowHasNoCommandForASecondWindow()
    {
        MainWindow window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Tessarin"));
        QCOMPARE(window.minimumSize(), QSize(960, 640));
        QList<QAction*> actions = window.findChildren<QAction*>();
        for (QMenu* menu : window.menuBar()->findChildren<QMenu*>())
            actions += menu->actions();
        QList<QAction*> about;
        for (QAction* action : QSet<QAction*>(actions.cbegin(), actions.cend())) {
            const QString text = action->text();
            QVERIFY2(action->shortcut() != QKeySequence(QKeySequence::New), qPrintable(text));
            QVERIFY2(!text.contains("新規") && !text.contains("ウインドウ") && !text.contains("New", Qt::CaseInsensitive),
                     qPrintable(text));
            if (text == QStringLiteral("Tessarinについて") && action->menuRole() == QAction::AboutRole)
                about << action;
        }
        QCOMPARE(about, QList<QAction*>{window.aboutAction()});
    }

    void followsEveryTheme_data()
    {
        QTest::addColumn<AppTheme>("theme");
        QTest::addColumn<SidebarSection>("section");
        // Screens with their own view tests render there; these check the window around a screen.
        QTest::newRow("whiteSorami") << AppTheme::whiteSorami << SidebarSection::installer;
        QTest::newRow("liquidGlass") << AppTheme::liquidGlass << SidebarSection::backup;
        QTest::newRow("cyberDark") << AppTheme::cyberDark << SidebarSection::storage;
        QTest::newRow("classicMint") << AppTheme::classicMint << SidebarSection::sysinfo;
    }
    void followsEveryTheme()
    {
        QFETCH(AppTheme, theme);
        QFETCH(SidebarSection, section);
        const bool dark = theme == AppTheme::cyberDark;
        AppState::shared().setSelectedSection(section);
        MainWindow window;
        show(window);
        ThemeManager::shared().setCurrentTheme(theme);   // the open window redraws
        ContentView* view = window.contentView();
        AppState::shared().showMessage(QStringLiteral("テーマ「%1」で表示しています").arg(Theme::displayName(theme)), dark);
        QTRY_COMPARE(view->toast()->y(), ContentView::toastTopMargin - view->toast()->shadowMargins().top());
        QTRY_COMPARE(qobject_cast<QGraphicsOpacityEffect*>(view->toast()->graphicsEffect())->opacity(), 1.0);

        const QImage image = window.grab().toImage();
        const QRect content = rectIn(view, &window);
        QVERIFY(!looksBlank(image.copy(content)));
        const double mean = meanLightness(image, content);
        QVERIFY2(dark ? mean < 90 : mean > 180, qPrintable(QString::number(mean)));
        QVERIFY(!looksBlank(image.copy(QRect(rectIn(view->sidebar()->list(), &window).topLeft(), QSize(200, 300)))));
        // The header's title has readable ink: dark on light themes, light on the dark one.
        const QRect title = rectIn(qobject_cast<PlaceholderView*>(view->currentDetail())->header()->titleLabel(), &window);
        int inked = 0;
        for (int y = title.top(); y <= title.bottom(); ++y) {
            for (int x = title.left(); x <= title.right(); ++x) {
                const int l = QColor(image.pixel(x, y)).lightness();
                inked += dark ? l > 200 : l < 80;
            }
        }
        QVERIFY2(inked > 50, qPrintable(QString::number(inked)));
        QCOMPARE(view->sidebar()->releaseLabel()->palette().color(QPalette::WindowText).lightness() > 128, dark);
        // The menu bar, drawn inside the window where there is no global one, follows as well.
        if (QMenuBar* bar = window.menuBar(); bar->isVisible() && bar->height() > 0) {
            const double barMean = meanLightness(image, QRect(bar->width() / 2, 0, 100, bar->height()));
            QVERIFY2(dark ? barMean < 90 : barMean > 180, qPrintable(QString::number(barMean)));
        }
        saveIfRequested(image, QStringLiteral("window-%1").arg(QString::fromLatin1(QTest::currentDataTag())));
    }
};

QTEST_MAIN(ContentViewTest)
#include "tst_contentview.moc"
