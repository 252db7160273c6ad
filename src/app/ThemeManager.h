#pragma once

#include "app/AppTheme.h"

#include <QObject>

// Holds the chosen theme, persisted in the settings store under "tessarin_selected_theme".
// Main thread only. Views connect to themeChanged() and redraw.
class ThemeManager final : public QObject {
    Q_OBJECT
public:
    static ThemeManager& shared();
    static inline const QString settingsKey = QStringLiteral("tessarin_selected_theme");

    // The stored raw value ("White Sorami 🌸" when nothing is stored).
    QString currentThemeRaw() const;
    // The theme whose raw value is stored; whiteSorami for an unknown value (which is not rewritten).
    AppTheme currentTheme() const;
    void setCurrentTheme(AppTheme theme);

signals:
    void themeChanged(AppTheme theme);

private:
    ThemeManager() = default;
};
