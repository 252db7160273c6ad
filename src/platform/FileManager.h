#pragma once

#include "platform/Service.h"

#include <QString>
#include <QStringList>

namespace platform {

// The file-system questions and actions the screens need. Checks never follow a final
// symbolic link unless they say so; nothing here throws.
class FileManager {
public:
    virtual ~FileManager() = default;

    virtual bool exists(const QString& path) const;              // follows links, like the system's fileExists
    virtual bool isReadable(const QString& path) const;
    virtual bool isDirectory(const QString& path) const;         // follows links
    virtual bool isSymbolicLink(const QString& path) const;      // the entry itself (lstat)
    virtual QStringList contentsOfDirectory(const QString& path) const;  // names, hidden ones included; empty on error
    virtual bool createDirectory(const QString& path) const;     // with intermediate directories
    virtual bool removeItem(const QString& path) const;          // a link is removed as a link; a directory with its contents
    virtual bool moveToTrash(const QString& path, QString* trashedPath = nullptr) const;
    virtual QString homeDirectory() const;                       // no trailing "/"
    virtual QString temporaryDirectory() const;                  // the user's temporary directory, ending in "/"
    QString expandTilde(const QString& path) const;              // "~" and "~/..." against homeDirectory()

    static FileManager& systemDefault();
    static FileManager& shared() { return Service<FileManager>::get(); }
};

} // namespace platform
