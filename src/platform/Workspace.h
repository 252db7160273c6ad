#pragma once

#include "platform/Service.h"

#include <QIcon>
#include <QList>
#include <QString>
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
    virtual bool openFile(const QString& path);
    virtual bool revealInFileBrowser(const QString& path);
    // An application bundle's own icon (Info.plist CFBundleIconFile, .icns), else the file type's icon.
    virtual QIcon iconForFile(const QString& path) const;
    virtual QList<RunningApplication> runningApplications() const;
    virtual bool terminate(const RunningApplication& app);       // polite request (SIGTERM on Linux)
    virtual bool forceTerminate(const RunningApplication& app);  // SIGKILL on Linux
    virtual bool isRunning(const RunningApplication& app) const;

    static Workspace& systemDefault();
    static Workspace& shared() { return Service<Workspace>::get(); }
};

} // namespace platform
