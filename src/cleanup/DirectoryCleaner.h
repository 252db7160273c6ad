#pragma once

#include <QString>

namespace platform {
class FileManager;
}

// What emptying one directory did.
struct CleanCounts {
    int deleted = 0;        // entries removed (a directory's own entries count too)
    int skipped = 0;        // entries whose removal failed
    bool refused = false;   // the directory was not touched at all (see DirectoryCleaner::mayEmpty)

    bool operator==(const CleanCounts&) const = default;
};

// Empties a directory of the user's own area as the current user, entry by entry.
//
// Every entry is judged by the entry itself, never by what a link points to: a symbolic link
// (also one to a directory, also a dangling one) is removed as a link and never descended
// into, so nothing outside the chosen directory changes. A real directory is emptied by the
// same procedure and then removed. The chosen directory itself is kept.
//
// This is the one gate through which screens delete inside user directories: it refuses a
// directory it must not empty (see mayEmpty()) without touching anything.
class DirectoryCleaner {
public:
    explicit DirectoryCleaner(const platform::FileManager& files);
    DirectoryCleaner();   // the shared file manager

    // Whether `path` may be emptied: an absolute path without "." or ".." components, not
    // the root, the home directory itself or a temporary area shared by all users ("/tmp",
    // "/var/tmp", their "/private" forms, "/dev/shm"), naming a real directory (not a link to one).
    // A trailing "/" is allowed (the system reports the temporary directory that way).
    bool mayEmpty(const QString& path) const;

    // Empties `path` (see above). A refused directory yields {0, 0, refused}; a directory
    // that cannot be listed yields {0, 0}. An entry that has vanished when it is looked at
    // is not counted.
    CleanCounts emptyDirectory(const QString& path) const;

    // Whether any existing component of the absolute `path` is a symbolic link, i.e. the
    // resolved path would differ from `path` ("." and ".." count as differing too).
    bool hasLinkAlongPath(const QString& path) const;

private:
    void emptyInto(const QString& directory, CleanCounts& counts) const;

    const platform::FileManager& files_;
};
