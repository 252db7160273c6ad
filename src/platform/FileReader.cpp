#include "platform/FileReader.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);   // an error while closing a file only read from changes nothing
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

std::optional<QByteArray> readRegular(const QString& path, qint64 maxBytes, bool whole)
{
    if (maxBytes < 0)
        return std::nullopt;
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || name.contains('\0'))
        return std::nullopt;
    const Descriptor fd(::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0)
        return std::nullopt;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    if (whole && st.st_size > maxBytes)
        return std::nullopt;

    // Reads into `buffer` until `count` bytes are in or the file ends; -1 on an error.
    auto readInto = [&fd](char* buffer, qint64 count) -> qint64 {
        qint64 total = 0;
        while (total < count) {
            const ssize_t got = ::read(fd.get(), buffer + total, size_t(count - total));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                return -1;
            }
            if (got == 0)
                break;
            total += got;
        }
        return total;
    };

    // The size says where the end is, which saves the read that would only report it.
    // (Files of pseudo file systems that report size 0 read as empty.)
    QByteArray bytes(qsizetype(std::clamp<qint64>(st.st_size, 0, maxBytes)), Qt::Uninitialized);
    const qint64 got = readInto(bytes.data(), bytes.size());
    if (got < 0)
        return std::nullopt;
    bytes.truncate(qsizetype(got));
    return bytes;
}

} // namespace

RootWrittenFile::~RootWrittenFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

RootWrittenFile::Opening RootWrittenFile::open(const QString& folder, const QString& name)
{
    if (fd_ >= 0)
        return Opening::opened;
    const QByteArray folderName = QFile::encodeName(folder);
    const QByteArray fileName = QFile::encodeName(name);
    if (folderName.isEmpty() || folderName.contains('\0') || fileName.isEmpty() || fileName.contains('/')
        || fileName.contains('\0'))
        return Opening::refused;
    // Owned by root and writable by nobody else: then only root can have put the file there.
    const auto rootOnly = [](const struct stat& st) { return st.st_uid == 0 && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0; };

    const Descriptor dir(::open(folderName.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dir.get() < 0)
        return errno == ENOENT ? Opening::absent : Opening::refused;
    struct stat st;
    if (::fstat(dir.get(), &st) != 0 || !S_ISDIR(st.st_mode) || !rootOnly(st))
        return Opening::refused;
    const int fd = ::openat(dir.get(), fileName.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? Opening::absent : Opening::refused;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !rootOnly(st)) {
        ::close(fd);
        return Opening::refused;
    }
    fd_ = fd;
    return Opening::opened;
}

QByteArray RootWrittenFile::readAvailable()
{
    QByteArray bytes;
    if (fd_ < 0)
        return bytes;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        bytes.append(buffer, got);
    }
    return bytes;
}

std::optional<QByteArray> readFileStart(const QString& path, qint64 maxBytes)
{
    return readRegular(path, maxBytes, false);
}

std::optional<QByteArray> readSmallFile(const QString& path, qint64 maxBytes)
{
    return readRegular(path, maxBytes, true);
}

} // namespace platform
