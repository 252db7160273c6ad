#pragma once

#include "platform/FileManager.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// Who acts on a path: the program with the user's rights, or a command run as root.
enum class Actor { user, root };

// What is done to a path: its entries removed (the folder stays), the entry itself removed,
// the entry moved into the Trash, read or run by root and left in place (a job file loaded, a
// folder archived, an installer package, an installer application's tool: any folder may be
// read, the home itself included), or created by root as a new entry (an archive: nothing,
// not even a link, may stand at that name).
enum class Operation { empty, remove, trash, read, create };

// The targets one action was started for, each in normal form: the cache groups' folders,
// an application bundle with its leftover locations, the Trash. Nothing else may be acted on.
class Allowance {
public:
    Allowance() = default;
    explicit Allowance(const QStringList& targets);

    bool contains(const QString& normalPath) const { return targets_.contains(normalPath); }
    Allowance& operator+=(const Allowance& other);

private:
    QSet<QString> targets_;
};

// A path cleared for a command line run as root. Only SafetyBoundary makes one, so no root
// command can be built from a path that did not pass the boundary. It carries what root has
// to find unchanged when it acts: the components that lie in folders someone other than root
// may write to, which must still not be links, and, for a new entry, that nothing stands at
// its name yet. A password dialog can stay open for minutes; the boundary's own check ran
// before it.
class RootPath {
public:
    const QString& path() const { return path_; }
    bool operator==(const RootPath&) const = default;

private:
    friend class SafetyBoundary;
    explicit RootPath(QString path) : path_(std::move(path)) {}
    QString path_;
    QStringList mustNotBeLinks_;
    bool mustBeAbsent_ = false;
    bool othersWriteInside_ = false;   // as a folder: whether entries root makes in it can be planted first
};

// The one gate every removal, emptying, move to the Trash and every path handed to root goes
// through. A target is refused when it is empty, relative, not in normal form ("." or ".."
// components, "//", "/." at the end), the root or a folder that is never acted on itself
// (system folders, the home folder and its standard folders), outside the action's
// allowance, a temporary area all users share (for the user's own emptying), or reached
// through a symbolic link where that would move the action elsewhere. Refused targets are
// never touched; the reason is a short Japanese text for the screen's log.
class SafetyBoundary {
public:
    explicit SafetyBoundary(const platform::FileManager& files = platform::FileManager::shared());

    // The system folders root may empty (the cleanup helper's allow-list), in this order.
    static QStringList systemCacheFolders();
    // `path` without one trailing "/" (the system reports the temporary directory with one).
    static QString normalForm(const QString& path);

    // Why `actor` may not apply `operation` to `path` within `allowance`; none when it may.
    std::optional<QString> refusal(const QString& path, const Allowance& allowance, Actor actor,
                                   Operation operation) const;
    bool isProtectedFolder(const QString& normalPath) const;
    // Whether a component of `normalPath` is a symbolic link: the parents only, or the last too.
    bool hasLinkAlongPath(const QString& normalPath, bool includingLast) const;

    // What an action with the user's rights did. A refused target is untouched.
    struct Outcome {
        platform::TreeRemoval counts;
        std::optional<QString> refusal;
        bool succeeded() const { return !refusal && counts.succeeded(); }
    };
    // Blocking file work: screens run these off the main thread.
    Outcome emptyDirectory(const QString& path, const Allowance& allowance) const;
    Outcome removeItem(const QString& path, const Allowance& allowance) const;
    Outcome moveToTrash(const QString& path, const Allowance& allowance) const;

    // `path` cleared for a root command line applying `operation`, or none with `why` set.
    std::optional<RootPath> forRoot(const QString& path, const Allowance& allowance, Operation operation,
                                    QString* why = nullptr) const;
    // `command` preceded by root's own test of `paths` at the moment it acts: when a component
    // has become a link (or something appeared where root creates an entry) root stops with a
    // line on the error stream and exit status 1. The command is unchanged when every path
    // lies in folders only root may write to. `newEntries` are names root creates: unless
    // their folder is among `paths` and only root writes into it, nothing, not even a link,
    // may stand at them.
    static QString guarded(const QList<RootPath>& paths, const QString& command, const QStringList& newEntries = {});

private:
    // Whether the real place of `normalPath`, its parents' links resolved, is one never acted on.
    std::optional<QString> realPlaceRefusal(const QString& normalPath, Operation operation) const;
    Outcome actAsUser(const QString& path, const Allowance& allowance, Operation operation) const;

    const platform::FileManager& files_;
};
