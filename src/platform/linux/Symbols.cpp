#include "platform/Symbols.h"

#include <QHash>
#include <QPainter>
#include <QPixmap>

namespace platform {
namespace {

const QString kThemeName = QStringLiteral("breeze");

// Full-colour breeze icons are preferred where one shows the same thing as the symbol;
// the rest are breeze's one-colour glyphs, which callers tint.
const QHash<QString, QString>& table()
{
    static const QHash<QString, QString> symbols = {
        // sidebar sections and their headers
        {QStringLiteral("sparkles.rectangle.stack.fill"), QStringLiteral("preferences-desktop-effects")},
        {QStringLiteral("trash.circle.fill"), QStringLiteral("user-trash-full")},
        {QStringLiteral("cpu"), QStringLiteral("cpu")},
        {QStringLiteral("internaldrive.fill"), QStringLiteral("drive-harddisk")},
        {QStringLiteral("arrow.down.circle.fill"), QStringLiteral("system-software-install")},
        {QStringLiteral("externaldrive.fill.badge.timemachine"), QStringLiteral("preferences-system-backup")},
        {QStringLiteral("bolt.circle.fill"), QStringLiteral("preferences-system-power-management")},
        {QStringLiteral("chart.pie.fill"), QStringLiteral("office-chart-pie")},
        {QStringLiteral("network"), QStringLiteral("preferences-system-network")},
        {QStringLiteral("info.circle.fill"), QStringLiteral("help-about")},
        // banner, guide, about
        {QStringLiteral("xmark.circle.fill"), QStringLiteral("dialog-close")},
        {QStringLiteral("checkmark.circle.fill"), QStringLiteral("emblem-success")},
        {QStringLiteral("checkmark"), QStringLiteral("checkmark")},
        {QStringLiteral("stethoscope.circle.fill"), QStringLiteral("help-browser")},
        {QStringLiteral("lock.shield.fill"), QStringLiteral("security-high")},
        {QStringLiteral("lock.shield"), QStringLiteral("security-medium")},
        {QStringLiteral("exclamationmark.shield.fill"), QStringLiteral("security-low")},
        {QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("dialog-warning")},
        {QStringLiteral("arrow.up.forward.app.fill"), QStringLiteral("system-run")},
        {QStringLiteral("touchid"), QStringLiteral("fingerprint-gui")},
        // cache groups and actions
        {QStringLiteral("person.fill"), QStringLiteral("preferences-desktop-user")},
        {QStringLiteral("clock.fill"), QStringLiteral("preferences-system-time")},
        {QStringLiteral("clock"), QStringLiteral("clock")},
        {QStringLiteral("gearshape.fill"), QStringLiteral("systemsettings")},
        {QStringLiteral("gearshape.2.fill"), QStringLiteral("run-build")},
        {QStringLiteral("hammer.fill"), QStringLiteral("applications-development")},
        {QStringLiteral("globe"), QStringLiteral("internet-web-browser")},
        {QStringLiteral("doc.text.fill"), QStringLiteral("text-x-log")},
        {QStringLiteral("cup.and.saucer.fill"), QStringLiteral("kteatime")},
        {QStringLiteral("trash.fill"), QStringLiteral("edit-delete")},
        {QStringLiteral("trash.circle"), QStringLiteral("user-trash")},
        {QStringLiteral("arrow.clockwise"), QStringLiteral("view-refresh")},
        {QStringLiteral("arrow.counterclockwise"), QStringLiteral("edit-reset")},
        {QStringLiteral("sparkles"), QStringLiteral("tools-wizard")},
        // applications
        {QStringLiteral("magnifyingglass"), QStringLiteral("edit-find")},
        {QStringLiteral("doc.fill"), QStringLiteral("text-x-generic")},
        {QStringLiteral("desktopcomputer"), QStringLiteral("computer")},
        {QStringLiteral("laptopcomputer"), QStringLiteral("computer-laptop")},
        {QStringLiteral("display"), QStringLiteral("video-display")},
        {QStringLiteral("app.badge.checkmark"), QStringLiteral("package-installed-updated")},
        {QStringLiteral("app.badge.fill"), QStringLiteral("applications-all")},
        {QStringLiteral("apple.logo"), QStringLiteral("applications-system")},
        // installers and disks
        {QStringLiteral("antenna.radiowaves.left.and.right"), QStringLiteral("network-wireless-hotspot")},
        {QStringLiteral("arrow.down.circle"), QStringLiteral("download")},
        {QStringLiteral("arrow.down.doc.fill"), QStringLiteral("document-save")},
        {QStringLiteral("safari.fill"), QStringLiteral("compass")},
        {QStringLiteral("externaldrive.fill"), QStringLiteral("drive-removable-media-usb")},
        {QStringLiteral("externaldrive.badge.xmark"), QStringLiteral("emblem-unmounted")},
        // dashboard
        {QStringLiteral("paintpalette.fill"), QStringLiteral("color-management")},
        {QStringLiteral("bolt.fill"), QStringLiteral("preferences-desktop-thunderbolt")},
        {QStringLiteral("chevron.right"), QStringLiteral("arrow-right")},
        // system information, network, storage, startup items, backup
        {QStringLiteral("internaldrive"), QStringLiteral("drive-harddisk-root")},
        {QStringLiteral("thermometer.medium"), QStringLiteral("temperature-warm")},
        {QStringLiteral("arrow.triangle.2.circlepath"), QStringLiteral("media-playlist-repeat")},
        {QStringLiteral("server.rack"), QStringLiteral("preferences-system-network-server")},
        {QStringLiteral("waveform"), QStringLiteral("view-media-visualization")},
        {QStringLiteral("wifi"), QStringLiteral("network-wireless")},
        {QStringLiteral("speedometer"), QStringLiteral("speedometer")},
        {QStringLiteral("opticaldisc"), QStringLiteral("media-optical")},
        {QStringLiteral("archivebox.fill"), QStringLiteral("application-x-archive")},
        {QStringLiteral("film.fill"), QStringLiteral("video-x-generic")},
        {QStringLiteral("music.note"), QStringLiteral("audio-x-generic")},
        {QStringLiteral("arrow.right.circle"), QStringLiteral("go-next")},
        {QStringLiteral("minus.circle.fill"), QStringLiteral("package-remove")},
        // common controls a screen may add
        {QStringLiteral("folder"), QStringLiteral("folder")},
        {QStringLiteral("folder.fill"), QStringLiteral("folder")},
        {QStringLiteral("plus"), QStringLiteral("list-add")},
        {QStringLiteral("plus.circle.fill"), QStringLiteral("list-add")},
        {QStringLiteral("xmark"), QStringLiteral("dialog-close")},
        {QStringLiteral("doc.on.doc"), QStringLiteral("edit-copy")},
        {QStringLiteral("questionmark.circle"), QStringLiteral("help-contents")},
    };
    return symbols;
}

// The last resort when not even the theme's neutral icon is installed: a grey disc with
// three dots, drawn here so that a symbol is never an empty space.
QIcon drawnNeutralIcon()
{
    QIcon icon;
    for (int side : {16, 22, 32, 48, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x9a, 0x9c, 0xa4));
        const qreal margin = side / 16.0;
        painter.drawEllipse(QRectF(margin, margin, side - 2 * margin, side - 2 * margin));
        painter.setBrush(Qt::white);
        const qreal dot = side / 9.0;
        for (int i = -1; i <= 1; ++i)
            painter.drawEllipse(QPointF(side / 2.0 + i * side / 4.5, side / 2.0), dot, dot);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon neutralIcon()
{
    QIcon icon = QIcon::fromTheme(QStringLiteral("applications-other"));
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral("unknown"));
    if (icon.isNull())
        icon = drawnNeutralIcon();
    return icon;
}

void ensureTheme()
{
    const QString current = QIcon::themeName();
    if (current.isEmpty() || current == QLatin1String("hicolor"))
        configureSymbolTheme();
}

} // namespace

QString symbolThemeName(const QString& symbolName)
{
    return table().value(symbolName);
}

QStringList knownSymbolNames()
{
    return table().keys();
}

QIcon symbolIcon(const QString& symbolName)
{
    ensureTheme();
    const QString name = symbolThemeName(symbolName);
    QIcon icon = name.isEmpty() ? QIcon() : QIcon::fromTheme(name);
    if (icon.isNull())
        icon = neutralIcon();
    return icon;
}

void configureSymbolTheme()
{
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& path : {QStringLiteral("/usr/share/icons"), QStringLiteral("/usr/local/share/icons")}) {
        if (!paths.contains(path))
            paths << path;
    }
    QIcon::setThemeSearchPaths(paths);
    QIcon::setThemeName(kThemeName);
    QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
}

} // namespace platform
