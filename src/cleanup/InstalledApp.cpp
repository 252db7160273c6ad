#include "cleanup/InstalledApp.h"

#include "exec/AuthorizationManager.h"
#include "exec/Quote.h"
#include "platform/FileManager.h"

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
    QString name = lastPathComponent(bundlePath);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        name.truncate(dot);
    return name;
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

QString lastPathComponent(const QString& path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

QString bundleSizeCommand(const QString& bundlePath)
{
    return QStringLiteral("du -sm ") + Quote::doubleQuoted(bundlePath) + QStringLiteral(" 2>/dev/null | cut -f1");
}

QString refusedLine(const QString& path, const QString& reason)
{
    return QStringLiteral("⛔️ 許可外のため拒否: ") + path + QStringLiteral(" — ") + reason;
}

