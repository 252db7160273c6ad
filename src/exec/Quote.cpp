#include "exec/Quote.h"

namespace Quote {

QString forSingleQuotes(QStringView value)
{
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        if (c == u'\'')
            out += QStringLiteral("'\\''");
        else
            out += c;
    }
    return out;
}

QString singleQuoted(QStringView value)
{
    return QLatin1Char('\'') + forSingleQuotes(value) + QLatin1Char('\'');
}

QString forDoubleQuotes(QStringView value)
{
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        if (c == u'\\' || c == u'"' || c == u'$' || c == u'`')
            out += u'\\';
        out += c;
    }
    return out;
}

QString doubleQuoted(QStringView value)
{
    return QLatin1Char('"') + forDoubleQuotes(value) + QLatin1Char('"');
}

QString forAppleScript(QStringView value)
{
    QString out = value.toString();
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    out.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return out;
}

QString forRegex(QStringView value)
{
    static const QString special = QStringLiteral("\\.^$|?*+()[]{}");
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        if (special.contains(c))
            out += u'\\';
        out += c;
    }
    return out;
}

} // namespace Quote
