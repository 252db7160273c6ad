#pragma once

#include "platform/FileManager.h"

#include <QSet>

#include <cerrno>

// The real file manager with a home and temporary directory of the test's choosing, plus
// scripted answers: directories that "exist" without being there (listing `phantomContents`),
// paths reported as links, and entries whose removal fails (the tests run as root, so the file
// system itself refuses nothing). Installed as FileManager::shared() while it lives.
class ScriptedFileManager final : public platform::FileManager {
public:
    ScriptedFileManager(QString home, QString temporary)
        : home_(std::move(home)), temporary_(std::move(temporary)), override_(*this) {}

    QSet<QString> phantomDirectories;   // exist, are directories, list `phantomContents`
    QStringList phantomContents;
    QSet<QString> links;                // report as symbolic links
    QSet<QString> undeletable;          // removeItem and moveToTrash fail

    bool exists(const QString& path) const override
    {
        return phantomDirectories.contains(path) || platform::FileManager::exists(path);
    }
    bool isDirectory(const QString& path) const override
    {
        return phantomDirectories.contains(path) || platform::FileManager::isDirectory(path);
    }
    bool isSymbolicLink(const QString& path) const override
    {
        return links.contains(path) || platform::FileManager::isSymbolicLink(path);
    }
    QStringList contentsOfDirectory(const QString& path) const override
    {
        if (phantomDirectories.contains(path))
            return phantomContents;
        return platform::FileManager::contentsOfDirectory(path);
    }
    platform::TreeRemoval removeItem(const QString& path) const override
    {
        if (undeletable.contains(path) || phantomDirectories.contains(path))
            return {0, 1, EACCES};
        return platform::FileManager::removeItem(path);
    }
    bool moveToTrash(const QString& path, QString* trashedPath = nullptr) const override
    {
        if (undeletable.contains(path) || phantomDirectories.contains(path)) {
            errno = EACCES;
            return false;
        }
        return platform::FileManager::moveToTrash(path, trashedPath);
    }
    // The real walk, so that an undeletable entry stays and is counted.
    platform::TreeRemoval emptyDirectory(const QString& path) const override
    {
        if (phantomDirectories.contains(path))
            return {0, int(phantomContents.size()), phantomContents.isEmpty() ? 0 : EPERM};
        platform::TreeRemoval counts;
        for (const QString& name : platform::FileManager::contentsOfDirectory(path)) {
            const platform::TreeRemoval entry = removeItem(path + QLatin1Char('/') + name);
            counts.deleted += entry.deleted;
            counts.skipped += entry.skipped;
            counts.error = counts.error ? counts.error : entry.error;
        }
        return counts;
    }
    QString homeDirectory() const override { return home_; }
    QString temporaryDirectory() const override { return temporary_; }

private:
    QString home_;
    QString temporary_;
    platform::Service<platform::FileManager>::Override override_;
};
