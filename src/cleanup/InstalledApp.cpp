#include "cleanup/InstalledApp.h"

#include "platform/FileManager.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <plist/plist.h>

namespace {

// An Info.plist is a few kilobytes; a bundle that ships a huge one gets no plist reading
// rather than making the scan load it (libplist also takes 32-bit lengths).
constexpr qint64 propertyListSizeLimit = 8 * 1024 * 1024;

} // namespace

std::optional<QString> InstalledApp::usableComponent(const QString& value)
{
    const QString trimmed = value.trimmed();
    if (trimmed.isEmpty() || trimmed.contains(QLatin1Char('/')) || trimmed.contains(QChar(0))
        || trimmed == QLatin1String(".") || trimmed == QLatin1String(".."))
        return std::nullopt;
    return trimmed;
}

QStringList InstalledApp::leftoverCandidates(const QString& name, const QString& bundleID, const QString& home,
                                             const QString& systemLibrary)
{
    QStringList candidates;
    if (const std::optional<QString> n = usableComponent(name)) {
        candidates << home + QStringLiteral("/Library/Application Support/") + *n
                   << systemLibrary + QStringLiteral("/Application Support/") + *n;
    }
    if (const std::optional<QString> b = usableComponent(bundleID)) {
        candidates << home + QStringLiteral("/Library/Application Support/") + *b
                   << home + QStringLiteral("/Library/Preferences/") + *b + QStringLiteral(".plist")
                   << home + QStringLiteral("/Library/Caches/") + *b
                   << home + QStringLiteral("/Library/HTTPStorages/") + *b
                   << home + QStringLiteral("/Library/WebKit/") + *b
                   << home + QStringLiteral("/Library/Saved Application State/") + *b + QStringLiteral(".savedState")
                   << home + QStringLiteral("/Library/Containers/") + *b
                   << home + QStringLiteral("/Library/Group Containers/") + *b
                   << systemLibrary + QStringLiteral("/Preferences/") + *b + QStringLiteral(".plist");
    }
    return candidates;
}

QStringList InstalledApp::leftovers(const QString& name, const QString& bundleID)
{
    const platform::FileManager& files = platform::FileManager::shared();
    QStringList found;
    const QStringList candidates =
        leftoverCandidates(name, bundleID, files.homeDirectory(), LeftoverRoots::shared().systemLibrary);
    for (const QString& candidate : candidates) {
        if (files.exists(candidate))
            found << candidate;
    }
    return found;
}

Allowance InstalledApp::removalAllowance(const QString& bundlePath, const QString& name, const QString& bundleID)
{
    QStringList targets = leftoverCandidates(name, bundleID, platform::FileManager::shared().homeDirectory(),
                                             LeftoverRoots::shared().systemLibrary);
    if (SafetyBoundary::normalForm(bundlePath).endsWith(QLatin1String(".app")))
        targets << bundlePath;
    return Allowance(targets);
}

QString InstalledApp::fallbackBundleID(const QString& name)
{
    QString id = name.toLower();
    id.replace(QLatin1Char(' '), QLatin1Char('.'));
    return id;
}

QString InstalledApp::nameFromPath(const QString& bundlePath)
{
    QString path = bundlePath;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    QString last = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    // The extension is what follows the last full stop; a name that is nothing but an
    // extension (".app") keeps it.
    const qsizetype dot = last.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        last.truncate(dot);
    return last;
}

size_t qHash(const InstalledApp& app, size_t seed)
{
    return qHashMulti(seed, app.id, app.name, app.bundleID, app.path, app.sizeMB, app.isSelected);
}

LeftoverRoots& LeftoverRoots::systemDefault()
{
    static LeftoverRoots roots{QStringLiteral("/Library")};
    return roots;
}

bool isInsideHome(const QString& path, const QString& home)
{
    if (home.isEmpty())
        return false;
    return path == home || path.startsWith(home + QLatin1Char('/'));
}

std::optional<QString> readPropertyListString(const QString& path, const char* key)
{
    // Special files are never opened: a FIFO named Info.plist would wait for a writer forever.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() <= 0 || info.size() > propertyListSizeLimit)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(propertyListSizeLimit);
    if (bytes.isEmpty())
        return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &root);
    if (!root)
        return std::nullopt;
    std::optional<QString> value;
    if (plist_get_node_type(root) == PLIST_DICT) {
        plist_t node = plist_dict_get_item(root, key);
        if (node && plist_get_node_type(node) == PLIST_STRING) {
            uint64_t length = 0;
            const char* text = plist_get_string_ptr(node, &length);
            value = text ? QString::fromUtf8(text, qsizetype(length)) : QString();
        }
    }
    plist_free(root);
    return value;
}
