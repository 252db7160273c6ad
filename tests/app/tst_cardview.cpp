#include "app/ThemeManager.h"
#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SectionHeader.h"
#include "app/ui/SymbolView.h"
#include "app/ui/TessarinApp.h"
#include "app/ui/ThemeStyle.h"
#include "app/ui/ToastView.h"
#include "support/FakeSettingsStore.h"

#include <QEnterEvent>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// Renders `widget` over an opaque background of `background`.
QImage renderOver(QWidget* widget, const QColor& background)
{
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
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

    void cardFill_data()
    {
        QTest::addColumn<AppTheme>("theme");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<bool>("lighter");
        QTest::newRow("whiteSorami") << AppTheme::whiteSorami << QColor(200, 190, 200) << true;
        QTest::newRow("liquidGlass") << AppTheme::liquidGlass << QColor(180, 200, 220) << true;
        QTest::newRow("classicMint") << AppTheme::classicMint << QColor(190, 210, 200) << true;
        QTest::newRow("cyberDark") << AppTheme::cyberDark << QColor(20, 24, 34) << false;
    }

    void cardFill()
    {
        // A translucent fill of the theme's lightness: it lifts a light background towards
        // white and keeps a dark one dark, and lets the background through.
        QFETCH(AppTheme, theme);
        QFETCH(QColor, background);
        QFETCH(bool, lighter);
        ThemeManager::shared().setCurrentTheme(theme);
        LiquidGlassCard card(16, false);
        card.resize(240, 140);
        const QImage image = renderOver(&card, background);
        const QColor centre = image.pixelColor(card.cardRect().center().toPoint());
        if (lighter) {
            QVERIFY(centre.lightness() > background.lightness() + 20);
            QVERIFY(centre.lightness() < 255);
        } else {
            QVERIFY(centre.lightness() < 80);
            QVERIFY(centre != background);
        }
        // The shadow darkens the strip under the card, and nothing is drawn in the far corners.
        const QPoint below(int(card.cardRect().center().x()), int(card.cardRect().bottom()) + 3);
        QVERIFY(image.pixelColor(below).lightness() < background.lightness());
        QCOMPARE(image.pixelColor(0, 0), background);
        QCOMPARE(image.pixelColor(image.width() - 1, 0), background);
    }

    void cardBorderPicksUpTheAccent()
    {
        LiquidGlassCard card(16, false);
        card.resize(300, 200);
        const QImage image = renderOver(&card, QColor(128, 128, 128));
        const QRectF body = card.cardRect();
        // Top-left: white; middle of the right edge: the accent's hue shows through.
        const QColor topLeftEdge = image.pixelColor(int(body.left()) + 20, int(body.top()));
        const QColor inside = image.pixelColor(int(body.left()) + 20, int(body.top()) + 5);
        QVERIFY(topLeftEdge.lightness() >= inside.lightness());
        // Halfway along the gradient the border is the (pink) accent: redder than the fill inside.
        const int y = int(body.center().y());
        const QColor border = image.pixelColor(int(body.right()) - 1, y);
        const QColor fill = image.pixelColor(int(body.right()) - 8, y);
        QVERIFY(border.red() - border.green() > fill.red() - fill.green() + 5);
    }

    void cardRepaintsOnThemeChangeAndHovers()
    {
        LiquidGlassCard card(12, true);
        card.resize(200, 100);
        const QPoint centre = card.cardRect().center().toPoint();
        const QColor lightFill = renderOver(&card, QColor(90, 90, 90)).pixelColor(centre);
        ThemeManager::shared().setCurrentTheme(AppTheme::cyberDark);
        const QColor darkFill = renderOver(&card, QColor(90, 90, 90)).pixelColor(centre);
        QVERIFY(darkFill.lightness() < lightFill.lightness() - 40);

        QVERIFY(!card.isHovered());
        const QPointF at(centre);
        QEnterEvent enter(at, at, at);
        QCoreApplication::sendEvent(&card, &enter);
        QVERIFY(card.isHovered());
        const QColor hovered = renderOver(&card, QColor(90, 90, 90)).pixelColor(centre);
        QVERIFY(hovered != darkFill);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&card, &leave);
        QVERIFY(!card.isHovered());

        // A card that is not interactive ignores the pointer.
        LiquidGlassCard still(12, false);
        still.resize(200, 100);
        QCoreApplication::sendEvent(&still, &enter);
        QVERIFY(!still.isHovered());
    }

    void contentSitsOnTheCardBody()
    {
        auto* content = new QLabel(QStringLiteral("中身"));
        content->setContentsMargins(12, 12, 12, 12);
        std::unique_ptr<LiquidGlassCard> card(liquidGlassCard(content, 16, false));
        QCOMPARE(card->cornerRadius(), 16.0);
        QVERIFY(!card->isInteractive());
        card->resize(260, 120);
        card->show();
        QVERIFY(QTest::qWaitForWindowExposed(card.get()));
        QCOMPARE(QRectF(content->geometry()), card->cardRect());
        const QMargins margins = card->shadowMargins();
        QVERIFY(margins.bottom() > margins.top());  // the shadow falls downwards
        QVERIFY(margins.left() == margins.right());
    }

    void shadowMarginsFollowTheShadow()
    {
        ToastView toast;
        QCOMPARE(toast.shadowBlurRadius(), 12.0);
        QCOMPARE(toast.shadowOffset(), QPointF(0, 6));
        QCOMPARE(toast.shadowColor().alpha(), 84);
        QCOMPARE(toast.cornerRadius(), 12.0);
        LiquidGlassCard card(10, false);
        QCOMPARE(card.shadowColor().alpha(), 15);
        QCOMPARE(card.shadowBlurRadius(), 10.0);
        QCOMPARE(card.shadowOffset(), QPointF(0, 4));
        QVERIFY(toast.shadowMargins().bottom() > card.shadowMargins().bottom());
        QCOMPARE(LiquidGlassCard::shadowMargins(0, QPointF()), QMargins());
    }

    void sectionHeaderLayout()
    {
        SectionHeader header(QStringLiteral("キャッシュ削除"), QStringLiteral("不要なキャッシュや一時ファイルを一括でクリーンアップ"),
                             QStringLiteral("internaldrive.fill"), SystemColor::orange());
        header.resize(700, 80);
        header.show();
        QVERIFY(QTest::qWaitForWindowExposed(&header));
        QCOMPARE(header.symbolTile()->size(), QSize(44, 44));
        QCOMPARE(header.titleLabel()->font().pixelSize(), 22);
        QCOMPARE(header.titleLabel()->font().weight(), QFont::Bold);
        QCOMPARE(header.subtitleLabel()->font().pixelSize(), 13);
        QCOMPARE(header.titleLabel()->accessibleName(), QStringLiteral("キャッシュ削除"));
        QVERIFY(header.titleLabel()->x() > header.symbolTile()->geometry().right());
        QVERIFY(header.subtitleLabel()->y() > header.titleLabel()->y());

        // The tile: the colour at 15 % over the background, the symbol in the colour.
        const QImage tile = renderOver(header.symbolTile(), QColor(255, 255, 255));
        const QColor corner = tile.pixelColor(3, 22);
        QVERIFY(corner.red() == 255 && corner.blue() < 250 && corner.blue() > 200);
        bool symbolInk = false;
        for (int y = 10; y < 34 && !symbolInk; ++y)
            for (int x = 10; x < 34 && !symbolInk; ++x)
                symbolInk = tile.pixelColor(x, y).blue() < 150;
        QVERIFY(symbolInk);

        // The texts follow the theme.
        const QColor lightTitle = header.titleLabel()->palette().color(QPalette::WindowText);
        const QColor lightSubtitle = header.subtitleLabel()->palette().color(QPalette::WindowText);
        QVERIFY(lightTitle.lightness() < 60);
        QVERIFY(lightSubtitle != lightTitle);
        ThemeManager::shared().setCurrentTheme(AppTheme::cyberDark);
        QVERIFY(header.titleLabel()->palette().color(QPalette::WindowText).lightness() > 200);
        QVERIFY(header.subtitleLabel()->palette().color(QPalette::WindowText).lightness() > 150);
    }

    void sectionHeaderTakesATrailingControl()
    {
        SectionHeader header(QStringLiteral("システム情報"), QStringLiteral("ハードウェア・OS・温度・メモリのレポート"),
                             QStringLiteral("info.circle.fill"), SystemColor::gray());
        auto* trailing = new QLabel(QStringLiteral("レポートを保存"));
        header.addTrailingWidget(trailing);
        header.resize(800, 60);
        header.show();
        QVERIFY(QTest::qWaitForWindowExposed(&header));
        QCOMPARE(trailing->parentWidget(), &header);
        QVERIFY(trailing->geometry().right() >= header.width() - 2);
    }

    void toastLooks_data()
    {
        QTest::addColumn<AppTheme>("theme");
        QTest::addColumn<bool>("isError");
        QTest::addColumn<QString>("symbol");
        QTest::newRow("success on sorami") << AppTheme::whiteSorami << false << QStringLiteral("checkmark.circle.fill");
        QTest::newRow("success on mint") << AppTheme::classicMint << false << QStringLiteral("checkmark.circle.fill");
        QTest::newRow("error on dark") << AppTheme::cyberDark << true << QStringLiteral("xmark.circle.fill");
        QTest::newRow("error on glass") << AppTheme::liquidGlass << true << QStringLiteral("xmark.circle.fill");
    }

    void toastLooks()
    {
        QFETCH(AppTheme, theme);
        QFETCH(bool, isError);
        QFETCH(QString, symbol);
        ThemeManager::shared().setCurrentTheme(theme);
        ToastView toast;
        toast.setMessage(QStringLiteral("バックアップが完了しました"), isError);
        toast.adjustSize();
        QCOMPARE(toast.isError(), isError);
        QCOMPARE(toast.symbolView()->symbol(), symbol);
        QCOMPARE(toast.symbolView()->color(), isError ? SystemColor::red() : Theme::accentColor(theme));
        QCOMPARE(toast.messageLabel()->font().pixelSize(), 13);
        QCOMPARE(toast.messageLabel()->font().weight(), QFont::Medium);
        QCOMPARE(toast.accessibleName(), QStringLiteral("バックアップが完了しました"));
        // Padding 16 / 10 around symbol and text, 8 between them.
        const QRectF body = toast.cardRect();
        QCOMPARE(toast.symbolView()->x() - body.left(), 16.0);
        QCOMPARE(toast.messageLabel()->x() - toast.symbolView()->geometry().right() - 1, 8);
        QCOMPARE(body.right() - (toast.messageLabel()->geometry().right() + 1), 16.0);
        QVERIFY(toast.messageLabel()->y() - body.top() >= 10 - 1);
        QCOMPARE(toast.messageLabel()->palette().color(QPalette::WindowText), Theme::primaryText(theme));
    }

    void toastFollowsThemeChange()
    {
        ToastView toast;
        toast.setMessage(QStringLiteral("完了"), false);
        ThemeManager::shared().setCurrentTheme(AppTheme::classicMint);
        QCOMPARE(toast.symbolView()->color(), Theme::accentColor(AppTheme::classicMint));
    }

    void longToastWrapsInsteadOfOverflowing()
    {
        ToastView toast;
        const QString text = QStringLiteral("エラー: ") + QString(300, QChar(u'あ'));
        toast.setMessage(text, true);
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
        const QImage doubled = ThemeStyle::symbolPixmap(QStringLiteral("cpu"), 15, Qt::red, 2.0).toImage();
        QCOMPARE(doubled.size(), QSize(30, 30));
    }
};

QTEST_MAIN(CardViewTest)
#include "tst_cardview.moc"
