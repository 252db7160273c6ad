#pragma once

#include "platform/Service.h"

#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace platform {

struct RunningApplication {
    qint64 processId = 0;
    QString bundlePath;          // the application bundle (or, on Linux, the executable's path)
    QString name;
};

// Opening things, icons of files and applications, and running applications.
class Workspace {
public:
    virtual ~Workspace() = default;
    virtual bool openUrl(const QUrl& url);
    // Returns at once; true when the request could be handed to the file browser.
    virtual bool revealInFileBrowser(const QString& path);
    // An application bundle's own icon (Info.plist CFBundleIconFile, .icns), else the file type's icon.
    virtual QIcon iconForFile(const QString& path) const;
    // One entry per process whose executable could be read (on Linux: the user's own processes).
    virtual QList<RunningApplication> runningApplications() const;
    // Both signal only a process that still runs the same bundle or executable, so an entry
    // whose process has ended never reaches another program that got its process id.
    virtual bool terminate(const RunningApplication& app);       // polite request (SIGTERM on Linux)
    virtual bool forceTerminate(const RunningApplication& app);  // SIGKILL on Linux
    virtual bool isRunning(const RunningApplication& app) const;

    static Workspace& systemDefault();
    static Workspace& shared() { return Service<Workspace>::get(); }
};

// The pieces of the above that depend on nothing but their arguments and the files they name.
namespace workspace {

// The bundle an executable belongs to: the outermost path component ending in ".app"
// ("/A/Foo.app/Contents/Frameworks/Bar.app/Contents/MacOS/Bar" gives "/A/Foo.app");
// empty when no component does.
QString bundlePathForExecutable(const QString& executablePath);

// The name shown for a running program: the bundle's name without ".app", or the
// executable's file name.
QString applicationName(const QString& bundleOrExecutablePath);

// The icon file a bundle's Contents/Info.plist (XML or binary) names under CFBundleIconFile,
// as a path inside Contents/Resources (".icns" appended when the name has no extension).
// Empty when the property list is missing, unreadable, has no such text key, or the name
// would leave the Resources folder. The file itself need not exist.
QString bundleIconPath(const QString& bundlePath);

// The value of a top-level text key in property-list data (XML or binary); empty when the
// data is no dictionary or the key is absent or not text.
QString propertyListString(const QByteArray& data, const QString& key);

// The command revealInFileBrowser() starts: the program and its arguments. The path reaches
// the file browser as one percent-encoded file URL and the parent folder as a positional
// argument of the fallback, so no character of the path is interpreted by a shell.
QStringList revealCommand(const QString& path);

} // namespace workspace

} // namespace platform
