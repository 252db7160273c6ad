#include "app/ui/ThemeStyle.h"

#include "app/ThemeManager.h"
#include "app/ui/LiquidGlassCard.h"
#include "platform/Symbols.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmapCache>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace ThemeStyle {
namespace {

// Whether the visible pixels of an icon all have about the same colour.
bool isMonochrome(const QImage& premultiplied)
{
    const QImage image = premultiplied.convertToFormat(QImage::Format_ARGB32);
    int minR = 255, minG = 255, minB = 255, maxR = 0, maxG = 0, maxB = 0;
    bool any = false;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb px = line[x];
            if (qAlpha(px) < 160)
                continue;  // antialiased edges carry blended colours
            any = true;
            minR = qMin(minR, qRed(px)), maxR = qMax(maxR, qRed(px));
            minG = qMin(minG, qGreen(px)), maxG = qMax(maxG, qGreen(px));
            minB = qMin(minB, qBlue(px)), maxB = qMax(maxB, qBlue(px));
        }
    }
    constexpr int tolerance = 48;
    return !any || (maxR - minR <= tolerance && maxG - minG <= tolerance && maxB - minB <= tolerance);
}

// The object that carries a widget's text tint; replaced when the widget is tinted again.
const QString tintName = QStringLiteral("tessarinTextTint");

void tint(QWidget* widget, std::function<QColor(AppTheme)> color)
{
    delete widget->findChild<QObject*>(tintName, Qt::FindDirectChildrenOnly);
    auto* holder = new QObject(widget);
    holder->setObjectName(tintName);
    onTheme(holder, [widget, color = std::move(color)](AppTheme theme) {
        const QColor c = color(theme);
        QPalette palette = widget->palette();
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(role, c);
        widget->setPalette(palette);
    });
}

// The colour a prominent button is filled with; invalid for the theme's accent.
const char* const prominentColor = "tessarinProminentColor";
const char* const prominentSize = "tessarinProminentSize";
const char* const prominentWatched = "tessarinProminentWatched";

QString prominentStyle(const QColor& fill, ButtonSize size)
{
    const bool large = size == ButtonSize::large;
    QString style = QStringLiteral(
        "QPushButton { background-color: %1; color: white; border: none; border-radius: %5px; padding: %6;"
        " font-weight: 600; }"
        "QPushButton:hover { background-color: %2; }"
        "QPushButton:pressed { background-color: %3; }"
        "QPushButton:disabled { background-color: %4; color: rgba(255,255,255,170); }")
                        .arg(fill.name(), fill.lighter(110).name(), fill.darker(115).name(),
                             QColor(fill.red(), fill.green(), fill.blue(), 110).name(QColor::HexArgb))
                        .arg(large ? 8 : 7)
                        .arg(large ? QStringLiteral("7px 18px") : QStringLiteral("6px 14px"));
    // A style sheet replaces the platform's focus frame, so the ring is drawn here: the button
    // keeps its size, the border taking the room of the padding.
    style += QStringLiteral("QPushButton:focus { border: 2px solid %1; padding: %2; }")
                 .arg(fill.lighter(135).name(), large ? QStringLiteral("5px 16px") : QStringLiteral("4px 12px"));
    return style;
}

void applyProminent(QAbstractButton* button)
{
    const QVariant stored = button->property(prominentColor);
    if (!stored.isValid())
        return;
    const QColor chosen = stored.value<QColor>();
    const QColor fill = chosen.isValid() ? chosen : color(Tone::accent);
    button->setStyleSheet(prominentStyle(fill, ButtonSize(button->property(prominentSize).toInt())));
}

template <typename Box>
Box* box(QWidget* owner, int spacing, const QMargins& padding)
{
    auto* layout = new Box(owner);
    layout->setContentsMargins(padding);
    if (spacing >= 0)
        layout->setSpacing(spacing);
    return layout;
}

} // namespace

QFont font(int pixelSize, QFont::Weight weight)
{
    QFont f = QApplication::font();
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    return f;
}

QFont monospaced(int pixelSize)
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPixelSize(pixelSize);
    return f;
}

QPalette palette(AppTheme theme, const QPalette& base)
{
    QPalette p = base;
    const bool dark = Theme::isDark(theme);
    const QColor text = Theme::primaryText(theme);
    const QColor secondary = Theme::secondaryText(theme);
    const QColor accent = Theme::accentColor(theme);
    const QColor window = Theme::windowBase(theme);
    const QColor field = dark ? QColor(36, 38, 48) : QColor(255, 255, 255);
    const QColor button = dark ? QColor(58, 61, 74) : QColor(252, 252, 253);

    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, window);
        p.setColor(group, QPalette::WindowText, text);
        p.setColor(group, QPalette::Text, text);
        p.setColor(group, QPalette::ButtonText, text);
        p.setColor(group, QPalette::BrightText, dark ? QColor(255, 255, 255) : QColor(0, 0, 0));
        p.setColor(group, QPalette::PlaceholderText, secondary);
        p.setColor(group, QPalette::Base, field);
        p.setColor(group, QPalette::AlternateBase, dark ? QColor(44, 46, 58) : QColor(246, 246, 248));
        p.setColor(group, QPalette::Button, button);
        p.setColor(group, QPalette::Light, dark ? QColor(80, 84, 100) : QColor(255, 255, 255));
        p.setColor(group, QPalette::Midlight, dark ? QColor(66, 70, 84) : QColor(235, 235, 240));
        p.setColor(group, QPalette::Mid, dark ? QColor(50, 52, 64) : QColor(200, 200, 206));
        p.setColor(group, QPalette::Dark, dark ? QColor(20, 20, 26) : QColor(160, 160, 166));
        p.setColor(group, QPalette::Shadow, QColor(0, 0, 0));
        p.setColor(group, QPalette::Highlight, accent);
        p.setColor(group, QPalette::HighlightedText, QColor(255, 255, 255));
        p.setColor(group, QPalette::Link, accent);
        p.setColor(group, QPalette::LinkVisited, Theme::secondaryAccent(theme));
        p.setColor(group, QPalette::ToolTipBase, field);
        p.setColor(group, QPalette::ToolTipText, text);
    }
    QColor disabledText = secondary;
    disabledText.setAlpha(dark ? 100 : 90);
    p.setColor(QPalette::Disabled, QPalette::WindowText, disabledText);
    p.setColor(QPalette::Disabled, QPalette::Text, disabledText);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, disabledText);
    p.setColor(QPalette::Disabled, QPalette::Window, window);
    p.setColor(QPalette::Disabled, QPalette::Base, field);
    p.setColor(QPalette::Disabled, QPalette::Button, button);
    return p;
}

void followTheme(QWidget* widget)
{
    onTheme(widget, [widget](AppTheme theme) { widget->setPalette(palette(theme, widget->palette())); });
}

void onTheme(QObject* context, std::function<void(AppTheme)> apply)
{
    apply(ThemeManager::shared().currentTheme());
    QObject::connect(&ThemeManager::shared(), &ThemeManager::themeChanged, context, std::move(apply));
}

void paintBackground(QWidget* widget)
{
    const AppTheme theme = ThemeManager::shared().currentTheme();
    const auto [first, second] = Theme::backgroundGradient(theme);
    QPainter painter(widget);
    painter.fillRect(widget->rect(), Theme::windowBase(theme));
    QLinearGradient gradient(QPointF(0, 0), QPointF(widget->width(), widget->height()));
    gradient.setColorAt(0, first);
    gradient.setColorAt(1, second);
    painter.fillRect(widget->rect(), gradient);
}

QColor color(Tone tone, AppTheme theme)
{
    switch (tone) {
    case Tone::primary: return Theme::primaryText(theme);
    case Tone::secondary: return Theme::secondaryText(theme);
    case Tone::accent: return Theme::accentColor(theme);
    }
    return Theme::primaryText(theme);
}

QColor color(Tone tone)
{
    return color(tone, ThemeManager::shared().currentTheme());
}

void tintText(QWidget* widget, Tone tone)
{
    tint(widget, [tone](AppTheme theme) { return color(tone, theme); });
}

void tintText(QWidget* widget, const QColor& fixed)
{
    tint(widget, [fixed](AppTheme) { return fixed; });
}

QLabel* label(const QString& text, int pixelSize, QFont::Weight weight, Tone tone, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font(pixelSize, weight));
    label->setAccessibleName(text);
    tintText(label, tone);
    return label;
}

QLabel* pathLabel(const QString& path, int pixelSize, QWidget* parent)
{
    auto* label = new QLabel(path, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(monospaced(pixelSize));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setWordWrap(true);
    label->setAccessibleName(path);
    return label;
}

void makeProminent(QAbstractButton* button, const QColor& fill, ButtonSize size)
{
    button->setProperty(prominentColor, fill);
    button->setProperty(prominentSize, int(size));
    applyProminent(button);
    if (button->property(prominentWatched).toBool())
        return;
    button->setProperty(prominentWatched, true);
    QObject::connect(&ThemeManager::shared(), &ThemeManager::themeChanged, button,
                         [button] { applyProminent(button); });
}

void makePlain(QAbstractButton* button)
{
    button->setProperty(prominentColor, QVariant());
    button->setStyleSheet(QString());
}

QWidget* divider(QWidget* parent)
{
    auto* line = new QWidget(parent);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    onTheme(line, [line](AppTheme theme) {
        QPalette palette = line->palette();
        palette.setColor(QPalette::Window, Theme::separator(theme));
        line->setPalette(palette);
    });
    return line;
}

QHBoxLayout* row(QWidget* owner, int spacing, const QMargins& padding)
{
    return box<QHBoxLayout>(owner, spacing, padding);
}

QVBoxLayout* column(QWidget* owner, int spacing, const QMargins& padding)
{
    return box<QVBoxLayout>(owner, spacing, padding);
}

QWidget* noticeCard(QWidget* parent, QWidget* symbol, QLabel* title, QLabel* detail, QWidget* button)
{
    auto* card = new LiquidGlassCard(14, false, parent);
    QHBoxLayout* layout = row(card, 12, cardPadding);
    layout->addWidget(symbol, 0, Qt::AlignVCenter);
    QVBoxLayout* texts = column(nullptr, 2);
    texts->addWidget(title);
    detail->setWordWrap(true);
    texts->addWidget(detail);
    layout->addLayout(texts, 1);
    layout->addWidget(button, 0, Qt::AlignVCenter);
    return card;
}

QScrollArea* scrollArea(QWidget* parent)
{
    auto* area = new QScrollArea(parent);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->viewport()->setAutoFillBackground(false);
    // Not a stop of its own on the way through the controls: a nameless stop reads as nothing,
    // and the area scrolls to whichever control inside takes the focus.
    area->setFocusPolicy(Qt::NoFocus);
    return area;
}

QVBoxLayout* pageIn(QScrollArea* area, const QMargins& margins, int spacing)
{
    auto* page = new QWidget(area);
    QVBoxLayout* layout = column(page, spacing, margins);
    area->setWidget(page);
    // setWidget() turns the fill on, which would lay a grey panel over the window's gradient.
    page->setAutoFillBackground(false);
    return layout;
}

QVBoxLayout* scrollingPage(QWidget* screen, const QMargins& margins, int spacing)
{
    QScrollArea* area = scrollArea(screen);
    column(screen)->addWidget(area);
    return pageIn(area, margins, spacing);
}

QPlainTextEdit* logView(QWidget* parent)
{
    auto* log = new QPlainTextEdit(parent);
    log->setReadOnly(true);
    log->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    log->setFont(monospaced(11));
    log->setFrameShape(QFrame::NoFrame);
    log->setAccessibleName(QStringLiteral("ログ"));
    // The card shows through: no field behind the lines.
    QPalette palette = log->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    log->setPalette(palette);
    log->viewport()->setAutoFillBackground(false);
    return log;
}

void showLog(QPlainTextEdit* view, const QStringList& lines)
{
    // A run adds one line at a time; laying out the whole log again for each would grow
    // with the square of its length.
    const qsizetype shown = view->property("tessarinShownLines").toLongLong();
    const bool oneMore = shown > 0 && lines.size() == shown + 1
        && lines.at(shown - 1) == view->property("tessarinLastLine").toString();
    if (oneMore)
        view->appendPlainText(lines.last());
    else
        view->setPlainText(lines.join(QLatin1Char('\n')));
    view->setProperty("tessarinShownLines", lines.size());
    view->setProperty("tessarinLastLine", lines.isEmpty() ? QString() : lines.last());
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
}

QPixmap symbolPixmap(const QString& symbol, int pixelSize, const QColor& color, qreal devicePixelRatio)
{
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const int side = qMax(1, qRound(pixelSize * dpr));
    const QString key = QStringLiteral("tessarin-symbol:%1:%2:%3:%4")
                            .arg(symbol)
                            .arg(side)
                            .arg(color.rgba(), 8, 16, QLatin1Char('0'))
                            .arg(dpr);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QPixmap source = platform::symbolIcon(symbol).pixmap(QSize(side, side));
        painter.drawPixmap(QRect(0, 0, side, side), source);
        // System symbols are glyphs in one colour. A one-colour icon keeps its shape and takes
        // the requested colour; a full-colour icon would lose its inner details as a
        // silhouette, so it keeps its own colours.
        if (isMonochrome(image)) {
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            painter.fillRect(image.rect(), color);
        }
    }
    pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(dpr);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

} // namespace ThemeStyle

ActivityIndicator::ActivityIndicator(int size, QWidget* parent) : QWidget(parent), size_(size)
{
    setFixedSize(size, size);
    setAccessibleName(QStringLiteral("処理中"));   // the busy state, to assistive tools
    timer_ = new QTimer(this);
    timer_->setInterval(80);
    connect(timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % 12;
        update();
    });
}

bool ActivityIndicator::isAnimating() const
{
    return timer_->isActive();
}

void ActivityIndicator::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    timer_->start();
}

void ActivityIndicator::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    timer_->stop();
}

void ActivityIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const qreal radius = qMin(width(), height()) / 2.0;
    QColor color = Theme::primaryText(ThemeManager::shared().currentTheme());
    QPen pen;
    pen.setWidthF(qMax(1.5, radius / 5.0));
    pen.setCapStyle(Qt::RoundCap);
    for (int i = 0; i < 12; ++i) {
        const int age = (step_ - i + 12) % 12;
        color.setAlphaF(1.0 - age / 13.0);
        pen.setColor(color);
        painter.setPen(pen);
        painter.save();
        painter.rotate(i * 30.0);
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius * 0.9));
        painter.restore();
    }
}

ThemedSheet::ThemedSheet(QWidget* parent, int spacing) : QDialog(parent)
{
    setWindowFlag(Qt::Sheet, true);
    setWindowModality(Qt::WindowModal);
    ThemeStyle::followTheme(this);
    content_ = ThemeStyle::column(this, spacing, QMargins(32, 28, 32, 24));
    content_->setSizeConstraint(QLayout::SetFixedSize);
    // The background is painted here; a theme change must repaint it.
    ThemeStyle::onTheme(this, [this](AppTheme) { update(); });
}

void ThemedSheet::openAsSheet(bool overWindow)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(overWindow ? Qt::WindowModal : Qt::ApplicationModal);
    show();
}

void ThemedSheet::paintEvent(QPaintEvent*)
{
    ThemeStyle::paintBackground(this);
}
