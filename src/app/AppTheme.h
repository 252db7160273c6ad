#pragma once

#include <QColor>
#include <QList>
#include <QMetaType>
#include <QString>

#include <optional>
#include <utility>

// The four colour themes. The raw value is the display name and is what gets stored.
enum class AppTheme { whiteSorami, liquidGlass, cyberDark, classicMint };
Q_DECLARE_METATYPE(AppTheme)

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

// The opaque window colour the translucent background gradient is laid over.
QColor windowBase(AppTheme theme);
// Label colours that read on this theme's background and cards (primary, secondary).
QColor primaryText(AppTheme theme);
QColor secondaryText(AppTheme theme);
// Hairlines and dividers.
QColor separator(AppTheme theme);
} // namespace Theme

// The system's named colours (the "pink", "red", ... that screens use for symbols and tints).
namespace SystemColor {
QColor red();
QColor orange();
QColor yellow();
QColor green();
QColor mint();
QColor teal();
QColor cyan();
QColor blue();
QColor indigo();
QColor purple();
QColor pink();
QColor brown();
QColor gray();
} // namespace SystemColor
