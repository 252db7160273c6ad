#pragma once

#include "cleanup/InstalledApp.h"
#include "support/BundleFactory.h"
#include "support/ScriptedFileManager.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>

#include <algorithm>

// A small machine inside a QTemporaryDir for the cleanup tests: a home (with its Trash), a
// system Library and an application folder. For the fixture's lifetime FileManager::shared()
// is a ScriptedFileManager with that home and the leftover locations' system Library is the
// tree's, so nothing outside the tree can be touched. The freedesktop Trash lands in the home.
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

    // Creates the paths (absolute, in the tree): one ending in "/" as a folder, any other as a
    // file holding "x"; missing parents too.
    bool make(const QStringList& paths) const
    {
        return std::all_of(paths.begin(), paths.end(), [](const QString& path) {
            return path.endsWith(QLatin1Char('/')) ? QDir().mkpath(path) : BundleFactory::writeFile(path, "x");
        });
    }

    // Every entry below `folder` (the whole tree when empty) as sorted relative paths; links
    // are listed, not followed.
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

    // The entries of `listing` that are not in `other`.
    static QStringList missingFrom(const QStringList& listing, const QStringList& other)
    {
        QStringList missing;
        for (const QString& entry : listing)
            if (!other.contains(entry))
                missing << entry;
        return missing;
    }
    // Whether the relative `entry` is one of the `paths` (absolute, in the tree) or lies below one.
    bool isWithin(const QString& entry, const QStringList& paths) const
    {
        const QString path = root + QLatin1Char('/') + entry;
        return std::any_of(paths.begin(), paths.end(),
                           [&path](const QString& p) { return path == p || path.startsWith(p + QLatin1Char('/')); });
    }
};
