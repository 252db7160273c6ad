#include "platform/FileManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

FileManager& FileManager::systemDefault()
{
    static FileManager manager;
    return manager;
}

bool FileManager::exists(const QString& path) const
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

bool FileManager::isReadable(const QString& path) const
{
    return ::access(QFile::encodeName(path).constData(), R_OK) == 0;
}

bool FileManager::isDirectory(const QString& path) const
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileManager::isSymbolicLink(const QString& path) const
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

QStringList FileManager::contentsOfDirectory(const QString& path) const
{
    QDir dir(path);
    if (!dir.exists())
        return {};
    return dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

bool FileManager::createDirectory(const QString& path) const
{
    return QDir().mkpath(path);
}

bool FileManager::removeItem(const QString& path) const
{
    // Decide on the entry itself: a link (even one to a directory) is removed as a link,
    // never followed into.
    if (isSymbolicLink(path) || !isDirectory(path))
        return ::unlink(QFile::encodeName(path).constData()) == 0;
    QDir dir(path);
    return dir.removeRecursively();
}

bool FileManager::moveToTrash(const QString& path, QString* trashedPath) const
{
    QString where;
    const bool moved = QFile::moveToTrash(path, &where);
    if (moved && trashedPath)
        *trashedPath = where;
    return moved;
}

QString FileManager::homeDirectory() const
{
    return QDir::homePath();
}

QString FileManager::temporaryDirectory() const
{
    QString dir = QDir::tempPath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

QString FileManager::expandTilde(const QString& path) const
{
    if (path == QLatin1String("~"))
        return homeDirectory();
    if (path.startsWith(QLatin1String("~/")))
        return homeDirectory() + path.mid(1);
    return path;
}

} // namespace platform
