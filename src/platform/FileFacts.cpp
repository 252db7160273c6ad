#include "platform/FileFacts.h"

#include "platform/Process.h"

#include <QFile>

#include <sys/stat.h>
#include <sys/statvfs.h>

namespace platform {

FileFacts FileFacts::of(const QString& path)
{
    FileFacts facts;
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return facts;
    facts.exists = true;
    facts.isSymbolicLink = S_ISLNK(status.st_mode);
    facts.isRegularFile = S_ISREG(status.st_mode);
    facts.owner = status.st_uid;
    facts.mode = status.st_mode & 07777;
    facts.size = qint64(status.st_size);
    return facts;
}

std::optional<qint64> VolumeSpace::availableBytes(const QString& path) const
{
    struct statvfs volume {};
    if (::statvfs(QFile::encodeName(path).constData(), &volume) != 0)
        return std::nullopt;
    return qint64(volume.f_bavail) * qint64(volume.f_frsize);
}

VolumeSpace& VolumeSpace::systemDefault()
{
    static VolumeSpace space;
    return space;
}

int StreamingRunner::run(const QString& commandLine, const std::function<void(QByteArrayView)>& onChunk)
{
    ProcessRequest request;
    request.program = QStringLiteral("/bin/sh");
    request.arguments = {QStringLiteral("-c"), commandLine};
    request.nullInput = true;
    request.mergeOutput = true;
    request.onOutput = [&onChunk](bool, const char* data, qsizetype size) { onChunk(QByteArrayView(data, size)); };
    const ProcessOutcome outcome = runProcess(request);
    if (!outcome.started)
        return -1;
    return outcome.endedBySignal ? 128 + outcome.exitStatus : outcome.exitStatus;
}

StreamingRunner& StreamingRunner::systemDefault()
{
    static StreamingRunner runner;
    return runner;
}

} // namespace platform
