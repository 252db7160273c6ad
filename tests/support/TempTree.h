#pragma once

#include "cleanup/InstalledApp.h"
#include "support/BundleFactory.h"
#include "support/ScriptedFileManager.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>

#include <algorithm>

// A home (with its Trash), a system Library and an application folder in a QTemporaryDir;
// while it lives FileManager::shared() and the leftover locations point into it.
struct TempTree {
    QTemporaryDir dir;
    QString root = dir.path();
    QString home = root + QStringLiteral("/home");
    QString library = root + QStringLiteral("/Library");
    QString apps = root + QStringLiteral("/Applications");
    QString temporary = root + QStringLiteral("/tmp/");
    ScriptedFileManager files{home, temporary};
    LeftoverRoots roots{library};
    platform::Service<LeftoverRoots>::Override useRoots{roots};

    TempTree()
    {
        qunsetenv("XDG_DATA_HOME");
        for (const QString& folder : {home + QStringLiteral("/.Trash"), home + QStringLiteral("/Library/Caches"), library, apps, temporary})
            QDir().mkpath(folder);
    }

    // A path ending in "/" becomes a folder, any other a file holding "x".
    bool make(const QStringList& paths) const
    {
        return std::all_of(paths.begin(), paths.end(), [](const QString& path) {
            return path.endsWith(QLatin1Char('/')) ? QDir().mkpath(path) : BundleFactory::writeFile(path, "x");
        });
    }

    // Every entry below `folder` (the whole tree when empty), sorted, relative; links not followed.
    QStringList entries(const QString& folder = QString()) const
    {
        const QString base = folder.isEmpty() ? root : folder;
        QStringList found;
        QDirIterator it(base, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found << QDir(base).relativeFilePath(it.next());
        found.sort();
        return found;
    }
};
