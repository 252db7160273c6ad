#include "exec/OutputParsing.h"

#include <QRegularExpression>

namespace Shell {

std::optional<qint64> parseInteger(const QString& output)
{
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    const QString text = output.trimmed();
    if (!integer.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

} // namespace Shell
