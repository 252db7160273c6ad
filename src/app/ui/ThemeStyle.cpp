#include "app/ui/ThemeStyle.h"

#include "app/ThemeManager.h"
#include "platform/Symbols.h"

#include <QApplication>
#include <QPainter>
#include <QPixmapCache>
#include <QPointer>
#include <QWidget>

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

} // namespace

QFont font(int pixelSize, QFont::Weight weight)
{
    QFont f = QApplication::font();
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
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
    if (!widget)
        return;
    widget->setPalette(palette(ThemeManager::shared().currentTheme(), widget->palette()));
    QObject::connect(&ThemeManager::shared(), &ThemeManager::themeChanged, widget,
                     [widget](AppTheme theme) { widget->setPalette(palette(theme, widget->palette())); });
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
