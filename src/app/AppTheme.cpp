#include "app/AppTheme.h"

namespace Theme {
namespace {

QColor rgb(qreal r, qreal g, qreal b, qreal opacity = 1.0)
{
    return QColor::fromRgbF(float(r), float(g), float(b), float(opacity));
}

} // namespace

QList<AppTheme> allCases()
{
    return {AppTheme::whiteSorami, AppTheme::liquidGlass, AppTheme::cyberDark, AppTheme::classicMint};
}

QString rawValue(AppTheme theme)
{
    switch (theme) {
    case AppTheme::whiteSorami: return QStringLiteral("White Sorami 🌸");
    case AppTheme::liquidGlass: return QStringLiteral("Liquid Glass 💎");
    case AppTheme::cyberDark: return QStringLiteral("Cyber Dark 🌙");
    case AppTheme::classicMint: return QStringLiteral("Classic Mint 🩺");
    }
    return QStringLiteral("White Sorami 🌸");
}

QString displayName(AppTheme theme)
{
    return rawValue(theme);
}

std::optional<AppTheme> fromRawValue(const QString& raw)
{
    for (AppTheme theme : allCases()) {
        if (rawValue(theme) == raw)
            return theme;
    }
    return std::nullopt;
}

QColor accentColor(AppTheme theme)
{
    switch (theme) {
    case AppTheme::whiteSorami: return rgb(0.88, 0.45, 0.68);
    case AppTheme::liquidGlass: return rgb(0.25, 0.6, 0.95);
    case AppTheme::cyberDark: return rgb(0.4, 0.5, 1.0);
    case AppTheme::classicMint: return rgb(0.2, 0.75, 0.55);
    }
    return rgb(0.88, 0.45, 0.68);
}

QColor secondaryAccent(AppTheme theme)
{
    switch (theme) {
    case AppTheme::whiteSorami: return rgb(0.65, 0.55, 0.85);
    case AppTheme::liquidGlass: return rgb(0.45, 0.85, 0.95);
    case AppTheme::cyberDark: return rgb(0.75, 0.35, 0.95);
    case AppTheme::classicMint: return rgb(0.15, 0.6, 0.8);
    }
    return rgb(0.65, 0.55, 0.85);
}

std::pair<QColor, QColor> backgroundGradient(AppTheme theme)
{
    switch (theme) {
    case AppTheme::whiteSorami: return {rgb(0.98, 0.95, 0.98, 0.8), rgb(0.94, 0.92, 0.97, 0.6)};
    case AppTheme::liquidGlass: return {rgb(0.9, 0.95, 1.0, 0.7), rgb(0.85, 0.92, 0.98, 0.5)};
    case AppTheme::cyberDark: return {rgb(0.1, 0.12, 0.18, 0.9), rgb(0.05, 0.07, 0.12, 0.95)};
    case AppTheme::classicMint: return {rgb(0.92, 0.98, 0.95, 0.7), rgb(0.88, 0.94, 0.92, 0.5)};
    }
    return {rgb(0.98, 0.95, 0.98, 0.8), rgb(0.94, 0.92, 0.97, 0.6)};
}

bool isDark(AppTheme theme)
{
    return theme == AppTheme::cyberDark;
}

QColor windowBase(AppTheme theme)
{
    // The gradient colours are translucent; what shows through them is the window itself,
    // white in the light appearance and near black in the dark one.
    return isDark(theme) ? QColor(22, 22, 26) : QColor(255, 255, 255);
}

QColor primaryText(AppTheme theme)
{
    return isDark(theme) ? QColor(255, 255, 255, 235) : QColor(29, 29, 31);
}

QColor secondaryText(AppTheme theme)
{
    return isDark(theme) ? QColor(235, 235, 245, 153) : QColor(60, 60, 67, 153);
}

QColor separator(AppTheme theme)
{
    return isDark(theme) ? QColor(255, 255, 255, 38) : QColor(0, 0, 0, 26);
}

} // namespace Theme

namespace SystemColor {
// The system's named colours in the light appearance (dark-appearance variants differ by a
// few steps of brightness; the light ones read well on every theme's background).
QColor red() { return QColor(255, 59, 48); }
QColor orange() { return QColor(255, 149, 0); }
QColor yellow() { return QColor(255, 204, 0); }
QColor green() { return QColor(52, 199, 89); }
QColor mint() { return QColor(0, 199, 190); }
QColor teal() { return QColor(48, 176, 199); }
QColor cyan() { return QColor(50, 173, 230); }
QColor blue() { return QColor(0, 122, 255); }
QColor indigo() { return QColor(88, 86, 214); }
QColor purple() { return QColor(175, 82, 222); }
QColor pink() { return QColor(255, 45, 85); }
QColor brown() { return QColor(162, 132, 94); }
QColor gray() { return QColor(142, 142, 147); }
} // namespace SystemColor
