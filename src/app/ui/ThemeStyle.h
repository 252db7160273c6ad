#pragma once

#include "app/AppTheme.h"

#include <QFont>
#include <QPalette>
#include <QPixmap>

class QWidget;

// Shared drawing helpers: fonts in points of the interface, theme-following palettes and
// symbols tinted in one colour.
namespace ThemeStyle {

// The interface font at a size in device-independent pixels ("points" of the layouts).
QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);

// A palette whose text, window and highlight colours follow the theme, so that every label
// inside a themed widget reads on the theme's background (light text on the dark theme).
QPalette palette(AppTheme theme, const QPalette& base);

// Applies palette(currentTheme) to `widget` now and again whenever the theme changes.
// Meant for top-level surfaces (window content, sheets); children inherit it.
void followTheme(QWidget* widget);

// The symbol drawn as a silhouette in `color`, `pixelSize` square, for the given device
// pixel ratio. Never null: an unknown symbol gets the platform's neutral icon.
QPixmap symbolPixmap(const QString& symbol, int pixelSize, const QColor& color, qreal devicePixelRatio = 1.0);

} // namespace ThemeStyle
