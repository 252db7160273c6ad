#include "platform/FileManager.h"

#include "platform/Trash.h"

#include <QDir>
#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace platform {
namespace {

void noteFailure(TreeRemoval& counts, int error)
{
    ++counts.skipped;
    if (counts.error == 0)
        counts.error = error;
}

// The names in the open directory `directoryFd`, read to the end before anything is removed
// (removing while reading may make readdir skip entries).
bool readNames(int directoryFd, std::vector<std::string>& names, int& error)
{
    const int listing = ::dup(directoryFd);
    DIR* stream = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!stream) {
        error = errno;
        if (listing >= 0)
            ::close(listing);
        return false;
    }
    ::rewinddir(stream);
    while (const dirent* entry = ::readdir(stream)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(stream);
    return true;
}

void removeEntryAt(int parentFd, const char* name, dev_t device, TreeRemoval& counts);

// Removes every entry of the open directory; the directory itself stays.
void emptyAt(int directoryFd, dev_t device, TreeRemoval& counts)
{
    std::vector<std::string> names;
    int error = 0;
    if (!readNames(directoryFd, names, error)) {
        noteFailure(counts, error);
        return;
    }
    for (const std::string& name : names)
        removeEntryAt(directoryFd, name.c_str(), device, counts);
}

// Removes one entry judged by itself (lstat): a link or file is unlinked, a real directory is
// emptied through a descriptor opened without following links and then removed. A directory
// on another file system (a mounted volume) is left alone rather than wiped.
void removeEntryAt(int parentFd, const char* name, dev_t device, TreeRemoval& counts)
{
    struct stat st;
    if (::fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT)   // gone since the listing: nothing to count
            noteFailure(counts, errno);
        return;
    }
    if (S_ISDIR(st.st_mode)) {
        if (st.st_dev != device) {
            noteFailure(counts, EXDEV);
            return;
        }
        const int child = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0) {
            noteFailure(counts, errno);
            return;
        }
        const int skippedBefore = counts.skipped;
        emptyAt(child, device, counts);
        ::close(child);
        if (counts.skipped != skippedBefore) {
            // Something inside stays, so the directory does too.
            ++counts.skipped;
            return;
        }
        if (::unlinkat(parentFd, name, AT_REMOVEDIR) == 0)
            ++counts.deleted;
        else if (errno != ENOENT)
            noteFailure(counts, errno);
        return;
    }
    if (::unlinkat(parentFd, name, 0) == 0)
        ++counts.deleted;
    else if (errno != ENOENT)
        noteFailure(counts, errno);
}

QByteArray parentOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

QByteArray withoutTrailingSlashes(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

} // namespace

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

bool FileManager::entryExists(const QString& path) const
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

qint64 FileManager::fileSize(const QString& path) const
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? qint64(st.st_size) : -1;
}

QList<DirectoryEntry> FileManager::entriesOfDirectory(const QString& path) const
{
    QList<DirectoryEntry> entries;
    const QByteArray name = QFile::encodeName(path);
    DIR* stream = name.isEmpty() ? nullptr : ::opendir(name.constData());
    if (!stream)
        return entries;
    while (const dirent* entry = ::readdir(stream)) {
        const char* entryName = entry->d_name;
        if (entryName[0] == '.' && (entryName[1] == '\0' || (entryName[1] == '.' && entryName[2] == '\0')))
            continue;
        unsigned char type = entry->d_type;
        struct stat st;
        if (type == DT_UNKNOWN && ::fstatat(::dirfd(stream), entryName, &st, AT_SYMLINK_NOFOLLOW) == 0)
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : S_ISLNK(st.st_mode) ? DT_LNK : DT_UNKNOWN;
        const EntryKind kind = type == DT_DIR ? EntryKind::directory
            : type == DT_REG                  ? EntryKind::file
            : type == DT_LNK                  ? EntryKind::link
                                              : EntryKind::other;
        entries.append({QFile::decodeName(entryName), kind});
    }
    ::closedir(stream);
    std::sort(entries.begin(), entries.end(), [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
    return entries;
}

QStringList FileManager::contentsOfDirectory(const QString& path) const
{
    QStringList names;
    for (const DirectoryEntry& entry : entriesOfDirectory(path))
        names << entry.name;
    return names;
}

QString FileManager::canonicalPath(const QString& path) const
{
    const QByteArray name = QFile::encodeName(path);
    char* resolved = name.isEmpty() ? nullptr : ::realpath(name.constData(), nullptr);
    if (!resolved)
        return QString();
    const QString canonical = QFile::decodeName(resolved);
    ::free(resolved);
    return canonical;
}

bool FileManager::createDirectory(const QString& path) const
{
    return QDir().mkpath(path);
}

TreeRemoval FileManager::removeItem(const QString& path) const
{
    TreeRemoval counts;
    const QByteArray target = withoutTrailingSlashes(QFile::encodeName(path));
    const QByteArray name = target.mid(target.lastIndexOf('/') + 1);
    if (target.isEmpty() || name.isEmpty() || name == "." || name == "..") {
        noteFailure(counts, EINVAL);
        return counts;
    }
    const int parent = ::open(parentOf(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0) {
        noteFailure(counts, errno);
        return counts;
    }
    struct stat st;
    if (::fstatat(parent, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        noteFailure(counts, errno);
    } else {
        removeEntryAt(parent, name.constData(), st.st_dev, counts);
    }
    ::close(parent);
    return counts;
}

TreeRemoval FileManager::emptyDirectory(const QString& path) const
{
    TreeRemoval counts;
    const int directory = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (directory < 0) {
        counts.error = errno;
        return counts;
    }
    struct stat st;
    if (::fstat(directory, &st) == 0)
        emptyAt(directory, st.st_dev, counts);
    else
        counts.error = errno;
    ::close(directory);
    return counts;
}

bool FileManager::moveToTrash(const QString& path, QString* trashedPath) const
{
    return moveItemToTrash(path, homeDirectory(), trashedPath);
}

QString FileManager::homeDirectory() const
{
    return QDir::homePath();
}

QString FileManager::temporaryDirectory() const
{
    // As the environment names it: resolving links here (as QDir::tempPath() does) would
    // turn a temporary directory that is a link to, say, the applications folder into that
    // folder, which then looks like any other directory to the safety checks.
    QString dir = qEnvironmentVariable("TMPDIR");
    if (dir.isEmpty())
        dir = QStringLiteral("/tmp");
    dir = QDir::cleanPath(dir);
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
