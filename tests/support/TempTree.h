#pragma once

#include "cleanup/InstalledApp.h"
#include "support/BundleFactory.h"
#include "support/ScriptedFileManager.h"

#include <QDirIterator>
#include <QTemporaryDir>

#include <algorithm>

// Every entry below `base`, sorted, relative; links not followed.
inline QStringList treeEntries(const QString& base)
{
    QStringList found;
    for (QDirIterator it(base, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories); it.hasNext();)
        found << QDir(base).relativeFilePath(it.next());
    return found.sort(), found;
}

// A home (with its Trash), a Library and an application folder, installed as the file manager.
struct TempTree {
    QTemporaryDir dir;
    QString root = dir.path(), home = root + "/home", library = root + "/Library", apps = root + "/Applications", temporary = root + "/tmp/";
    ScriptedFileManager files{home, temporary};
    LeftoverRoots roots{library};
    platform::Service<LeftoverRoots>::Override useRoots{roots};

    TempTree()
    {
        qunsetenv("XDG_DATA_HOME");
        make({home + "/.Trash/", home + "/Library/Caches/", library + '/', apps + '/', temporary});
    }

    // A path ending in "/" becomes a folder, any other a file holding "x".
    bool make(const QStringList& paths) const
    {
        return std::all_of(paths.begin(), paths.end(), [](const QString& path) {
            return path.endsWith('/') ? QDir().mkpath(path) : BundleFactory::writeFile(path, "x");
        });
    }

    // Every entry below `folder` (the whole tree when empty); see treeEntries().
    QStringList entries(const QString& folder = QString()) const { return treeEntries(folder.isEmpty() ? root : folder); }
};
