#include "app/AppState.h"
#include "app/ThemeManager.h"
#include "app/ui/AboutView.h"
#include "app/ui/MainWindow.h"
#include "app/ui/SymbolView.h"
#include "app/ui/TessarinApp.h"
#include "app/ui/ToastView.h"
#include "backup/ui/BackupView.h"
#include "cleanup/ui/CacheView.h"
#include "cleanup/ui/IntelAppsView.h"
#include "cleanup/ui/UninstallerView.h"
#include "diagnostics/ui/DashboardView.h"
#include "diagnostics/ui/NetworkView.h"
#include "diagnostics/ui/StartupItemsView.h"
#include "diagnostics/ui/StorageView.h"
#include "diagnostics/ui/SysInfoView.h"
#include "installer/ui/InstallerView.h"
#include "permissions/ui/FullDiskAccessGuideSheet.h"
#include "support/Render.h"
#include "support/ViewSandbox.h"

#include <QAccessible>
#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSemaphore>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// The window's background behind a screen, as the window content paints it.
class Backdrop final : public QWidget {
public:
    explicit Backdrop(QWidget* screen) { ThemeStyle::followTheme(this), ThemeStyle::column(this)->addWidget(screen); }

protected:
    void paintEvent(QPaintEvent*) override { ThemeStyle::paintBackground(this); }
};

enum Kind { framed, sheet, window };
struct Screen { const char* name; std::function<QWidget*(ViewSandbox&)> make; Kind kind; };

const QList<Screen> screens{
    {"dashboard", [](ViewSandbox&) -> QWidget* { return new DashboardView; }, framed},
    {"cache", [](ViewSandbox&) -> QWidget* { return new CacheView; }, framed},
    {"uninstaller", [](ViewSandbox&) -> QWidget* { return new UninstallerView; }, framed},
    {"intelApps", [](ViewSandbox& box) -> QWidget* {
         return new IntelAppsView(IntelAppsModel::create(QStringList{box.applications}, RosettaInfo{true, true})); }, framed},
    {"installer", [](ViewSandbox&) -> QWidget* { return new InstallerView; }, framed},
    {"backup", [](ViewSandbox&) -> QWidget* { return new BackupView; }, framed},
    {"startupItems", [](ViewSandbox&) -> QWidget* { return new StartupItemsView; }, framed},
    {"storage", [](ViewSandbox&) -> QWidget* { return new StorageView; }, framed},
    {"network", [](ViewSandbox&) -> QWidget* { return new NetworkView; }, framed},   // its ping goes to the fake shell
    {"systemReport", [](ViewSandbox&) -> QWidget* { return new SysInfoView; }, framed},
    {"about", [](ViewSandbox&) -> QWidget* { return new AboutView; }, sheet},
    {"fullDiskAccessGuide", [](ViewSandbox& box) -> QWidget* { return new FullDiskAccessGuideSheet(box.permissions); }, sheet},
    {"window", [](ViewSandbox& box) -> QWidget* {   // sidebar, menu bar and a placeholder screen around it
         box.settings.setValue(PermissionManager::seenGuideKey, true);
         AppState::shared().setSelectedSection(SidebarSection::storage);
         return new MainWindow; }, window},
};

} // namespace

class CardViewTest : public QObject {
    Q_OBJECT

    FakeSettingsStore store_;

private slots:
    void initTestCase() { TessarinApp::configureAppearance(); }
    void init() { ThemeManager::shared().setCurrentTheme(AppTheme::whiteSorami); }

    void screenInTheme_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<AppTheme>("theme");
        for (int i = 0; i < screens.size(); ++i)
            for (AppTheme theme : Theme::allCases())
                QTest::newRow(qPrintable(QString::fromLatin1(screens[i].name) + " / " + Theme::rawValue(theme))) << i << theme;
    }
    // Switched to its theme while open, at the window's minimum size, a screen is as light or dark
    // as the theme, every label is readable on it and whole (not clipped), every button inside its width.
    void screenInTheme()
    {
        QFETCH(int, screen);
        QFETCH(AppTheme, theme);
        const Screen& s = screens[screen];
        ViewSandbox box;
        QWidget* view = s.make(box);
        std::unique_ptr<QWidget> host(s.kind == framed ? new Backdrop(view) : view);
        const QSize size = s.kind == sheet ? QSize() : s.kind == window ? QSize(960, 640) : QSize(730, 640);
        renderOffscreen(host.get(), size);
        ThemeManager::shared().setCurrentTheme(theme);
        ViewSandbox::drain();
        const QImage image = renderOffscreen(host.get(), size);
        QVERIFY(!looksBlank(image));
        saveIfRequested(image, QStringLiteral("%1-%2").arg(QLatin1String(s.name)).arg(int(theme)));
        const int lightness = image.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixelColor(0, 0).lightness();
        QVERIFY2(Theme::isDark(theme) ? lightness < 100 : lightness > 150, qPrintable(QString::number(lightness)));
        const int base = Theme::windowBase(theme).lightness();
        for (const QLabel* label : view->findChildren<QLabel*>())
            QVERIFY2(!label->isVisibleTo(view) || label->text().isEmpty()
                         || (qAbs(label->palette().color(QPalette::WindowText).lightness() - base) > 60
                             && (label->wordWrap() || label->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored
                                 || label->width() >= label->sizeHint().width())), qPrintable(label->text()));
        for (const QAbstractButton* button : view->findChildren<QAbstractButton*>()) {
            const int left = button->mapTo(view, QPoint(0, 0)).x();
            QVERIFY2(qobject_cast<QLineEdit*>(button->parentWidget()) || button->objectName().startsWith("qt_")   // Qt's own: clear, overflow
                         || !button->isVisibleTo(view) || (left >= 0 && left + button->width() <= view->width()), qPrintable(button->objectName() + button->text()));
        }
        // Through the accessibility interface: no symbol is read out by its symbol name, everything a
        // user can reach has a role and a name, every card pressed as a whole answers the press
        // action, and Tab goes round every reachable control once, never jumping back up to the left.
        const auto describe = [](QWidget* w) { return (QString::fromLatin1(w->metaObject()->className()) + " " + w->accessibleName()).toUtf8(); };
        QList<QWidget*> reachable;
        for (QWidget* widget : view->findChildren<QWidget*>()) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
            const QString name = iface->text(QAccessible::Name);
            const bool tabStop = widget->isVisibleTo(view) && (widget->focusPolicy() & Qt::TabFocus);
            QVERIFY2(!qobject_cast<SymbolView*>(widget) || name.isEmpty() || name.at(0).unicode() > 0x2000, qPrintable(name));
            if (tabStop && widget->isEnabled() && !widget->focusProxy())
                reachable << widget;
            QVERIFY2(!(tabStop || qobject_cast<PressableCard*>(widget)) || (!name.isEmpty() && iface->role() != QAccessible::Client), describe(widget).constData());
            if (auto* card = qobject_cast<PressableCard*>(widget)) {
                QSignalSpy pressed(card, &PressableCard::pressed);
                QVERIFY(iface->role() == QAccessible::Button && iface->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
                iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
                QCOMPARE(pressed.count(), 1);
            }
        }
        host->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(host.get()));
        QList<QWidget*> visited;   // one round of the focus chain, then from the control nearest the top left
        if (!reachable.isEmpty())
            reachable.first()->setFocus(Qt::TabFocusReason);
        for (QWidget* at = QApplication::focusWidget(); at && !visited.contains(at); at = QApplication::focusWidget())
            visited << at, QTest::keyClick(at, Qt::Key_Tab);
        const auto place = [&](QWidget* w) { return QRect(w->mapTo(host.get(), QPoint(0, 0)), w->size()); };
        std::rotate(visited.begin(), std::min_element(visited.begin(), visited.end(), [&](QWidget* a, QWidget* b) {
            return std::pair(place(a).top(), place(a).left()) < std::pair(place(b).top(), place(b).left()); }), visited.end());
        for (int i = 1; i < visited.size(); ++i)
            QVERIFY2(place(visited[i]).top() >= place(visited[i - 1]).top() - 2 || place(visited[i]).left() >= place(visited[i - 1]).right() - 2, describe(visited[i]).constData());
        for (QWidget* widget : reachable) {   // of a group of exclusive buttons, Tab takes the chosen one and arrows the rest
            auto* button = qobject_cast<QAbstractButton*>(widget);
            QVERIFY2(visited.contains(widget) || (button && button->group() && std::ranges::any_of(button->group()->buttons(), [&](QAbstractButton* b) { return visited.contains(b); })), describe(widget).constData());
        }
    }

    // A screen left while its command lines still run goes away; later answers find nothing to touch.
    void leavingWhileWorkRuns()
    {
        for (const Screen& s : screens) {
            if (s.kind != framed)
                continue;
            ViewSandbox box(false);
            QSemaphore gate;
            std::atomic<int> started{0};
            box.shell.otherwise([&](const QString&) { return ++started, gate.acquire(), ShellResult{"1", {}, 0}; });
            auto host = std::make_unique<Backdrop>(s.make(box));
            host->resize(730, 640);
            host->show();
            QTRY_VERIFY2(started > 0, s.name);
            host.reset();
            gate.release(1000);
            ViewSandbox::drain();
        }
    }

    // Content sits on the card's body, clear of its shadow; a long banner message wraps within the
    // banner's width, and a short one takes one line again; symbols fill their size.
    void contentStaysInsideItsCard()
    {
        auto* content = new QLabel(QStringLiteral("中身"));
        std::unique_ptr<LiquidGlassCard> card(liquidGlassCard(content, 16, false));
        card->resize(260, 120);
        card->show();
        QVERIFY(QTest::qWaitForWindowExposed(card.get()));
        QCOMPARE(QRectF(content->geometry()), card->cardRect());
        ToastView toast;
        toast.setMessage(QStringLiteral("エラー: ") + QString(300, QChar(u'あ')), true);
        toast.adjustSize();
        QVERIFY(toast.messageLabel()->width() <= ToastView::maximumTextWidth + 1 && toast.width() < 800);
        QVERIFY(toast.messageLabel()->height() > 3 * toast.messageLabel()->fontMetrics().height());
        toast.setMessage(QStringLiteral("OK"), false);
        toast.adjustSize();
        QVERIFY(toast.messageLabel()->height() == toast.messageLabel()->fontMetrics().height() && toast.width() < 200);
        const QImage symbol = ThemeStyle::symbolPixmap(QStringLiteral("cpu"), 15, Qt::red, 2.0).toImage();   // at the pixel ratio asked for
        QVERIFY(symbol.size() == QSize(30, 30) && !looksBlank(symbol));
    }

    // The log follows its newest line; a new run (any earlier line changed) starts a new log.
    void logFollowsItsNewestLine()
    {
        std::unique_ptr<QPlainTextEdit> log(ThemeStyle::logView(nullptr));
        log->resize(300, 60);
        log->show();
        QStringList lines;
        for (int i = 0; i < 40; ++i)
            ThemeStyle::showLog(log.get(), lines << QStringLiteral("行 %1").arg(i));
        QVERIFY(log->toPlainText() == lines.join('\n') && log->verticalScrollBar()->value() == log->verticalScrollBar()->maximum());
        ThemeStyle::showLog(log.get(), {QStringLiteral("新しい実行")});
        ThemeStyle::showLog(log.get(), {QStringLiteral("別の行"), QStringLiteral("次")});
        QCOMPARE(log->toPlainText(), QStringLiteral("別の行\n次"));
    }
};

QTEST_MAIN(CardViewTest)
#include "tst_cardview.moc"
