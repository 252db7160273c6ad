#include "app/ui/LiquidGlassCard.h"

#include "app/ThemeManager.h"

#include <QAccessibleWidget>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <cmath>
#include <vector>

namespace {

// One pass of a box blur of half-width `radius` over the alpha bytes, along rows
// (stride 1) or columns (stride = bytes per line).
void boxBlurPass(uchar* data, int count, int length, qsizetype lineStep, qsizetype pixelStep, int radius,
                 std::vector<uchar>& scratch)
{
    scratch.resize(size_t(length));
    const int window = 2 * radius + 1;
    for (int line = 0; line < count; ++line) {
        uchar* p = data + line * lineStep;
        int sum = 0;
        // Pixels outside the image count as transparent.
        for (int i = 0; i <= radius && i < length; ++i)
            sum += p[i * pixelStep];
        for (int i = 0; i < length; ++i) {
            scratch[size_t(i)] = uchar(sum / window);
            const int add = i + radius + 1;
            const int drop = i - radius;
            if (add < length)
                sum += p[add * pixelStep];
            if (drop >= 0)
                sum -= p[drop * pixelStep];
        }
        for (int i = 0; i < length; ++i)
            p[i * pixelStep] = scratch[size_t(i)];
    }
}

// Three box blurs approximate a Gaussian whose visible extent is about `extent` pixels.
void blurAlpha(QImage& mask, int extent)
{
    const int radius = qMax(1, extent / 3);
    std::vector<uchar> scratch;
    uchar* bits = mask.bits();
    const qsizetype stride = mask.bytesPerLine();
    for (int pass = 0; pass < 3; ++pass) {
        boxBlurPass(bits, mask.height(), mask.width(), stride, 1, radius, scratch);
        boxBlurPass(bits, mask.width(), mask.height(), 1, stride, radius, scratch);
    }
}

QPainterPath roundedPath(const QRectF& rect, qreal radius)
{
    QPainterPath path;
    const qreal r = qMin(radius, qMin(rect.width(), rect.height()) / 2);
    path.addRoundedRect(rect, r, r);
    return path;
}

// What assistive tools see of a PressableCard: a button with a press action.
class PressableCardAccessible final : public QAccessibleWidget {
public:
    explicit PressableCardAccessible(PressableCard* card) : QAccessibleWidget(card, QAccessible::Button) {}
    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && widget()->isEnabled())
            static_cast<PressableCard*>(widget())->press();
        else
            QAccessibleWidget::doAction(name);
    }
};

QAccessibleInterface* pressableCardAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("PressableCard") && object && object->isWidgetType())
        return new PressableCardAccessible(static_cast<PressableCard*>(object));
    return nullptr;
}

} // namespace

LiquidGlassCard::LiquidGlassCard(qreal cornerRadius, bool isInteractive, QWidget* parent)
    : QWidget(parent), cornerRadius_(cornerRadius), isInteractive_(isInteractive)
{
    setAttribute(Qt::WA_Hover, isInteractive);
    setContentsMargins(shadowMargins());
    connect(&ThemeManager::shared(), &ThemeManager::themeChanged, this, qOverload<>(&QWidget::update));
}

QMargins LiquidGlassCard::shadowMargins(qreal blurRadius, QPointF offset)
{
    // The faint outer tail of the blur is left out: at the opacities used it is invisible.
    const int reach = int(std::ceil(blurRadius * 0.8));
    const int dx = int(std::ceil(std::abs(offset.x())));
    const int dy = int(std::ceil(std::abs(offset.y())));
    const int left = qMax(0, reach + (offset.x() < 0 ? dx : -dx));
    const int right = qMax(0, reach + (offset.x() > 0 ? dx : -dx));
    const int top = qMax(0, reach + (offset.y() < 0 ? dy : -dy));
    const int bottom = qMax(0, reach + (offset.y() > 0 ? dy : -dy));
    return {left, top, right, bottom};
}

void LiquidGlassCard::setShadow(const QColor& color, qreal blurRadius, QPointF offset)
{
    shadowColor_ = color;
    shadowBlur_ = qMax<qreal>(0, blurRadius);
    shadowOffset_ = offset;
    shadowCache_ = QImage();
    setContentsMargins(shadowMargins());
    update();
}

void LiquidGlassCard::setFrosted(bool frosted)
{
    frosted_ = frosted;
    update();
}

QRectF LiquidGlassCard::cardRect() const
{
    return QRectF(rect()).marginsRemoved(QMarginsF(shadowMargins()));
}

QColor LiquidGlassCard::fillColor(bool darkTheme, bool hovered)
{
    if (darkTheme)
        return hovered ? QColor(56, 62, 84, 165) : QColor(40, 44, 60, 140);
    return hovered ? QColor(255, 255, 255, 178) : QColor(255, 255, 255, 153);
}

void LiquidGlassCard::resizeEvent(QResizeEvent* event)
{
    shadowCache_ = QImage();
    QWidget::resizeEvent(event);
}

void LiquidGlassCard::enterEvent(QEnterEvent* event)
{
    if (isInteractive_) {
        hovered_ = true;
        update();
    }
    QWidget::enterEvent(event);
}

void LiquidGlassCard::leaveEvent(QEvent* event)
{
    if (hovered_) {
        hovered_ = false;
        update();
    }
    QWidget::leaveEvent(event);
}

void LiquidGlassCard::paintShadow(QPainter& painter)
{
    if (shadowColor_.alpha() == 0)
        return;
    const qreal dpr = devicePixelRatioF();
    const QSize pixelSize = (QSizeF(size()) * dpr).toSize();
    if (pixelSize.isEmpty())
        return;
    if (shadowCache_.size() != pixelSize || !qFuzzyCompare(shadowCache_.devicePixelRatio(), dpr)) {
        const QRectF body = cardRect();
        QImage mask(pixelSize, QImage::Format_Alpha8);
        mask.fill(0);
        {
            QPainter p(&mask);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(dpr, dpr);
            p.fillPath(roundedPath(body.translated(shadowOffset_), cornerRadius_), Qt::black);
        }
        blurAlpha(mask, int(std::ceil(shadowBlur_ * dpr)));

        QImage shadow(pixelSize, QImage::Format_ARGB32_Premultiplied);
        shadow.fill(Qt::transparent);
        {
            QPainter p(&shadow);
            p.drawImage(0, 0, mask);
            p.setCompositionMode(QPainter::CompositionMode_SourceIn);
            p.fillRect(shadow.rect(), QColor(shadowColor_.red(), shadowColor_.green(), shadowColor_.blue()));
            p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            p.fillRect(shadow.rect(), QColor(0, 0, 0, shadowColor_.alpha()));
            // The body's translucent fill is laid over the background, not over its own shadow.
            p.setCompositionMode(QPainter::CompositionMode_Clear);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(dpr, dpr);
            p.fillPath(roundedPath(body, cornerRadius_), Qt::black);
        }
        shadow.setDevicePixelRatio(dpr);
        shadowCache_ = shadow;
    }
    painter.drawImage(QPointF(0, 0), shadowCache_);
}

void LiquidGlassCard::paintEvent(QPaintEvent*)
{
    const AppTheme theme = ThemeManager::shared().currentTheme();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintShadow(painter);

    const QRectF body = cardRect();
    if (body.isEmpty())
        return;
    const bool highlighted = isInteractive_ && hovered_;
    const QPainterPath path = roundedPath(body, cornerRadius_);
    if (frosted_) {
        QColor backing = Theme::windowBase(theme);
        backing.setAlphaF(0.82f);
        painter.fillPath(path, backing);
    }
    painter.fillPath(path, fillColor(Theme::isDark(theme), highlighted));
    if (highlighted) {
        QColor tint = Theme::accentColor(theme);
        tint.setAlphaF(0.06f);
        painter.fillPath(path, tint);
    }

    QLinearGradient border(body.topLeft(), body.bottomRight());
    QColor accent = Theme::accentColor(theme);
    accent.setAlphaF(highlighted ? 0.5f : 0.3f);
    border.setColorAt(0.0, QColor(255, 255, 255, 153));
    border.setColorAt(0.5, accent);
    border.setColorAt(1.0, QColor(255, 255, 255, 26));
    painter.setPen(QPen(QBrush(border), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(roundedPath(body.adjusted(0.5, 0.5, -0.5, -0.5), qMax<qreal>(0, cornerRadius_ - 0.5)));
}

LiquidGlassCard* liquidGlassCard(QWidget* content, qreal cornerRadius, bool isInteractive, QWidget* parent)
{
    auto* card = new LiquidGlassCard(cornerRadius, isInteractive, parent);
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (content)
        layout->addWidget(content);
    return card;
}

PressableCard::PressableCard(qreal cornerRadius, QWidget* parent) : LiquidGlassCard(cornerRadius, true, parent)
{
    static const bool installed = (QAccessible::installFactory(pressableCardAccessible), true);
    Q_UNUSED(installed);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void PressableCard::setTexts(const QString& title, const QString& subtitle)
{
    setAccessibleName(title);
    setAccessibleDescription(subtitle);
}

void PressableCard::paintEvent(QPaintEvent* event)
{
    LiquidGlassCard::paintEvent(event);
    if (!hasFocus())
        return;
    // Twice the border's width, in the accent at full strength: visible on the light themes'
    // white fill and on the dark theme's slate alike.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Theme::accentColor(ThemeManager::shared().currentTheme()), 2.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(roundedPath(cardRect().adjusted(1.25, 1.25, -1.25, -1.25), qMax<qreal>(0, cornerRadius() - 1.25)));
}

void PressableCard::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        press();
    LiquidGlassCard::mouseReleaseEvent(event);
}

void PressableCard::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        press();
    else
        LiquidGlassCard::keyPressEvent(event);
}

void PressableCard::focusInEvent(QFocusEvent* event)
{
    update();
    LiquidGlassCard::focusInEvent(event);
}

void PressableCard::focusOutEvent(QFocusEvent* event)
{
    update();
    LiquidGlassCard::focusOutEvent(event);
}
