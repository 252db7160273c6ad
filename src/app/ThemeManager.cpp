#include "app/ThemeManager.h"

#include "platform/Settings.h"

#include <QCoreApplication>
#include <QThread>

ThemeManager& ThemeManager::shared()
{
    static ThemeManager* const instance = [] {
        auto* manager = new ThemeManager;
        // Observers connect from the main thread; keep the object's affinity there even if
        // the first caller happens to be elsewhere.
        if (auto* app = QCoreApplication::instance(); app && manager->thread() != app->thread())
            manager->moveToThread(app->thread());
        return manager;
    }();
    return *instance;
}

QString ThemeManager::currentThemeRaw() const
{
    // Only text counts as a stored choice; anything else under the key (a list, a number
    // written by something else) reads like no value, without touching it.
    const QVariant stored = platform::SettingsStore::shared().value(settingsKey);
    if (stored.typeId() != QMetaType::QString)
        return Theme::rawValue(AppTheme::whiteSorami);
    return stored.toString();
}

AppTheme ThemeManager::currentTheme() const
{
    // A value written by another release that names no theme reads as the default; it is
    // left in the store as it is.
    return Theme::fromRawValue(currentThemeRaw()).value_or(AppTheme::whiteSorami);
}

void ThemeManager::setCurrentTheme(AppTheme theme)
{
    platform::SettingsStore::shared().setValue(settingsKey, Theme::rawValue(theme));
    emit themeChanged(theme);
}
