#pragma once

#include "exec/SafetyBoundary.h"
#include "platform/Service.h"

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <exception>
#include <optional>

// One application bundle found in the application folders.
struct InstalledApp {
    QUuid id;                    // fresh for every record of every scan
    QString name;                // the bundle's file name without ".app"
    QString bundleID;            // CFBundleIdentifier, or the fallback made from the name
    QString path;                // as find printed it
    double sizeMB = 0;           // du -sm; 0 when no size was read
    bool isSelected = false;

    bool operator==(const InstalledApp&) const = default;

    // The places an application leaves settings, caches and containers in, that exist right
    // now, in a fixed order (at most 11). A name or identifier that is empty after trimming,
    // names a path ("/"), is "." or "..", or holds a NUL character contributes nothing:
    // such a value would make a leftover of a whole folder.
    static QStringList leftovers(const QString& name, const QString& bundleID);
    // The same candidates before the existence test, for given roots.
    static QStringList leftoverCandidates(const QString& name, const QString& bundleID, const QString& home,
                                          const QString& systemLibrary);

    // What removing the application may touch: the bundle at `bundlePath` (when it names a
    // ".app") and the leftover candidates of `name` and `bundleID`.
    static Allowance removalAllowance(const QString& bundlePath, const QString& name, const QString& bundleID);

    // A name or identifier as a leftover location uses it: trimmed, or none when it may not be used.
    static std::optional<QString> usableComponent(const QString& value);
    // "google.chrome" for "Google Chrome": lower case, every blank a full stop.
    static QString fallbackBundleID(const QString& name);
    // "Safari" for "/Applications/Safari.app": lastPathComponent without what follows its
    // last full stop (a name that is nothing but an extension, ".app", keeps it).
    static QString nameFromPath(const QString& bundlePath);
};
Q_DECLARE_METATYPE(InstalledApp)

// Where the system-wide leftovers lie: "/Library" on the Mac. Tests move it into a
// temporary folder with platform::Service<LeftoverRoots>::Override.
struct LeftoverRoots {
    QString systemLibrary;

    static LeftoverRoots& systemDefault();
    static const LeftoverRoots& shared() { return platform::Service<LeftoverRoots>::get(); }
};

// What the cleanup screens share.

// Whether `path` lies in the folder `home` (or is it); false for an empty home.
bool isInsideHome(const QString& path, const QString& home);
// "Safari.app" for "/Applications/Safari.app/": the last component, trailing slashes ignored.
QString lastPathComponent(const QString& path);
// The du line measuring one bundle in whole MiB (the path escaped between double quotes).
QString bundleSizeCommand(const QString& bundlePath);
// "⛔️ 許可外のため拒否: <path> — <reason>", for a path the safety boundary refused.
QString refusedLine(const QString& path, const QString& reason);
