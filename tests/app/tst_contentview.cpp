// The window's navigation, banner and start-up work; the banner's clock moves only when a case moves it.
#include "app/AppState.h"
#include "app/ui/ContentView.h"
#include "app/ui/SidebarView.h"
#include "app/ui/SymbolView.h"
#include "app/ui/TessarinApp.h"
#include "app/ui/ToastView.h"
#include "permissions/ui/FullDiskAccessGuideSheet.h"
#include "support/ManualClock.h"
#include "support/ViewSandbox.h"

#include <QAccessible>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace std::chrono_literals;

namespace {

void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete), QCoreApplication::processEvents(); }

void show(QWidget& widget)
{
    widget.resize(960, 640), widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
}

QRect rectIn(const QWidget* widget, const QWidget* ancestor) { return {widget->mapTo(ancestor, QPoint()), widget->size()}; }

void clickRow(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = {})
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualItemRect(list->item(row)).center()), settle();
}

} // namespace

class ContentViewTest : public QObject {
    Q_OBJECT
    ViewSandbox box_;
    ManualClock clock_;

private slots:
    void initTestCase()
    {
        TessarinApp::configureAppearance();
        box_.settings.setValue(PermissionManager::seenGuideKey, true);   // start-up never asks for the guide itself
    }
    void init() { AppState::shared().setSelectedSection(SidebarSection::dashboard); }
    void cleanup() { clock_.advance(1h); }   // no banner reaches into the next case

    // Leaving a screen destroys it, coming back builds it anew; choosing the selected row, even with
    // Control, keeps it. The keyboard walks every section, shown and read aloud by name, with its screen.
    void sidebarChoosesAFreshScreen()
    {
        ContentView view;
        show(view);
        QListWidget* list = view.sidebar()->list();
        QSignalSpy detailChanged(&view, &ContentView::detailChanged);
        QPointer<QWidget> dashboard = view.currentDetail();
        clickRow(list, 3);
        QVERIFY(AppState::shared().selectedSection() == SidebarSection::cache && dashboard.isNull());
        QPointer<QWidget> cache = view.currentDetail();
        QVERIFY(cache->isVisible());
        clickRow(list, 0);
        clickRow(list, 3);
        QVERIFY(cache.isNull());
        QPointer<QWidget> again = view.currentDetail();
        clickRow(list, 3);
        clickRow(list, 3, Qt::ControlModifier);
        QCOMPARE(list->selectedItems(), QList<QListWidgetItem*>{list->item(3)});
        QVERIFY(view.currentDetail() == again.data() && detailChanged.count() == 3);

        clickRow(list, 0);
        const QMap<SidebarSection, QString> built{{SidebarSection::dashboard, "DashboardView"}, {SidebarSection::uninstaller, "UninstallerView"},
                                                  {SidebarSection::intelApps, "IntelAppsView"}, {SidebarSection::cache, "CacheView"},
                                                  {SidebarSection::storage, "StorageView"}, {SidebarSection::network, "NetworkView"},
                                                  {SidebarSection::sysinfo, "SysInfoView"},
                                                  {SidebarSection::backup, "BackupView"}, {SidebarSection::startup, "StartupItemsView"},
                                                  {SidebarSection::installer, "InstallerView"}};
        QStringList walked, expected;
        QAccessibleInterface* rows = QAccessible::queryAccessibleInterface(list);
        for (SidebarSection section : Sections::allCases()) {
            const QString name = Sections::rawValue(section);
            walked << list->currentItem()->text() << rows->child(list->currentRow())->text(QAccessible::Name)
                   << QString::fromLatin1(view.currentDetail()->metaObject()->className()) << Sections::rawValue(AppState::shared().selectedSection());
            expected << name << name << built.value(section) << name;
            QTest::keyClick(list, Qt::Key_Down), settle();
        }
        QCOMPARE(walked, expected);
        // The release lines stand at the bottom, below the list.
        SidebarView* sidebar = view.sidebar();
        const QRect release = rectIn(sidebar->releaseLabel(), &view), tagline = rectIn(sidebar->taglineLabel(), &view);
        QVERIFY(release.top() > rectIn(list, &view).bottom() && tagline.top() >= release.bottom() && tagline.bottom() <= view.height());
    }

    // A shortcut sets the section while its own click still runs: the screen survives until it returns.
    void aScreenMaySwitchAwayFromItself()
    {
        ContentView view;
        show(view);
        auto* button = new QPushButton(QStringLiteral("ストレージ分析へ"), view.currentDetail());
        button->show();
        bool aliveAfterSwitch = false;
        connect(button, &QPushButton::clicked, button, [button, &aliveAfterSwitch] {
            AppState::shared().setSelectedSection(SidebarSection::storage);
            aliveAfterSwitch = button->text() == QStringLiteral("ストレージ分析へ");
        });
        QPointer<QPushButton> guard = button;
        QTest::mouseClick(button, Qt::LeftButton);
        settle();
        QVERIFY(aliveAfterSwitch && guard.isNull());
        QCOMPARE(view.sidebar()->list()->currentRow(), int(Sections::allCases().indexOf(SidebarSection::storage)));
    }

    // It slides down to rest centred, its card 8 points below the edge; a second message changes
    // text and look without a new entrance; the first message's clearing takes it away upwards.
    // Its symbol tells assistive tools whether the message reports an error.
    void bannerEntersFollowsTheWidthAndLeaves()
    {
        ContentView view;
        show(view);
        ToastView* toast = view.toast();
        AppState::shared().showMessage(QStringLiteral("キャッシュ削除が完了しました"));
        QTRY_VERIFY(toast->isVisible());
        QVERIFY(toast->message() == QStringLiteral("キャッシュ削除が完了しました") && toast->symbolView()->symbol() == "checkmark.circle.fill");
        const int restY = ContentView::toastTopMargin - toast->shadowMargins().top();
        QTRY_COMPARE(toast->y(), restY);
        QVERIFY(toast->x() == (view.width() - toast->width()) / 2 && toast->mapTo(&view, toast->cardRect().topLeft().toPoint()).y() == 8);

        clock_.advance(2s);
        AppState::shared().showMessage(QStringLiteral("削除に失敗しました"), true);
        QTRY_COMPARE(toast->message(), QStringLiteral("削除に失敗しました"));
        QVERIFY(toast->symbolView()->symbol() == "xmark.circle.fill" && toast->y() == restY);
        QCOMPARE(toast->symbolView()->accessibleName(), QStringLiteral("エラー"));
        view.resize(1300, 700);
        QCoreApplication::processEvents();
        QCOMPARE(toast->x(), (1300 - toast->width()) / 2);

        clock_.advance(2s);
        QVERIFY(!view.isToastPresented());
        QTRY_VERIFY(!toast->isVisible() && toast->y() < 0);
    }

    // Start-up runs once, when the content first appears, and presents a guide requested before it.
    void startupRunsOnceAndTheGuideFollowsItsRequest()
    {
        ContentView view;
        QSignalSpy startup(&view, &ContentView::startupFinished);
        QCoreApplication::processEvents();
        QCOMPARE(startup.count(), 0);   // a guide requested before the content first appears
        AppState::shared().setShowFullDiskAccessAlert(true);
        show(view);
        QTRY_COMPARE(startup.count(), 1);
        const QList<FullDiskAccessGuideSheet*> sheets = view.findChildren<FullDiskAccessGuideSheet*>();
        QVERIFY(sheets.size() == 1 && sheets.first()->isVisible());
        sheets.first()->reject();
        view.hide();
        show(view);
        QCoreApplication::processEvents();
        QCOMPARE(startup.count(), 1);
    }
};

QTEST_MAIN(ContentViewTest)
#include "tst_contentview.moc"
