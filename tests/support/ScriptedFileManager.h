#pragma once

#include "platform/FileManager.h"

#include <QSet>

#include <cerrno>

// The real file manager with the test's home and temporary folders, phantom directories, and
// entries whose removal fails (as root, the file system refuses nothing).
class ScriptedFileManager final : public platform::FileManager {
public:
    ScriptedFileManager(QString home, QString temporary) : home_(std::move(home)), temporary_(std::move(temporary)) {}

    QSet<QString> phantomDirectories, undeletable;   // phantoms list `phantomContents`; neither can be removed
    QStringList phantomContents;

    bool exists(const QString& path) const override { return phantomDirectories.contains(path) || FileManager::exists(path); }
    bool isDirectory(const QString& path) const override { return phantomDirectories.contains(path) || FileManager::isDirectory(path); }
    QStringList contentsOfDirectory(const QString& path) const override { return phantomDirectories.contains(path) ? phantomContents : FileManager::contentsOfDirectory(path); }
    platform::TreeRemoval removeItem(const QString& path) const override { return refuses(path) ? platform::TreeRemoval{0, 1, EACCES} : FileManager::removeItem(path); }
    bool moveToTrash(const QString& path, QString* trashedPath = nullptr) const override
    {
        return refuses(path) ? (errno = EACCES, false) : FileManager::moveToTrash(path, trashedPath);
    }
    platform::TreeRemoval emptyDirectory(const QString& path) const override
    {
        if (phantomDirectories.contains(path))
            return {0, int(phantomContents.size()), phantomContents.isEmpty() ? 0 : EPERM};
        if (undeletable.contains(path))
            return {0, 0, EACCES};   // the folder itself cannot be opened
        platform::TreeRemoval counts;
        for (const QString& name : FileManager::contentsOfDirectory(path)) {
            const platform::TreeRemoval entry = removeItem(path + QLatin1Char('/') + name);
            counts = {counts.deleted + entry.deleted, counts.skipped + entry.skipped, counts.error ? counts.error : entry.error};
        }
        return counts;
    }
    QString homeDirectory() const override { return home_; }
    QString temporaryDirectory() const override { return temporary_; }

private:
    bool refuses(const QString& path) const { return undeletable.contains(path) || phantomDirectories.contains(path); }

    QString home_, temporary_;
    platform::Service<platform::FileManager>::Override override_{*this};
};
