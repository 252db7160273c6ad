#pragma once

#include "platform/Service.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace platform {

// What removing or emptying a tree did. Entries are counted one each, a directory's own
// entries included; `error` is the first failure's errno (0 when nothing failed), so a
// caller can say why without reading errno after the fact.
struct TreeRemoval {
    int deleted = 0;
    int skipped = 0;
    int error = 0;

    bool succeeded() const { return error == 0 && skipped == 0; }
    bool operator==(const TreeRemoval&) const = default;
};

// What a directory entry is by itself (a link is a link, wherever it points).
enum class EntryKind { directory, file, link, other };

struct DirectoryEntry {
    QString name;
    EntryKind kind = EntryKind::other;

    bool operator==(const DirectoryEntry&) const = default;
};

// The file-system questions and actions the screens need. Checks never follow a final
// symbolic link unless they say so; nothing here throws.
class FileManager {
public:
    virtual ~FileManager() = default;

    virtual bool exists(const QString& path) const;              // follows links, like the system's fileExists
    virtual bool isReadable(const QString& path) const;
    virtual bool isDirectory(const QString& path) const;         // follows links
    virtual bool isSymbolicLink(const QString& path) const;      // the entry itself (lstat)
    // Whether anything, a dangling link included, stands at `path` (lstat).
    virtual bool entryExists(const QString& path) const;
    // The size in bytes of the entry itself (lstat); -1 when there is none.
    virtual qint64 fileSize(const QString& path) const;
    // The entries of the directory at `path` (a link to one is followed) in name order,
    // hidden ones included, "." and ".." left out, each with its own kind (links not
    // followed). Empty when it cannot be read. One readdir pass: no entry is opened.
    virtual QList<DirectoryEntry> entriesOfDirectory(const QString& path) const;
    virtual QStringList contentsOfDirectory(const QString& path) const;  // the names of entriesOfDirectory
    // The path with every link, "." and ".." resolved; empty when it does not exist.
    virtual QString canonicalPath(const QString& path) const;
    virtual bool createDirectory(const QString& path) const;     // with intermediate directories
    // Removes the entry at `path`: a link as a link, a real directory with everything in it.
    // The walk opens each directory without following links, works on the names' raw bytes,
    // stays on the directory's own file system and never changes a mode: what it may not
    // remove is skipped and counted.
    virtual TreeRemoval removeItem(const QString& path) const;
    // Removes the entries of the real directory `path` (not a link to one) the same way and
    // keeps the directory. A directory that cannot be opened gives {0, 0, errno}.
    virtual TreeRemoval emptyDirectory(const QString& path) const;
    virtual bool moveToTrash(const QString& path, QString* trashedPath = nullptr) const;
    virtual QString homeDirectory() const;                       // no trailing "/"
    // The user's temporary directory as the system names it (links not resolved), ending in "/".
    virtual QString temporaryDirectory() const;
    QString expandTilde(const QString& path) const;              // "~" and "~/..." against homeDirectory()

    static FileManager& systemDefault();
    static FileManager& shared() { return Service<FileManager>::get(); }
};

} // namespace platform
