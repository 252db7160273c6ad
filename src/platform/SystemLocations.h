#pragma once

#include "platform/Service.h"

#include <QString>
#include <QStringList>

namespace platform {

// Where the system tools and files of administrator work live. The values differ between
// macOS and Linux only where the systems differ (the helper keeps its path everywhere);
// tests install macOS values, or scripted tools and targets in a temporary directory,
// with Service<SystemLocations>::Override.
struct SystemLocations {
    QString scriptRunner;       // runs `do shell script "…" with administrator privileges` read from stdin
    QString sudo;               // "/usr/bin/sudo"
    QString visudo;             // "/usr/sbin/visudo"
    QString install;            // "/usr/bin/install"
    QString sha256;             // prints "<hex digest>  -" for its standard input: "/usr/bin/shasum -a 256"
    QString helperDirectory;    // "/Library/PrivilegedHelperTools"
    QString helperPath;         // the cleanup helper script installed there
    QString sudoersDirectory;   // the sudoers drop-in directory
    QString sudoersRuleFile;    // the cleanup helper's rule file inside it
    QString helperGroup;        // group that owns the installed helper and rule
    // The system's shared temporary directory (sticky: nobody removes or renames another's
    // entries), where root makes the folders it writes into; "/private/tmp" on macOS.
    QString systemTemporaryDirectory;
    // Directories readable only with Full Disk Access ("~" stands for the user's home).
    QStringList fullDiskAccessProbes;

    // The values on macOS, whatever system this runs on.
    static SystemLocations macOS()
    {
        return {QStringLiteral("/usr/bin/osascript"),
                QStringLiteral("/usr/bin/sudo"),
                QStringLiteral("/usr/sbin/visudo"),
                QStringLiteral("/usr/bin/install"),
                QStringLiteral("/usr/bin/shasum -a 256"),
                QStringLiteral("/Library/PrivilegedHelperTools"),
                QStringLiteral("/Library/PrivilegedHelperTools/com.orvelle.Tessarin.cleaner"),
                QStringLiteral("/private/etc/sudoers.d"),
                QStringLiteral("/private/etc/sudoers.d/tessarin_cleaner"),
                QStringLiteral("wheel"),
                QStringLiteral("/private/tmp"),
                {QStringLiteral("~/Library/Safari"), QStringLiteral("~/Library/Mail")}};
    }

    // The running system's values. On Linux the script runner is the stand-in
    // "osascript" in platform::standInDirectory() (an absolute path, so a PATH entry
    // of the user's cannot replace it), the digest tool "/usr/bin/sha256sum" (coreutils; shasum
    // comes with perl, which a minimal system lacks), the rule directory "/etc/sudoers.d", the group "root",
    // the temporary directory "/tmp",
    // and as Full Disk Access probes the root-only directories "/root" and "/etc/sudoers.d".
    static SystemLocations& systemDefault();
    static const SystemLocations& shared() { return Service<SystemLocations>::get(); }
};

} // namespace platform
