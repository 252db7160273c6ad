#pragma once

#include <QString>
#include <QStringView>

// The one place where a value is made safe to put into a command line. Each function
// escapes for one context and leaves an ordinary value (no quotes, "$", backticks or
// backslashes) unchanged, so the command lines that screens build stay byte-identical
// for ordinary paths while a hostile name stays one word.
namespace Quote {

// For use between single quotes: every ' becomes '\'' (close, escaped quote, reopen).
QString forSingleQuotes(QStringView value);
// The value wrapped in single quotes: "'" + forSingleQuotes(value) + "'".
QString singleQuoted(QStringView value);

// For use between double quotes: a backslash before each \ " $ and `.
QString forDoubleQuotes(QStringView value);
// The value wrapped in double quotes.
QString doubleQuoted(QStringView value);

// For an AppleScript string literal: backslashes doubled first, then each " escaped.
QString forAppleScript(QStringView value);

// For an extended regular expression matching the value literally (pkill -f patterns);
// the result still has to be quoted for the shell.
QString forRegex(QStringView value);

} // namespace Quote
