#include "platform/SystemLocations.h"

#include "platform/StandIns.h"

#include <QFileInfo>

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
        // Where /tmp leads (on a Mac-like layout, /private/tmp): root is never handed a path
        // through a link, so a link here would refuse every root step in the folder.
        const QString temporary = QFileInfo(QStringLiteral("/tmp")).canonicalFilePath();
        l.systemTemporaryDirectory = temporary.isEmpty() ? QStringLiteral("/tmp") : temporary;
        // Linux has no privacy grant for folders; what the grant unlocks on macOS (reading
        // other programs' protected data) corresponds here to reading root-only directories.
        l.fullDiskAccessProbes = {QStringLiteral("/root"), QStringLiteral("/etc/sudoers.d")};
        return l;
    }();
    return locations;
}

} // namespace platform
