#include "app/ThemeManager.h"
#include "app/ui/AboutView.h"
#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SectionHeader.h"
#include "app/ui/SymbolView.h"
#include "app/ui/TessarinApp.h"
#include "app/ui/ThemeStyle.h"
#include "app/ui/ToastView.h"
#include "cleanup/IntelAppsModel.h"
#include "cleanup/ui/CacheView.h"
#include "cleanup/ui/IntelAppsView.h"
#include "cleanup/ui/UninstallerView.h"
#include "diagnostics/ui/DashboardView.h"
#include "permissions/ui/FullDiskAccessGuideSheet.h"
#include "support/Render.h"
#include "support/ViewSandbox.h"

#include <QAbstractButton>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSemaphore>
#include <QVBoxLayout>
#include <QtTest>

#include <atomic>

namespace {

using ThemeStyle::Tone;

// Renders `widget` over an opaque background of `background`.
QImage renderOver(QWidget* widget, const QColor& background)
{
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// The window's background behind a screen, as the window content paints it.
class Backdrop final : public QWidget {
public:
    explicit Backdrop(QWidget* screen)
    {
        ThemeStyle::followTheme(this);
        ThemeStyle::column(this)->addWidget(screen);
    }

protected:
    void paintEvent(QPaintEvent*) override { ThemeStyle::paintBackground(this); }
};

struct Screen {
    const char* name;
    std::function<QWidget*(ViewSandbox&)> make;
    bool isSheet;
    QStringList texts;
};

const QList<Screen>& screens()
{
    static const QList<Screen> all = {
        {"dashboard", [](ViewSandbox&) -> QWidget* { return new DashboardView; }, false,
         {"Mac 総合ヘルスケア", "Macの状態を一目で診断・ワンクリックでかんたんメンテナンス", "2.2 “White Sorami”",
          "フルディスクアクセス権限が未設定です", "すべてのキャッシュと残存ファイルを完全にクリーンアップするには権限が必要です。",
          "設定する", "コンディション", "点", "ストレージ空き容量", "不要なファイルを見つけて容量を確保できます",
          "削除可能な一時データ", "ワンクリック快適化", "クイックナビゲーション", "🌸", "白そらみ嬢のワンポイントアドバイス",
          "Mac を長く快適に使うコツは、週に1回のキャッシュ掃除と、不要になったアプリの残存ファイル削除だよ！今日もばっちりお手当するね！",
          "キャッシュ削除", "一時ファイルやアプリキャッシュを一括クリーン", "システム診断"}},
        {"cache", [](ViewSandbox&) -> QWidget* { return new CacheView; }, false,
         {"キャッシュ削除", "不要なキャッシュや一時ファイルを一括でクリーンアップ", "Touch ID 認証モード：未セットアップ",
          "セットアップ", "選択中の推定サイズ", "サイズ計測", "クリーンアップ！", "ログ", "ユーザーキャッシュ",
          "一時ファイル (TMP)", "システムキャッシュ", "Xcodeキャッシュ", "ブラウザキャッシュ", "ログファイル", "Homebrew",
          "Trash (ゴミ箱)"}},
        {"uninstaller", [](ViewSandbox&) -> QWidget* { return new UninstallerView; }, false,
         {"アンインストーラー", "残存ファイルも含めて完全削除", "アプリを検索…", "スキャン", "アプリを選択",
          "左のリストからアプリを選んでください", "3 個のアプリ", "Legacy", "com.example.legacy", "1536 MB", "Native",
          "321 MB"}},
        {"intelApps",
         [](ViewSandbox& box) -> QWidget* {
             return new IntelAppsView(IntelAppsModel::create(QStringList{box.applications}, RosettaInfo{true, true}));
         },
         false,
         {"Intel専用アプリ", "Rosetta 2 の縮小に備えて Intel CPU のみ対応のアプリを検出・削除",
          "macOS 28 以降の Rosetta 2 縮小について",
          "Apple は macOS 27 Golden Gate を Rosetta 2 がフルに使える最後のバージョンとしていて、macOS 28 以降は一部の古いゲーム向けなどの限定的な機能に縮小される予定だよ。Intel CPU にしか対応していないアプリは、今のうちに Apple Silicon 対応版へ更新するか、使っていなければ削除しておくと安心！",
          "このMac: Apple Silicon", "Rosetta 2: インストール済み", "合計サイズ", "スキャンしたアプリ", "再スキャン",
          "検出されたアプリ", "すべて選択", "選択解除", "関連ファイル（設定・キャッシュ）も処理", "削除方法",
          "ゴミ箱に移動（推奨）", "完全に削除", "選択したアプリを削除", "削除するアプリを選んでね", "2 個", "1.5 GB", "3 個",
          "Legacy", "Intel専用 · x86_64 + i386", "ver 1.0  ·  com.example.legacy", "1536 MB", "関連ファイル 1 件",
          "Tiny", "PowerPC（起動不可）", "ver 1.0  ·  バンドルIDなし", "計測中"}},
        {"about", [](ViewSandbox&) -> QWidget* { return new AboutView; }, true,
         {"Tessarin", "2.2 “White Sorami”", "コードネーム “White Sorami”", "白そらみ嬢、Macをお手当中！", "バージョン",
          "2.2 (Build 1)", "対応OS", "macOS 13.0 Ventura 〜 macOS 27 Golden Gate", "アーキテクチャ",
          "Apple Silicon (arm64)", "デザイン", "Liquid Glass & Multi-Themes", "閉じる"}},
        {"fullDiskAccessGuide",
         [](ViewSandbox& box) -> QWidget* { return new FullDiskAccessGuideSheet(box.permissions); }, true,
         {"フルディスクアクセスの設定",
          "Tessarin がシステムキャッシュやアプリ残存ファイルを完全にスキャン・クリーンアップするために「フルディスクアクセス」権限が必要です。",
          "下のボタンを押してシステム設定を開きます", "「プライバシーとセキュリティ」>「フルディスクアクセス」を選択",
          "「Tessarin」をオンにして再起動してください", "後で設定", "システム設定を開く"}},
    };
    return all;
}

// Every text a user can read or hear: labels, button texts and field placeholders.
QStringList shownTexts(const QWidget* root)
{
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>())
        texts << label->text();
    for (const QAbstractButton* button : root->findChildren<QAbstractButton*>())
        texts << button->text();
    for (const QLineEdit* field : root->findChildren<QLineEdit*>())
        texts << field->placeholderText();
    return texts;
}

} // namespace

class CardViewTest : public QObject {
    Q_OBJECT

private:
    FakeSettingsStore* store_ = nullptr;

private slots:
    void initTestCase()
    {
        TessarinApp::configureAppearance();
        store_ = new FakeSettingsStore;
    }
    void cleanupTestCase() { delete store_; }
    void init() { ThemeManager::shared().setCurrentTheme(AppTheme::whiteSorami); }

    // ---- every screen in every theme ------------------------------------------------------

    void screenInTheme_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<AppTheme>("theme");
        for (int i = 0; i < screens().size(); ++i)
            for (AppTheme theme : Theme::allCases())
                QTest::newRow(qPrintable(QString::fromLatin1(screens()[i].name) + " / " + Theme::rawValue(theme)))
                    << i << theme;
    }
    void screenInTheme()
    {
        QFETCH(int, screen);
        QFETCH(AppTheme, theme);
        const Screen& s = screens()[screen];
        ViewSandbox box;
        ThemeManager::shared().setCurrentTheme(theme);
        QWidget* view = s.make(box);
        std::unique_ptr<QWidget> host(s.isSheet ? view : new Backdrop(view));
        renderOffscreen(host.get(), s.isSheet ? QSize() : QSize(730, 640));
        ViewSandbox::drain();
        const QImage image = renderOffscreen(host.get(), s.isSheet ? QSize() : QSize(730, 640));
        QVERIFY(!looksBlank(image));
        saveIfRequested(image, QStringLiteral("%1-%2").arg(QLatin1String(s.name)).arg(int(theme)));

        if (s.isSheet) {   // a sheet paints the window's background: a corner is the gradient's first colour
            const QColor first = Theme::backgroundGradient(theme).first;
            const qreal a = first.alphaF();
            const int red = qRound(first.red() * a + Theme::windowBase(theme).red() * (1 - a));
            QVERIFY(qAbs(image.pixelColor(1, 1).red() - red) <= 6);
        }
        const QStringList texts = shownTexts(view);
        for (const QString& text : s.texts)
            QVERIFY2(texts.contains(text), qPrintable(text));
        // The screen is as light or dark as its theme, and its text reads on it, whole.
        const int background = Theme::windowBase(theme).lightness();
        qint64 lightness = 0;
        for (int y = 0; y < image.height(); y += 4)
            for (int x = 0; x < image.width(); x += 4)
                lightness += image.pixelColor(x, y).lightness();
        lightness /= qint64(image.height() / 4 + 1) * (image.width() / 4 + 1);
        QVERIFY2(Theme::isDark(theme) ? lightness < 100 : lightness > 150, qPrintable(QString::number(lightness)));
        for (const QLabel* label : view->findChildren<QLabel*>()) {
            if (!label->isVisibleTo(view) || label->text().isEmpty())
                continue;
            QVERIFY2(qAbs(label->palette().color(QPalette::WindowText).lightness() - background) > 60,
                     qPrintable(label->text()));
            if (!label->wordWrap() && label->sizePolicy().horizontalPolicy() != QSizePolicy::Ignored)
                QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
        }
        // Every control is named for assistive tools and lies inside the screen's width.
        for (const QAbstractButton* button : view->findChildren<QAbstractButton*>()) {
            if (qobject_cast<QLineEdit*>(button->parentWidget()))
                continue;   // the field's own clear button
            QVERIFY2(!button->accessibleName().isEmpty() || !button->text().isEmpty(), qPrintable(button->objectName()));
            if (!button->isVisibleTo(view))
                continue;
            const int left = button->mapTo(view, QPoint(0, 0)).x();
            QVERIFY2(left >= 0 && left + button->width() <= view->width(), qPrintable(button->text()));
        }
    }

    // A screen left while its command lines still run goes away; the answers that come
    // later find nothing to touch.
    void leavingWhileWorkRuns_data()
    {
        QTest::addColumn<int>("screen");
        for (int i = 0; i < screens().size(); ++i)
            if (!screens()[i].isSheet)
                QTest::newRow(screens()[i].name) << i;
    }
    void leavingWhileWorkRuns()
    {
        QFETCH(int, screen);
        ViewSandbox box(false);
        QSemaphore gate;
        std::atomic<int> started{0};
        box.shell.otherwise([&](const QString&) {
            ++started;
            gate.acquire();
            return ShellResult{"1", {}, 0};
        });
        auto* host = new Backdrop(screens()[screen].make(box));
        host->resize(730, 640);
        host->show();
        QTRY_VERIFY(started > 0);
        delete host;
        gate.release(1000);
        ViewSandbox::drain();
    }

    // ---- the card --------------------------------------------------------------------------

    void cardLooks_data()
    {
        QTest::addColumn<AppTheme>("theme");
        QTest::addColumn<QColor>("background");
        QTest::newRow("whiteSorami") << AppTheme::whiteSorami << QColor(200, 190, 200);
        QTest::newRow("liquidGlass") << AppTheme::liquidGlass << QColor(180, 200, 220);
        QTest::newRow("classicMint") << AppTheme::classicMint << QColor(190, 210, 200);
        QTest::newRow("cyberDark") << AppTheme::cyberDark << QColor(20, 24, 34);
    }
    void cardLooks()
    {
        // A translucent fill of the theme's lightness: it lifts a light background towards
        // white and keeps a dark one dark; a shadow below; the accent in the border.
        QFETCH(AppTheme, theme);
        QFETCH(QColor, background);
        ThemeManager::shared().setCurrentTheme(theme);
        LiquidGlassCard card(16, false);
        card.resize(300, 200);
        const QImage image = renderOver(&card, background);
        const QRectF body = card.cardRect();
        const QColor centre = image.pixelColor(body.center().toPoint());
        if (Theme::isDark(theme))
            QVERIFY(centre.lightness() < 80 && centre != background);
        else
            QVERIFY(centre.lightness() > background.lightness() + 20 && centre.lightness() < 255);
        QVERIFY(image.pixelColor(int(body.center().x()), int(body.bottom()) + 3).lightness() < background.lightness());
        QCOMPARE(image.pixelColor(0, 0), background);
        // Halfway along the border's gradient the accent's hue shows against the fill.
        const QColor accent = Theme::accentColor(theme);
        const QColor border = image.pixelColor(int(body.right()) - 1, int(body.center().y()));
        const QColor fill = image.pixelColor(int(body.right()) - 8, int(body.center().y()));
        auto towards = [&](const QColor& c) { return (c.blue() - c.red()) * (accent.blue() - accent.red()); };
        QVERIFY(towards(border) > towards(fill));
    }

    void interactiveCardsLightUpUnderThePointer()
    {
        LiquidGlassCard card(12, true), still(12, false);
        card.resize(200, 100);
        const QPoint centre = card.cardRect().center().toPoint();
        const QColor plain = renderOver(&card, QColor(90, 90, 90)).pixelColor(centre);
        const QPointF at(centre);
        QEnterEvent enter(at, at, at);
        QCoreApplication::sendEvent(&card, &enter);
        QCoreApplication::sendEvent(&still, &enter);
        QVERIFY(card.isHovered());
        QVERIFY(!still.isHovered());
        QVERIFY(renderOver(&card, QColor(90, 90, 90)).pixelColor(centre) != plain);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&card, &leave);
        QVERIFY(!card.isHovered());
    }

    void contentSitsOnTheCardBody()
    {
        auto* content = new QLabel(QStringLiteral("中身"));
        std::unique_ptr<LiquidGlassCard> card(liquidGlassCard(content, 16, false));
        card->resize(260, 120);
        card->show();
        QVERIFY(QTest::qWaitForWindowExposed(card.get()));
        QCOMPARE(QRectF(content->geometry()), card->cardRect());
        const QMargins margins = card->shadowMargins();
        QVERIFY(margins.bottom() > margins.top());  // the shadow falls downwards
        QCOMPARE(margins.left(), margins.right());
        // The banner floats higher, so its shadow needs more room.
        QVERIFY(ToastView().shadowMargins().bottom() > margins.bottom());
        QCOMPARE(LiquidGlassCard::shadowMargins(0, QPointF()), QMargins());
    }

    // ---- header, banner, symbols -----------------------------------------------------------

    void sectionHeader()
    {
        SectionHeader header(QStringLiteral("キャッシュ削除"), QStringLiteral("不要なキャッシュや一時ファイルを一括でクリーンアップ"),
                             QStringLiteral("internaldrive.fill"), SystemColor::orange());
        auto* trailing = new QLabel(QStringLiteral("レポートを保存"));
        header.addTrailingWidget(trailing);
        header.resize(700, 80);
        header.show();
        QVERIFY(QTest::qWaitForWindowExposed(&header));
        QVERIFY(header.titleLabel()->x() > header.symbolTile()->geometry().right());
        QVERIFY(header.subtitleLabel()->y() > header.titleLabel()->y());
        QVERIFY(trailing->geometry().right() >= header.width() - 2);

        // The tile: the colour at 15 % over the background, the symbol in the colour.
        const QImage tile = renderOver(header.symbolTile(), QColor(255, 255, 255));
        const QColor corner = tile.pixelColor(3, 22);
        QVERIFY(corner.red() == 255 && corner.blue() < 250 && corner.blue() > 200);
        bool symbolInk = false;
        for (int y = 10; y < 34 && !symbolInk; ++y)
            for (int x = 10; x < 34 && !symbolInk; ++x)
                symbolInk = tile.pixelColor(x, y).blue() < 150;
        QVERIFY(symbolInk);
    }

    void toastFollowsTheTheme()
    {
        ToastView toast;
        toast.setMessage(QStringLiteral("バックアップが完了しました"), false);
        ThemeManager::shared().setCurrentTheme(AppTheme::cyberDark);
        QCOMPARE(toast.symbolView()->color(), Theme::accentColor(AppTheme::cyberDark));
        QCOMPARE(toast.messageLabel()->palette().color(QPalette::WindowText), Theme::primaryText(AppTheme::cyberDark));
        toast.setMessage(QStringLiteral("失敗しました"), true);
        QCOMPARE(toast.symbolView()->color(), SystemColor::red());
    }

    void longToastWrapsInsteadOfOverflowing()
    {
        ToastView toast;
        toast.setMessage(QStringLiteral("エラー: ") + QString(300, QChar(u'あ')), true);
        toast.adjustSize();
        QVERIFY(toast.messageLabel()->width() <= ToastView::maximumTextWidth + 1);
        QVERIFY(toast.messageLabel()->height() > 3 * toast.messageLabel()->fontMetrics().height());
        QVERIFY(toast.width() < 800);
        // A short one goes back to one line.
        toast.setMessage(QStringLiteral("OK"), false);
        toast.adjustSize();
        QCOMPARE(toast.messageLabel()->height(), toast.messageLabel()->fontMetrics().height());
        QVERIFY(toast.width() < 200);
    }

    void symbolsAreTintedOrKeptInColour()
    {
        // Every symbol gets a picture (never blank); one-colour glyphs take the colour asked for.
        for (const QString& name : {QStringLiteral("checkmark.circle.fill"), QStringLiteral("no.such.symbol"),
                                    QStringLiteral("cpu"), QStringLiteral("network")}) {
            const QImage image = ThemeStyle::symbolPixmap(name, 24, QColor(0, 200, 0)).toImage();
            QCOMPARE(image.size(), QSize(24, 24));
            int ink = 0;
            for (int y = 0; y < 24; ++y)
                for (int x = 0; x < 24; ++x)
                    ink += qAlpha(image.pixel(x, y)) > 128;
            QVERIFY2(ink > 10, qPrintable(name));
        }
        QCOMPARE(ThemeStyle::symbolPixmap(QStringLiteral("cpu"), 15, Qt::red, 2.0).toImage().size(), QSize(30, 30));
    }

    // ---- the kit ---------------------------------------------------------------------------

    void textTonesFollowTheTheme()
    {
        std::unique_ptr<QLabel> primary(ThemeStyle::label(QStringLiteral("a"), 13));
        std::unique_ptr<QLabel> secondary(ThemeStyle::label(QStringLiteral("b"), 13, QFont::Normal, Tone::secondary));
        std::unique_ptr<QLabel> accent(ThemeStyle::label(QStringLiteral("c"), 13, QFont::Normal, Tone::accent));
        std::unique_ptr<QLabel> fixed(ThemeStyle::label(QStringLiteral("d"), 13, QFont::Normal, Tone::secondary));
        ThemeStyle::tintText(fixed.get(), SystemColor::green());   // replaces the tone
        for (AppTheme theme : Theme::allCases()) {
            ThemeManager::shared().setCurrentTheme(theme);
            QCOMPARE(primary->palette().color(QPalette::WindowText), Theme::primaryText(theme));
            QCOMPARE(secondary->palette().color(QPalette::WindowText), Theme::secondaryText(theme));
            QCOMPARE(accent->palette().color(QPalette::WindowText), Theme::accentColor(theme));
            QCOMPARE(fixed->palette().color(QPalette::WindowText), SystemColor::green());
        }
        QCOMPARE(primary->accessibleName(), QStringLiteral("a"));
    }

    void prominentButtonFollowsTheAccentUntilMadePlain()
    {
        QPushButton accent(QStringLiteral("OK")), red(QStringLiteral("削除"));
        ThemeStyle::makeProminent(&accent);
        ThemeStyle::makeProminent(&red, SystemColor::red());
        ThemeManager::shared().setCurrentTheme(AppTheme::classicMint);
        QVERIFY(accent.styleSheet().contains(Theme::accentColor(AppTheme::classicMint).name()));
        QVERIFY(red.styleSheet().contains(SystemColor::red().name()));
        ThemeStyle::makePlain(&accent);
        ThemeManager::shared().setCurrentTheme(AppTheme::cyberDark);
        QVERIFY(accent.styleSheet().isEmpty());
    }

    void logFollowsItsNewestLine()
    {
        std::unique_ptr<QPlainTextEdit> log(ThemeStyle::logView(nullptr));
        log->resize(300, 60);
        log->show();
        QStringList lines;
        for (int i = 0; i < 40; ++i) {
            lines << QStringLiteral("行 %1").arg(i);
            ThemeStyle::showLog(log.get(), lines);
        }
        QCOMPARE(log->toPlainText(), lines.join('\n'));
        QCOMPARE(log->verticalScrollBar()->value(), log->verticalScrollBar()->maximum());
        // A new run starts a new log; a changed line is not appended to the old one.
        ThemeStyle::showLog(log.get(), {QStringLiteral("新しい実行")});
        QCOMPARE(log->toPlainText(), QStringLiteral("新しい実行"));
        ThemeStyle::showLog(log.get(), {QStringLiteral("別の行"), QStringLiteral("次")});
        QCOMPARE(log->toPlainText(), QStringLiteral("別の行\n次"));
        QCOMPARE(log->accessibleName(), QStringLiteral("ログ"));
    }
};

QTEST_MAIN(CardViewTest)
#include "tst_cardview.moc"
