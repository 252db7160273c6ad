#include "cleanup/ui/AppIconView.h"

#include "app/AppTheme.h"
#include "app/ThemeManager.h"
#include "app/ui/ThemeStyle.h"
#include "platform/Workspace.h"

#include <QAbstractButton>
#include <QFontDatabase>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QTimer>

AppIconView::AppIconView(const QString& path, int size, QWidget* parent) : QWidget(parent), size_(size)
{
    setFixedSize(size, size);
    setPath(path);
}

void AppIconView::setPath(const QString& path)
{
    path_ = path;
    icon_ = path.isEmpty() ? QIcon() : platform::Workspace::shared().iconForFile(path);
    setAccessibleName(path);
    update();
}

void AppIconView::paintEvent(QPaintEvent*)
{
    if (icon_.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    icon_.paint(&painter, rect(), Qt::AlignCenter);
}

ActivityIndicator::ActivityIndicator(int size, QWidget* parent) : QWidget(parent), size_(size)
{
    setFixedSize(size, size);
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

namespace CleanupStyle {

void tintText(QWidget* widget, std::function<QColor()> color)
{
    auto apply = [widget, color] {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::WindowText, color());
        palette.setColor(QPalette::Text, color());
        widget->setPalette(palette);
    };
    apply();
    QObject::connect(&ThemeManager::shared(), &ThemeManager::themeChanged, widget, apply);
}

QColor secondaryText()
{
    return Theme::secondaryText(ThemeManager::shared().currentTheme());
}

QLabel* label(const QString& text, int pixelSize, QFont::Weight weight, bool secondary, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(ThemeStyle::font(pixelSize, weight));
    label->setAccessibleName(text);
    if (secondary)
        tintText(label, [] { return secondaryText(); });
    return label;
}

void makeProminent(QAbstractButton* button, const QColor& color)
{
    QPointer<QAbstractButton> guarded(button);
    auto apply = [guarded, color] {
        if (!guarded)
            return;
        const QColor fill = color.isValid() ? color : Theme::accentColor(ThemeManager::shared().currentTheme());
        guarded->setStyleSheet(
            QStringLiteral("QPushButton { background: %1; color: white; border: none; border-radius: 6px;"
                           " padding: 5px 14px; font-weight: 600; }"
                           "QPushButton:hover { background: %2; }"
                           "QPushButton:pressed { background: %3; }"
                           "QPushButton:disabled { background: %4; color: rgba(255,255,255,0.75); }")
                .arg(fill.name(), fill.lighter(110).name(), fill.darker(115).name(),
                     QColor::fromRgbF(fill.redF(), fill.greenF(), fill.blueF(), 0.45).name(QColor::HexArgb)));
    };
    apply();
    QObject::connect(&ThemeManager::shared(), &ThemeManager::themeChanged, button, apply);
}

QWidget* divider(QWidget* parent)
{
    auto* line = new QWidget(parent);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    auto apply = [line] {
        QPalette palette = line->palette();
        palette.setColor(QPalette::Window, Theme::separator(ThemeManager::shared().currentTheme()));
        line->setPalette(palette);
    };
    apply();
    QObject::connect(&ThemeManager::shared(), &ThemeManager::themeChanged, line, apply);
    return line;
}

QFont monospaced(int pixelSize)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace CleanupStyle
