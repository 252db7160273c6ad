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

} // namespace platform
