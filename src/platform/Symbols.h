#pragma once

#include <QIcon>
#include <QString>

namespace platform {

// An SF Symbol by name. On Linux a table maps each symbol the screens use to a
// freedesktop icon of the breeze theme; an unknown name gets a neutral icon, never a blank.
QIcon symbolIcon(const QString& symbolName);

// The freedesktop icon name used for a symbol (empty when the table has none).
QString symbolThemeName(const QString& symbolName);

// Selects the icon theme and its search paths; called once at start-up (offscreen too).
void configureSymbolTheme();

} // namespace platform
