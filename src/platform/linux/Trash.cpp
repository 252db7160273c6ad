// The freedesktop.org Trash of the home folder: the item goes to Trash/files under a fresh
// name, with Trash/info/<name>.trashinfo saying where it came from, as file managers expect.
// Only a rename moves it, so an item on another file system is refused rather than copied.
#include "platform/Trash.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// A real directory (not a link), made with mode 0700 when missing.
bool ensureDirectory(const QByteArray& path)
{
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

bool moveItemToTrash(const QString& path, const QString& home, QString* trashedPath)
{
    QByteArray source = QFile::encodeName(path);
    while (source.size() > 1 && source.endsWith('/'))
        source.chop(1);
    const QByteArray name = source.mid(source.lastIndexOf('/') + 1);
    if (!source.startsWith('/') || name.isEmpty() || name == "." || name == "..") {
        errno = EINVAL;
        return false;
    }
    QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    if (!dataHome.startsWith('/'))
        dataHome = QFile::encodeName(home) + "/.local/share";
    const QByteArray trash = dataHome + "/Trash";
    QByteArray parent;
    for (const QByteArray& part : dataHome.mid(1).split('/')) {
        parent += '/' + part;
        if (::mkdir(parent.constData(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    if (!ensureDirectory(trash) || !ensureDirectory(trash + "/files") || !ensureDirectory(trash + "/info"))
        return false;

    const QByteArray info = "[Trash Info]\nPath=" + source.toPercentEncoding("/")
                          + "\nDeletionDate=" + QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + "\n";
    for (int k = 1; k < 10000; ++k) {
        const QByteArray candidate = k == 1 ? name : name + '.' + QByteArray::number(k);
        const QByteArray infoPath = trash + "/info/" + candidate + ".trashinfo";
        const QByteArray target = trash + "/files/" + candidate;
        // The info file is taken exclusively first: it reserves the name.
        const int fd = ::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        struct stat st;
        const bool taken = ::lstat(target.constData(), &st) == 0;
        const bool written = !taken && writeAll(fd, info);
        ::close(fd);
        if (taken || !written || ::rename(source.constData(), target.constData()) != 0) {
            const int error = errno;
            ::unlink(infoPath.constData());
            if (taken)
                continue;
            errno = error;
            return false;
        }
        if (trashedPath)
            *trashedPath = QFile::decodeName(target);
        return true;
    }
    errno = EEXIST;
    return false;
}

} // namespace platform
