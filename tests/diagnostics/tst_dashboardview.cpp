#include "app/AppState.h"
#include "app/AppTheme.h"
#include "app/ThemeManager.h"
#include "app/ui/ThemeStyle.h"
#include "diagnostics/DashboardModel.h"
#include "diagnostics/ui/DashboardView.h"
#include "permissions/PermissionManager.h"
#include "platform/SystemLocations.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"
#include "support/FakeSettingsStore.h"
#include "support/Render.h"
#include "support/ScriptedFileManager.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

#include <atomic>

namespace {

class Backdrop final : public QWidget {
public:
    explicit Backdrop(QWidget* screen)
    {
        ThemeStyle::followTheme(this);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(screen);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const AppTheme theme = ThemeManager::shared().currentTheme();
        painter.fillRect(rect(), Theme::windowBase(theme));
        const auto [from, to] = Theme::backgroundGradient(theme);
        QLinearGradient gradient(rect().topLeft(), rect().bottomRight());
        gradient.setColorAt(0, from);
        gradient.setColorAt(1, to);
        painter.fillRect(rect(), gradient);
    }
};

QStringList labelTexts(const QWidget* root)
{
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>())
        texts << label->text();
    return texts;
}

// Full Disk Access missing: probes that nobody can read.
struct NoFullDiskAccess {
    platform::SystemLocations locations = [] {
        platform::SystemLocations l = platform::SystemLocations::macOS();
        l.fullDiskAccessProbes = {QStringLiteral("/nonexistent/probe")};
        return l;
    }();
    platform::Service<platform::SystemLocations>::Override locationsOverride{locations};
    PermissionManager permissions;
    platform::Service<PermissionManager>::Override permissionsOverride{permissions};
};

struct Fixture {
    QTemporaryDir tmp;
    ScriptedFileManager files{tmp.path() + "/home", tmp.path() + "/folders/T/"};
    FakeSettingsStore settings;
    FakeCommandRunner shell;
    FakeAuthorization auth;
    FakeCleanerHelper helper;
    explicit Fixture(bool answerDf = true)
    {
        QDir().mkpath(tmp.path() + "/home/Library/Caches");
        QDir().mkpath(tmp.path() + "/folders/T");
        if (answerDf)
            shell.on(DashboardModel::dfCommand, {"245Gi", {}, 0});
        shell.onMatch(QRegularExpression("^du -sk "), {"1234", {}, 0});
    }
};

} // namespace

class DashboardViewTest : public QObject {
    Q_OBJECT

private slots:
    void showsEveryText()
    {
        Fixture f;
        NoFullDiskAccess noAccess;
        auto* view = new DashboardView;
        Backdrop host(view);
        renderOffscreen(&host, {730, 640});
        QTRY_COMPARE(view->junkLabel()->text(), QStringLiteral("1234 MB"));
        const QStringList texts = labelTexts(view);
        for (const char* text :
             {"Mac 総合ヘルスケア", "Macの状態を一目で診断・ワンクリックでかんたんメンテナンス", "2.2 “White Sorami”",
              "フルディスクアクセス権限が未設定です", "すべてのキャッシュと残存ファイルを完全にクリーンアップするには権限が必要です。",
              "コンディション", "点", "ストレージ空き容量", "不要なファイルを見つけて容量を確保できます", "削除可能な一時データ",
              "クイックナビゲーション", "🌸", "白そらみ嬢のワンポイントアドバイス",
              "Mac を長く快適に使うコツは、週に1回のキャッシュ掃除と、不要になったアプリの残存ファイル削除だよ！今日もばっちりお手当するね！",
              "キャッシュ削除", "一時ファイルやアプリキャッシュを一括クリーン", "システム診断"})
            QVERIFY2(texts.contains(QString::fromUtf8(text)), text);
        QCOMPARE(view->scoreLabel()->text(), QStringLiteral("94"));
        QCOMPARE(view->ring()->score(), 94);
        QCOMPARE(view->healthLabel()->text(), QStringLiteral("快調そのもの！✨"));
        QCOMPARE(view->diskFreeLabel()->text(), QStringLiteral("245GiB 空き"));
        QCOMPARE(view->optimizeButton()->text(), QStringLiteral("ワンクリック快適化"));
        QVERIFY(view->optimizeButton()->isEnabled());
        QVERIFY(view->fullDiskAccessCard()->isVisible());
        for (QAbstractButton* button : view->findChildren<QAbstractButton*>())
            QVERIFY(!button->accessibleName().isEmpty());
        for (QWidget* card : view->shortcutCards())
            QVERIFY(!card->accessibleName().isEmpty());
    }

    void fullDiskAccessButtonOpensTheGuide()
    {
        Fixture f;
        NoFullDiskAccess noAccess;
        auto* view = new DashboardView;
        Backdrop host(view);
        renderOffscreen(&host, {730, 640});
        AppState::shared().setShowFullDiskAccessAlert(false);
        view->fullDiskAccessButton()->click();
        QVERIFY(AppState::shared().showFullDiskAccessAlert());
        AppState::shared().setShowFullDiskAccessAlert(false);
    }

    void scanningShowsMeasuring()
    {
        Fixture f(false);
        QSemaphore dfGate;   // holds the first command until the test has looked
        f.shell.otherwise([&dfGate](const QString&) {
            dfGate.acquire();
            return ShellResult{"1Gi", {}, 0};
        });
        auto* view = new DashboardView;
        Backdrop host(view);
        host.resize(730, 640);
        host.show();   // the appearance task starts; its first command is still running
        QCOMPARE(view->junkLabel()->text(), QStringLiteral("計測中…"));
        QVERIFY(!view->optimizeButton()->isEnabled());
        dfGate.release();
        QTRY_VERIFY(view->optimizeButton()->isEnabled());
    }

    void optimizeRaisesTheScore()
    {
        Fixture f(false);
        QSemaphore dfGate;
        std::atomic<bool> hold{false};   // holds the rescan's df until the test has looked
        f.shell.otherwise([&dfGate, &hold](const QString&) {
            if (hold)
                dfGate.acquire();
            return ShellResult{"245Gi", {}, 0};
        });
        auto* view = new DashboardView;
        Backdrop host(view);
        renderOffscreen(&host, {730, 640});
        QTRY_VERIFY(view->optimizeButton()->isEnabled());
        hold = true;
        view->optimizeButton()->click();
        QCOMPARE(view->optimizeButton()->text(), QStringLiteral("最適化中…"));
        QVERIFY(!view->optimizeButton()->isEnabled());
        hold = false;
        dfGate.release();
        QTRY_COMPARE(view->scoreLabel()->text(), QStringLiteral("99"));
        QCOMPARE(view->ring()->score(), 99);
        QCOMPARE(view->optimizeButton()->text(), QStringLiteral("ワンクリック快適化"));
        QCOMPARE(f.auth.commands(), QStringList{"purge 2>/dev/null || true"});
    }

    void shortcutCardsSwitchSections()
    {
        Fixture f;
        auto* view = new DashboardView;
        Backdrop host(view);
        renderOffscreen(&host, {730, 640});
        const QList<QWidget*> cards = view->shortcutCards();
        QCOMPARE(cards.size(), 5);
        AppState::shared().setSelectedSection(SidebarSection::dashboard);
        QTest::mouseClick(cards[4], Qt::LeftButton);
        QCOMPARE(AppState::shared().selectedSection(), SidebarSection::sysinfo);
        QTest::mouseClick(cards[1], Qt::LeftButton);
        QCOMPARE(AppState::shared().selectedSection(), SidebarSection::uninstaller);
        AppState::shared().setSelectedSection(SidebarSection::dashboard);
    }

    void themeMenuSwitchesTheme()
    {
        Fixture f;
        ThemeManager::shared().setCurrentTheme(AppTheme::whiteSorami);
        auto* view = new DashboardView;
        Backdrop host(view);
        renderOffscreen(&host, {730, 640});
        QCOMPARE(view->themeButton()->text(), Theme::displayName(AppTheme::whiteSorami));
        QMenu* menu = view->themeButton()->menu();
        QCOMPARE(menu->actions().size(), Theme::allCases().size());
        QVERIFY(!menu->actions()[0]->icon().isNull());
        QVERIFY(menu->actions()[2]->icon().isNull());
        menu->actions()[2]->trigger();
        QCOMPARE(ThemeManager::shared().currentTheme(), Theme::allCases()[2]);
        QCOMPARE(view->themeButton()->text(), Theme::displayName(Theme::allCases()[2]));
        QVERIFY(!view->themeButton()->menu()->actions()[2]->icon().isNull());
    }

    void rendersInEveryTheme_data()
    {
        QTest::addColumn<AppTheme>("theme");
        for (AppTheme theme : Theme::allCases())
            QTest::newRow(qPrintable(Theme::displayName(theme))) << theme;
    }
    void rendersInEveryTheme()
    {
        QFETCH(AppTheme, theme);
        Fixture f;
        NoFullDiskAccess noAccess;
        ThemeManager::shared().setCurrentTheme(theme);
        auto* view = new DashboardView;
        Backdrop host(view);
        renderOffscreen(&host, {730, 640});
        QTRY_VERIFY(!view->model()->isQuickScanning());
        const QImage image = renderOffscreen(&host, {730, 640});
        QVERIFY(!looksBlank(image));
        QVERIFY(view->optimizeButton()->width() <= view->optimizeButton()->parentWidget()->width());
        QVERIFY(view->diskFreeLabel()->width() >= view->diskFreeLabel()->sizeHint().width());
        saveIfRequested(image, "issue4-dashboard-" + QString::number(int(theme)));
    }
};

QTEST_MAIN(DashboardViewTest)
#include "tst_dashboardview.moc"
