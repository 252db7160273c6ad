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

std::optional<QByteArray> readFileStart(const QString& path, qint64 maxBytes)
{
    return readRegular(path, maxBytes, false);
}

std::optional<QByteArray> readSmallFile(const QString& path, qint64 maxBytes)
{
    return readRegular(path, maxBytes, true);
}

} // namespace platform
