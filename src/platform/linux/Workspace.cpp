#include "platform/Workspace.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>


#include <csignal>

namespace platform {

Workspace& Workspace::systemDefault()
{
    static Workspace workspace;
    return workspace;
}

bool Workspace::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

bool Workspace::openFile(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool Workspace::revealInFileBrowser(const QString& path)
{
    // Freedesktop file managers select the item through org.freedesktop.FileManager1;
    // without a session bus, opening the parent folder is the closest equivalent.
    const QFileInfo info(path);
    QStringList args{QStringLiteral("--session"), QStringLiteral("--dest=org.freedesktop.FileManager1"),
                     QStringLiteral("--type=method_call"), QStringLiteral("/org/freedesktop/FileManager1"),
                     QStringLiteral("org.freedesktop.FileManager1.ShowItems"),
                     QStringLiteral("array:string:") + QUrl::fromLocalFile(info.absoluteFilePath()).toString(),
                     QStringLiteral("string:")};
    if (QProcess::execute(QStringLiteral("dbus-send"), args) == 0)
        return true;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absolutePath()));
}

QIcon Workspace::iconForFile(const QString&) const
{
    return QIcon();
}

QList<RunningApplication> Workspace::runningApplications() const
{
    return {};
}

bool Workspace::terminate(const RunningApplication& app)
{
    return app.processId > 0 && ::kill(pid_t(app.processId), SIGTERM) == 0;
}

bool Workspace::forceTerminate(const RunningApplication& app)
{
    return app.processId > 0 && ::kill(pid_t(app.processId), SIGKILL) == 0;
}

bool Workspace::isRunning(const RunningApplication& app) const
{
    return app.processId > 0 && ::kill(pid_t(app.processId), 0) == 0;
}

} // namespace platform
