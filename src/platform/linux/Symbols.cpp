#include "platform/Symbols.h"

#include <QHash>

namespace platform {

QString symbolThemeName(const QString& symbolName)
{
    static const QHash<QString, QString> table = {
        {QStringLiteral("info.circle.fill"), QStringLiteral("dialog-information")},
    };
    return table.value(symbolName);
}

QIcon symbolIcon(const QString& symbolName)
{
    const QString name = symbolThemeName(symbolName);
    QIcon icon = name.isEmpty() ? QIcon() : QIcon::fromTheme(name);
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral("emblem-symbolic-link"));
    return icon;
}

void configureSymbolTheme()
{
    QIcon::setThemeSearchPaths(QIcon::themeSearchPaths() << QStringLiteral("/usr/share/icons"));
    QIcon::setThemeName(QStringLiteral("breeze"));
}

} // namespace platform
