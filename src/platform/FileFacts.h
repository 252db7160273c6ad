#pragma once

#include "platform/Service.h"

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>

namespace platform {

// What the file system says about one entry itself (a link is not followed).
struct FileFacts {
    bool exists = false;
    bool isSymbolicLink = false;
    bool isRegularFile = false;
    unsigned owner = 0;
    unsigned mode = 0;          // permission bits
    qint64 size = 0;

    static FileFacts of(const QString& path);
    // A regular file of `user`'s that nobody else may write.
    bool isPrivateFileOf(unsigned user) const
    {
        return exists && isRegularFile && !isSymbolicLink && owner == user && (mode & 022) == 0;
    }
};

// Free space of volumes; tests make a volume look small.
class VolumeSpace {
public:
    virtual ~VolumeSpace() = default;
    // Bytes an unprivileged user may still write on the volume holding `path`; none when unknown.
    virtual std::optional<qint64> availableBytes(const QString& path) const;

    static VolumeSpace& systemDefault();
    static VolumeSpace& shared() { return Service<VolumeSpace>::get(); }
};

// Runs one command line through "/bin/sh -c" with standard error merged into standard
// output, handing each chunk of output to `onChunk` (on the calling thread) as it arrives.
// Blocks until the command has ended; the exit status, or -1 when it could not start.
class StreamingRunner {
public:
    virtual ~StreamingRunner() = default;
    virtual int run(const QString& commandLine, const std::function<void(QByteArrayView chunk)>& onChunk);

    static StreamingRunner& systemDefault();
    static StreamingRunner& shared() { return Service<StreamingRunner>::get(); }
};

} // namespace platform
