#include "platform/SystemLocations.h"

#include "platform/StandIns.h"

namespace platform {

SystemLocations& SystemLocations::systemDefault()
{
    static SystemLocations locations = [] {
        SystemLocations l = SystemLocations::macOS();
        const QString standIns = standInDirectory();
        // Without a stand-in directory the macOS path stays: it does not exist here, so an
        // administrator run fails with a launch error instead of running something else.
        if (!standIns.isEmpty())
            l.scriptRunner = standIns + QStringLiteral("/osascript");
        l.sha256 = QStringLiteral("/usr/bin/sha256sum");
        l.sudoersDirectory = QStringLiteral("/etc/sudoers.d");
        l.sudoersRuleFile = QStringLiteral("/etc/sudoers.d/tessarin_cleaner");
        l.helperGroup = QStringLiteral("root");
        l.systemTemporaryDirectory = QStringLiteral("/tmp");
        // Linux has no privacy grant for folders; what the grant unlocks on macOS (reading
        // other programs' protected data) corresponds here to reading root-only directories.
        l.fullDiskAccessProbes = {QStringLiteral("/root"), QStringLiteral("/etc/sudoers.d")};
        return l;
    }();
    return locations;
}

} // namespace platform
