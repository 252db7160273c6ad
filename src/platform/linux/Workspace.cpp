#include "platform/Workspace.h"

#include "platform/PropertyList.h"
#include "platform/Symbols.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPixmap>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <climits>
#include <unistd.h>

namespace platform {
namespace workspace {
namespace {

const QLatin1String kBundleSuffix(".app");

// A regular file, or a link to one; FIFOs, devices and sockets are not.
bool isRegularFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

bool isBundleName(const QString& name)
{
    return name.size() > kBundleSuffix.size() && name.endsWith(kBundleSuffix, Qt::CaseInsensitive);
}

} // namespace

QString bundlePathForExecutable(const QString& executablePath)
{
    if (!executablePath.startsWith(QLatin1Char('/')))
        return QString();
    const QStringList parts = QDir::cleanPath(executablePath).split(QLatin1Char('/'));
    // The last component is the executable itself; a bundle is one of the folders above it.
    for (qsizetype i = 1; i + 1 < parts.size(); ++i) {
        if (isBundleName(parts.at(i)))
            return parts.mid(0, i + 1).join(QLatin1Char('/'));
    }
    return QString();
}

QString applicationName(const QString& bundleOrExecutablePath)
{
    const QString name = QFileInfo(QDir::cleanPath(bundleOrExecutablePath)).fileName();
    return isBundleName(name) ? name.chopped(kBundleSuffix.size()) : name;
}

QString propertyListString(const QByteArray& data, const QString& key)
{
    const std::optional<PropertyList> list = PropertyList::fromData(data);
    return list ? list->string(key.toUtf8().constData()).value_or(QString()) : QString();
}

QString bundleIconPath(const QString& bundlePath)
{
    const QString contents = QDir::cleanPath(bundlePath) + QStringLiteral("/Contents");
    const std::optional<PropertyList> info = PropertyList::read(contents + QStringLiteral("/Info.plist"));
    QString iconFile = info ? info->string("CFBundleIconFile").value_or(QString()) : QString();
    // The key names a resource, not a path: a name that climbs out of Resources (or is a
    // path at all) is not followed.
    if (iconFile.isEmpty() || iconFile.contains(QLatin1Char('/')) || iconFile == QLatin1String(".")
        || iconFile == QLatin1String("..") || iconFile.contains(QChar(0)))
        return QString();
    if (QFileInfo(iconFile).suffix().isEmpty())
        iconFile += QStringLiteral(".icns");
    return contents + QStringLiteral("/Resources/") + iconFile;
}

QStringList revealCommand(const QString& path)
{
    const QFileInfo info(path);
    // dbus-send splits array elements at commas; a comma inside the URL must stay encoded.
    QString url = QString::fromLatin1(QUrl::fromLocalFile(info.absoluteFilePath()).toEncoded());
    url.replace(QLatin1Char(','), QLatin1String("%2C"));
    const QString script = QStringLiteral(
        "dbus-send --session --print-reply --reply-timeout=5000 --dest=org.freedesktop.FileManager1 "
        "--type=method_call /org/freedesktop/FileManager1 org.freedesktop.FileManager1.ShowItems "
        "\"array:string:$1\" \"string:\" >/dev/null 2>&1 || xdg-open \"$2\" >/dev/null 2>&1");
    return {QStringLiteral("/bin/sh"), QStringLiteral("-c"), script, QStringLiteral("tessarin-reveal"), url,
            info.absolutePath()};
}

} // namespace workspace

namespace {

// What /proc says the process runs: its bundle when the executable lies inside one, else
// the executable. Empty when the process is gone, a zombie, a kernel thread or not ours to read.
QString processIdentity(qint64 pid)
{
    if (pid <= 0)
        return QString();
    const QByteArray link = "/proc/" + QByteArray::number(pid) + "/exe";
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(link.constData(), buffer, sizeof buffer);
    if (length <= 0 || size_t(length) >= sizeof buffer)
        return QString();
    QString executable = QFile::decodeName(QByteArray(buffer, length));
    // A process keeps running from a file that was deleted or replaced since it started.
    const QLatin1String deleted(" (deleted)");
    if (executable.endsWith(deleted))
        executable.chop(deleted.size());
    const QString bundle = workspace::bundlePathForExecutable(executable);
    return bundle.isEmpty() ? executable : bundle;
}

bool isSameProcess(const RunningApplication& app)
{
    const QString identity = processIdentity(app.processId);
    if (identity.isEmpty())
        return false;
    return app.bundlePath.isEmpty() || identity == QDir::cleanPath(app.bundlePath);
}

bool sendSignal(const RunningApplication& app, int signal)
{
    return isSameProcess(app) && ::kill(pid_t(app.processId), signal) == 0;
}

QIcon iconFromImageFile(const QString& path)
{
    if (path.isEmpty() || !workspace::isRegularFile(path))
        return QIcon();
    QImageReader reader(path);
    QIcon icon;
    // An .icns holds one image per size; a plain image file holds one.
    for (int i = 0; i < 32; ++i) {
        const QImage image = reader.read();
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
        if (!reader.jumpToNextImage())
            break;
    }
    return icon;
}

QIcon genericApplicationIcon()
{
    for (const char* name : {"application-x-executable", "application-x-executable-script"}) {
        const QIcon icon = QIcon::fromTheme(QLatin1String(name));
        if (!icon.isNull())
            return icon;
    }
    return symbolIcon(QStringLiteral("app.badge.fill"));
}

} // namespace

Workspace& Workspace::systemDefault()
{
    static Workspace workspace;
    return workspace;
}

bool Workspace::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

bool Workspace::revealInFileBrowser(const QString& path)
{
    // Freedesktop file managers select the item through org.freedesktop.FileManager1;
    // without one (or without a session bus) the parent folder is opened instead.
    // Detached, because a file manager that is slow to answer must not hold up the window.
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-send")).isEmpty())
        return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    QStringList command = workspace::revealCommand(path);
    const QString program = command.takeFirst();
    return QProcess::startDetached(program, command);
}

QIcon Workspace::iconForFile(const QString& path) const
{
    const QFileInfo info(QDir::cleanPath(path));
    if (info.isDir() && workspace::isBundleName(info.fileName())) {
        const QIcon icon = iconFromImageFile(workspace::bundleIconPath(info.absoluteFilePath()));
        return icon.isNull() ? genericApplicationIcon() : icon;
    }
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull())
        icon = symbolIcon(info.isDir() ? QStringLiteral("folder") : QStringLiteral("doc.fill"));
    return icon;
}

QList<RunningApplication> Workspace::runningApplications() const
{
    QList<RunningApplication> applications;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric || pid <= 0)
            continue;
        const QString identity = processIdentity(pid);
        if (identity.isEmpty())
            continue;
        applications.append({pid, identity, workspace::applicationName(identity)});
    }
    return applications;
}

bool Workspace::terminate(const RunningApplication& app)
{
    return sendSignal(app, SIGTERM);
}

bool Workspace::forceTerminate(const RunningApplication& app)
{
    return sendSignal(app, SIGKILL);
}

bool Workspace::isRunning(const RunningApplication& app) const
{
    return isSameProcess(app);
}

} // namespace platform
