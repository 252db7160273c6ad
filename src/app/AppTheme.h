#pragma once

#include <QColor>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// The four colour themes. The raw value is the display name and is what gets stored.
enum class AppTheme { whiteSorami, liquidGlass, cyberDark, classicMint };

namespace Theme {
QList<AppTheme> allCases();
QString rawValue(AppTheme theme);            // == displayName
QString displayName(AppTheme theme);
std::optional<AppTheme> fromRawValue(const QString& raw);
QColor accentColor(AppTheme theme);
QColor secondaryAccent(AppTheme theme);
// The two colours of the background gradient (top-leading to bottom-trailing), opacity included.
std::pair<QColor, QColor> backgroundGradient(AppTheme theme);
// Whether text on this theme's background should be light (the dark theme).
bool isDark(AppTheme theme);
} // namespace Theme
