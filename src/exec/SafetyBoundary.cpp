#include "exec/SafetyBoundary.h"

#include "exec/Quote.h"
#include "platform/FileFacts.h"

#include <algorithm>
#include <cerrno>

namespace {

// Folders that hold other people's, the system's or the user's own things as a whole.
// Their contents may be targets (a cache folder, a leftover), never the folders themselves.
const QStringList& systemFolders()
{
    static const QStringList folders{
        QStringLiteral("/System"), QStringLiteral("/System/Library"), QStringLiteral("/System/Volumes"),
        QStringLiteral("/System/Volumes/Data"), QStringLiteral("/Library"),
        QStringLiteral("/Library/Application Support"), QStringLiteral("/Library/Preferences"),
        QStringLiteral("/Library/LaunchAgents"), QStringLiteral("/Library/LaunchDaemons"),
        QStringLiteral("/Library/PrivilegedHelperTools"), QStringLiteral("/Applications"),
        QStringLiteral("/Users"), QStringLiteral("/Users/Shared"), QStringLiteral("/Volumes"),
        QStringLiteral("/Network"), QStringLiteral("/cores"), QStringLiteral("/private"),
        QStringLiteral("/private/var"), QStringLiteral("/private/etc"), QStringLiteral("/private/var/folders"),
        QStringLiteral("/var"), QStringLiteral("/var/folders"), QStringLiteral("/etc"), QStringLiteral("/usr"),
        QStringLiteral("/usr/local"), QStringLiteral("/bin"), QStringLiteral("/sbin"), QStringLiteral("/opt"),
        QStringLiteral("/opt/homebrew"), QStringLiteral("/tmp"), QStringLiteral("/var/tmp"),
        // The same roles on the Linux machines the program is built and shown on.
        QStringLiteral("/home"), QStringLiteral("/root"), QStringLiteral("/boot"), QStringLiteral("/dev"),
        QStringLiteral("/dev/shm"), QStringLiteral("/proc"), QStringLiteral("/sys"), QStringLiteral("/run"),
        QStringLiteral("/lib"), QStringLiteral("/lib64"), QStringLiteral("/srv"), QStringLiteral("/mnt"),
        QStringLiteral("/media"), QStringLiteral("/snap"),
    };
    return folders;
}

// Folders of the home folder with the same role.
const QStringList& homeFolders()
{
    static const QStringList folders{
        QString(), QStringLiteral("/Applications"), QStringLiteral("/Desktop"), QStringLiteral("/Documents"),
        QStringLiteral("/Downloads"), QStringLiteral("/Movies"), QStringLiteral("/Music"), QStringLiteral("/Pictures"),
        QStringLiteral("/Public"), QStringLiteral("/Library"), QStringLiteral("/Library/Application Support"),
        QStringLiteral("/Library/Preferences"), QStringLiteral("/Library/Containers"),
        QStringLiteral("/Library/Group Containers"), QStringLiteral("/Library/Saved Application State"),
        QStringLiteral("/Library/HTTPStorages"), QStringLiteral("/Library/WebKit"),
        QStringLiteral("/Library/LaunchAgents"), QStringLiteral("/Library/Mobile Documents"),
        QStringLiteral("/Library/Mail"), QStringLiteral("/Library/Keychains"),
    };
    return folders;
}

// Temporary areas every user shares: emptying them with one user's rights would take other
// people's files (root empties the ones the helper allows, through the helper's rules).
const QStringList& sharedTemporaryAreas()
{
    static const QStringList areas{QStringLiteral("/tmp"), QStringLiteral("/var/tmp"), QStringLiteral("/private/tmp"),
                                   QStringLiteral("/private/var/tmp"), QStringLiteral("/dev/shm")};
    return areas;
}

// The data volume's own name for a folder of the root volume (its firmlinked twin), or the
// path itself.
QString withoutDataVolume(const QString& normalPath)
{
    static const QString data = QStringLiteral("/System/Volumes/Data");
    if (normalPath.size() > data.size() && normalPath.startsWith(data + QLatin1Char('/'), Qt::CaseInsensitive))
        return normalPath.mid(data.size());
    return normalPath;
}

// A folder on the list whatever its case: the system volume compares names without it.
bool listed(const QStringList& folders, const QString& normalPath)
{
    return folders.contains(normalPath, Qt::CaseInsensitive);
}

// Whether someone other than root may add, remove or rename entries of the directory.
// One that does not exist (yet) can only be made by whoever may write its parent.
bool othersMayWriteInto(const QString& directory)
{
    const platform::FileFacts facts = platform::FileFacts::of(directory);
    return facts.exists && (facts.owner != 0 || (facts.mode & 022) != 0);
}

// Whether acting on a path also follows a link standing at its last component: emptying
// would empty the link's target and a new entry is created through it; root reading or
// running an entry follows it too. Removing or moving it takes the link itself.
bool followsLast(Actor actor, Operation operation)
{
    return operation == Operation::empty || operation == Operation::create
        || (actor == Actor::root && operation == Operation::read);
}

bool isNormal(const QString& normalPath)
{
    if (normalPath.contains(QChar(0)))
        return false;
    const QStringList parts = normalPath.mid(1).split(QLatin1Char('/'));
    for (const QString& part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    }
    return true;
}

QStringList normalForms(const QStringList& paths)
{
    QStringList normal;
    for (const QString& path : paths)
        normal << SafetyBoundary::normalForm(path);
    return normal;
}

} // namespace

Allowance::Allowance(const QStringList& targets)
{
    for (const QString& target : normalForms(targets))
        targets_.insert(target);
}

Allowance& Allowance::operator+=(const Allowance& other)
{
    targets_.unite(other.targets_);
    return *this;
}

SafetyBoundary::SafetyBoundary(const platform::FileManager& files) : files_(files) {}

QStringList SafetyBoundary::systemCacheFolders()
{
    return {QStringLiteral("/private/tmp"), QStringLiteral("/private/var/tmp"), QStringLiteral("/Library/Caches"),
            QStringLiteral("/Library/Logs"), QStringLiteral("/opt/homebrew/var/cache"),
            QStringLiteral("/usr/local/var/cache")};
}

QString SafetyBoundary::normalForm(const QString& path)
{
    if (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        return path.chopped(1);
    return path;
}

bool SafetyBoundary::isProtectedFolder(const QString& normalPath) const
{
    const QString path = withoutDataVolume(normalPath);
    if (path == QLatin1String("/") || listed(systemFolders(), path))
        return true;
    const QString home = normalForm(files_.homeDirectory());
    if (home.isEmpty() || home == QLatin1String("/"))
        return false;   // every folder such a home names is already a system folder above
    // The home as named and as it really is: either may be how the path reaches it.
    const QString realHome = files_.canonicalPath(home);
    for (const QString& base : {home, realHome}) {
        if (base.isEmpty() || base == QLatin1String("/"))
            continue;
        for (const QString& folder : homeFolders()) {
            if (path.compare(base + folder, Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

std::optional<QString> SafetyBoundary::realPlaceRefusal(const QString& normalPath, Operation operation) const
{
    // The user's own actions follow links in the parents ("/tmp/x/../" is refused, but a
    // TMPDIR of "~/link-to-root/mnt" reaches /mnt): judge where the path really leads too.
    // The last component is the entry acted on, link or not, so it is not resolved.
    const qsizetype slash = normalPath.lastIndexOf(QLatin1Char('/'));
    const QString parent = slash == 0 ? QStringLiteral("/") : normalPath.left(slash);
    const QString realParent = files_.canonicalPath(parent);
    if (realParent.isEmpty())
        return std::nullopt;   // nothing there to act on
    const QString real = (realParent == QLatin1String("/") ? QString() : realParent) + normalPath.mid(slash);
    if (real.compare(normalPath, Qt::CaseInsensitive) == 0 && withoutDataVolume(real) == real)
        return std::nullopt;
    if (operation != Operation::read && isProtectedFolder(real))
        return QStringLiteral("保護されたフォルダーです");
    if (operation == Operation::empty && listed(sharedTemporaryAreas(), withoutDataVolume(real)))
        return QStringLiteral("全ユーザー共有の一時フォルダーです");
    return std::nullopt;
}

bool SafetyBoundary::hasLinkAlongPath(const QString& normalPath, bool includingLast) const
{
    const QStringList parts = normalPath.mid(1).split(QLatin1Char('/'));
    QString prefix;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        prefix += QLatin1Char('/') + parts[i];
        if ((includingLast || i + 1 < parts.size()) && files_.isSymbolicLink(prefix))
            return true;
    }
    return false;
}

std::optional<QString> SafetyBoundary::refusal(const QString& path, const Allowance& allowance, Actor actor,
                                               Operation operation) const
{
    if (path.isEmpty())
        return QStringLiteral("パスが空です");
    if (!path.startsWith(QLatin1Char('/')))
        return QStringLiteral("絶対パスではありません");
    const QString normal = normalForm(path);
    if (normal == QLatin1String("/"))
        return QStringLiteral("ルートフォルダーです");
    if (!isNormal(normal))
        return QStringLiteral("正規化されていないパスです");
    if (operation != Operation::read && isProtectedFolder(normal))
        return QStringLiteral("保護されたフォルダーです");
    if (!allowance.contains(normal))
        return QStringLiteral("許可された場所の外です");
    if (actor == Actor::user && operation == Operation::empty && listed(sharedTemporaryAreas(), withoutDataVolume(normal)))
        return QStringLiteral("全ユーザー共有の一時フォルダーです");
    // Root follows every link it meets in the parents, so none may be one; the user's own
    // walk opens each folder without following a final link, and the parents are judged
    // by their real place below.
    const bool lastCounts = followsLast(actor, operation);
    if ((actor == Actor::root && hasLinkAlongPath(normal, lastCounts))
        || (actor == Actor::user && lastCounts && files_.isSymbolicLink(normal)))
        return QStringLiteral("シンボリックリンクを含むパスです");
    if (actor == Actor::user)
        return realPlaceRefusal(normal, operation);
    return std::nullopt;
}

SafetyBoundary::Outcome SafetyBoundary::actAsUser(const QString& path, const Allowance& allowance, Operation operation) const
{
    Outcome outcome;
    outcome.refusal = refusal(path, allowance, Actor::user, operation);
    if (outcome.refusal)
        return outcome;
    const QString normal = normalForm(path);
    switch (operation) {
    case Operation::empty:
        outcome.counts = files_.emptyDirectory(normal);
        break;
    case Operation::remove:
        outcome.counts = files_.removeItem(normal);
        break;
    case Operation::read:
    case Operation::create:
        break;   // only root reads or creates through the boundary
    case Operation::trash:
        if (files_.moveToTrash(normal))
            outcome.counts.deleted = 1;
        else
            outcome.counts = {0, 1, errno ? errno : EIO};
        break;
    }
    return outcome;
}

SafetyBoundary::Outcome SafetyBoundary::emptyDirectory(const QString& path, const Allowance& allowance) const
{
    return actAsUser(path, allowance, Operation::empty);
}

SafetyBoundary::Outcome SafetyBoundary::removeItem(const QString& path, const Allowance& allowance) const
{
    return actAsUser(path, allowance, Operation::remove);
}

SafetyBoundary::Outcome SafetyBoundary::moveToTrash(const QString& path, const Allowance& allowance) const
{
    return actAsUser(path, allowance, Operation::trash);
}

std::optional<RootPath> SafetyBoundary::forRoot(const QString& path, const Allowance& allowance, Operation operation,
                                                QString* why) const
{
    const std::optional<QString> refused = refusal(path, allowance, Actor::root, operation);
    if (refused) {
        if (why)
            *why = *refused;
        return std::nullopt;
    }
    RootPath cleared(normalForm(path));
    // From the first folder someone else may write to, every component could be swapped for
    // a link while the dialog is open; the last only matters where root follows it.
    const bool lastCounts = followsLast(Actor::root, operation);
    const QStringList parts = cleared.path_.mid(1).split(QLatin1Char('/'));
    QString prefix;
    bool othersControl = false;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        othersControl = othersControl || othersMayWriteInto(prefix.isEmpty() ? QStringLiteral("/") : prefix);
        prefix += QLatin1Char('/') + parts[i];
        if (othersControl && (i + 1 < parts.size() || lastCounts))
            cleared.mustNotBeLinks_ << prefix;
    }
    cleared.mustBeAbsent_ = operation == Operation::create && othersControl;
    cleared.othersWriteInside_ = othersMayWriteInto(cleared.path_);
    return cleared;
}

QString SafetyBoundary::guarded(const QList<RootPath>& paths, const QString& command, const QStringList& newEntries)
{
    QStringList tests;
    const auto mustBeAbsent = [&tests](const QString& path) {
        tests << QStringLiteral("[ ! -e ") + Quote::singleQuoted(path) + QStringLiteral(" ] && [ ! -L ")
                     + Quote::singleQuoted(path) + QStringLiteral(" ]");
    };
    for (const RootPath& path : paths) {
        for (const QString& component : path.mustNotBeLinks_) {
            const QString test = QStringLiteral("[ ! -L ") + Quote::singleQuoted(component) + QStringLiteral(" ]");
            if (!tests.contains(test))
                tests << test;
        }
        if (path.mustBeAbsent_)
            mustBeAbsent(path.path_);
    }
    for (const QString& entry : newEntries) {
        const QString folder = entry.left(entry.lastIndexOf(QLatin1Char('/')));
        const bool onlyRootWrites = std::any_of(paths.cbegin(), paths.cend(), [&folder](const RootPath& path) {
            return path.path_ == folder && !path.othersWriteInside_;
        });
        if (!onlyRootWrites)
            mustBeAbsent(entry);
    }
    if (tests.isEmpty())
        return command;
    return QStringLiteral("{ ") + tests.join(QStringLiteral(" && "))
         + QStringLiteral("; } || { echo '⛔️ 管理者の確認中にパスが差し替えられたため中止しました' >&2; exit 1; }; ") + command;
}
