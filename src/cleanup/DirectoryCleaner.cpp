#include "cleanup/DirectoryCleaner.h"

#include "platform/FileManager.h"

#include <QStringList>

#include <optional>

namespace {

// The components of an absolute path; empty when the path is not absolute or holds
// "." / ".." / empty components (other than one trailing "/").
std::optional<QStringList> plainComponents(const QString& path)
{
    if (!path.startsWith(QLatin1Char('/')))
        return std::nullopt;
    QString body = path.mid(1);
    if (body.endsWith(QLatin1Char('/')))
        body.chop(1);
    if (body.isEmpty())
        return QStringList();
    const QStringList parts = body.split(QLatin1Char('/'));
    for (const QString& part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return std::nullopt;
    }
    return parts;
}

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString joined(const QString& directory, const QString& name)
{
    return directory.endsWith(QLatin1Char('/')) ? directory + name : directory + QLatin1Char('/') + name;
}

} // namespace

DirectoryCleaner::DirectoryCleaner(const platform::FileManager& files) : files_(files) {}

DirectoryCleaner::DirectoryCleaner() : files_(platform::FileManager::shared()) {}

bool DirectoryCleaner::mayEmpty(const QString& path) const
{
    const auto parts = plainComponents(path);
    if (!parts || parts->isEmpty())
        return false;
    const QString normal = withoutTrailingSlash(path);
    if (normal == withoutTrailingSlash(files_.homeDirectory()))
        return false;
    // Temporary areas every user and the system share (the user's temporary directory is
    // one of them where the system has no per-user one): emptying them would take other
    // people's files, so they are left to the system-area path.
    static const QStringList shared{QStringLiteral("/tmp"), QStringLiteral("/var/tmp"), QStringLiteral("/private/tmp"),
                                    QStringLiteral("/private/var/tmp"), QStringLiteral("/dev/shm")};
    if (shared.contains(normal))
        return false;
    return !files_.isSymbolicLink(normal) && files_.isDirectory(normal);
}

bool DirectoryCleaner::hasLinkAlongPath(const QString& path) const
{
    const auto parts = plainComponents(path);
    if (!parts)
        return true;
    QString prefix;
    for (const QString& part : *parts) {
        prefix += QLatin1Char('/') + part;
        if (files_.isSymbolicLink(prefix))
            return true;
    }
    return false;
}

CleanCounts DirectoryCleaner::emptyDirectory(const QString& path) const
{
    CleanCounts counts;
    if (!mayEmpty(path)) {
        counts.refused = true;
        return counts;
    }
    emptyInto(withoutTrailingSlash(path), counts);
    return counts;
}

void DirectoryCleaner::emptyInto(const QString& directory, CleanCounts& counts) const
{
    const QStringList names = files_.contentsOfDirectory(directory);
    for (const QString& name : names) {
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QLatin1Char('/')))
            continue;
        const QString entry = joined(directory, name);
        const bool isLink = files_.isSymbolicLink(entry);
        if (!isLink && !files_.exists(entry))
            continue;   // gone since the listing
        if (!isLink && files_.isDirectory(entry)) {
            const int skippedBefore = counts.skipped;
            emptyInto(entry, counts);
            if (counts.skipped != skippedBefore) {
                // Something inside stays, so the directory does too; trying would only
                // hand it to a recursive removal that decides on its own.
                ++counts.skipped;
                continue;
            }
        }
        if (files_.removeItem(entry))
            ++counts.deleted;
        else
            ++counts.skipped;
    }
}
