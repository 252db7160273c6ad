#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

namespace platform {

// An SF Symbol by name. On Linux a table maps each symbol the screens use to a
// freedesktop icon of the breeze theme; an unknown name gets a neutral icon, never a blank.
//
// The icons keep their own colours: breeze draws many of them in full colour, others as
// one-colour glyphs. A view that shows a symbol "in" a colour (section colours, the accent
// of the banner) draws it through ThemeStyle::symbolPixmap (app/ui), which tints the
// one-colour glyphs and leaves the full-colour icons as they are.
QIcon symbolIcon(const QString& symbolName);

// The freedesktop icon name used for a symbol (empty when the table has none).
QString symbolThemeName(const QString& symbolName);

// Every symbol name the table knows, in no particular order.
QStringList knownSymbolNames();

// Selects the icon theme and its search paths; called once at start-up (offscreen too).
// symbolIcon() calls it itself when no theme has been chosen yet.
void configureSymbolTheme();

} // namespace platform
