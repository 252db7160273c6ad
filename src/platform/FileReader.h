#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform {

// Reading the start of a file, or a small file whole, with as few system calls as the
// system allows (a scan reads two files of each of thousands of bundles). Links are
// followed. Only regular files are read: a FIFO, socket or device answers none, and since
// it is opened non-blocking, a FIFO without a writer cannot stall the caller. The size the
// file system reports bounds the read (pseudo files that report 0 read as empty).

// Up to `maxBytes` from the start of the file; fewer for a shorter file.
std::optional<QByteArray> readFileStart(const QString& path, qint64 maxBytes);

// The whole file; none when it is larger than `maxBytes`.
std::optional<QByteArray> readSmallFile(const QString& path, qint64 maxBytes);

// A file that root writes into a folder of its own while the program reads it as it grows.
// It is opened only when, without following a link at either, the folder is a directory and
// the file a regular file, both owned by root and writable by nobody else; a FIFO or device
// put there cannot stall the caller. The descriptor is kept, so what root wrote stays
// readable after root has removed the folder.
class RootWrittenFile {
public:
    enum class Opening { opened, absent, refused };

    RootWrittenFile() = default;
    ~RootWrittenFile();
    RootWrittenFile(const RootWrittenFile&) = delete;
    RootWrittenFile& operator=(const RootWrittenFile&) = delete;

    // `absent` while the folder or the file does not exist yet.
    Opening open(const QString& folder, const QString& name);
    bool isOpen() const { return fd_ >= 0; }
    // Everything written since the last call (empty when nothing new or not open).
    QByteArray readAvailable();

private:
    int fd_ = -1;
};

} // namespace platform
