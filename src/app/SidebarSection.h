#pragma once

#include <QColor>
#include <QList>
#include <QMetaType>
#include <QString>

#include <optional>

// The ten screens, in sidebar order. The raw value is the Japanese title.
enum class SidebarSection {
    dashboard, uninstaller, intelApps, cache, installer, backup, startup, storage, network, sysinfo
};
Q_DECLARE_METATYPE(SidebarSection)

namespace Sections {
QList<SidebarSection> allCases();
QString rawValue(SidebarSection section);   // the display title, e.g. "キャッシュ削除"
QString icon(SidebarSection section);       // SF Symbol name
QColor color(SidebarSection section);       // the system's named colour (pink, red, ...)
std::optional<SidebarSection> fromRawValue(const QString& raw);
} // namespace Sections
