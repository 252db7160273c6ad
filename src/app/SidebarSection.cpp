#include "app/SidebarSection.h"

#include "app/AppTheme.h"

namespace Sections {

QList<SidebarSection> allCases()
{
    return {SidebarSection::dashboard, SidebarSection::uninstaller, SidebarSection::intelApps,
            SidebarSection::cache,     SidebarSection::installer,   SidebarSection::backup,
            SidebarSection::startup,   SidebarSection::storage,     SidebarSection::network,
            SidebarSection::sysinfo};
}

QString rawValue(SidebarSection section)
{
    switch (section) {
    case SidebarSection::dashboard: return QStringLiteral("ダッシュボード");
    case SidebarSection::uninstaller: return QStringLiteral("アンインストーラー");
    case SidebarSection::intelApps: return QStringLiteral("Intelアプリ検出");
    case SidebarSection::cache: return QStringLiteral("キャッシュ削除");
    case SidebarSection::installer: return QStringLiteral("macOSインストーラー");
    case SidebarSection::backup: return QStringLiteral("バックアップ");
    case SidebarSection::startup: return QStringLiteral("起動項目管理");
    case SidebarSection::storage: return QStringLiteral("ストレージ分析");
    case SidebarSection::network: return QStringLiteral("ネットワーク診断");
    case SidebarSection::sysinfo: return QStringLiteral("システム情報");
    }
    return {};
}

QString icon(SidebarSection section)
{
    switch (section) {
    case SidebarSection::dashboard: return QStringLiteral("sparkles.rectangle.stack.fill");
    case SidebarSection::uninstaller: return QStringLiteral("trash.circle.fill");
    case SidebarSection::intelApps: return QStringLiteral("cpu");
    case SidebarSection::cache: return QStringLiteral("internaldrive.fill");
    case SidebarSection::installer: return QStringLiteral("arrow.down.circle.fill");
    case SidebarSection::backup: return QStringLiteral("externaldrive.fill.badge.timemachine");
    case SidebarSection::startup: return QStringLiteral("bolt.circle.fill");
    case SidebarSection::storage: return QStringLiteral("chart.pie.fill");
    case SidebarSection::network: return QStringLiteral("network");
    case SidebarSection::sysinfo: return QStringLiteral("info.circle.fill");
    }
    return {};
}

QColor color(SidebarSection section)
{
    switch (section) {
    case SidebarSection::dashboard: return SystemColor::pink();
    case SidebarSection::uninstaller: return SystemColor::red();
    case SidebarSection::intelApps: return SystemColor::orange();
    case SidebarSection::cache: return SystemColor::orange();
    case SidebarSection::installer: return SystemColor::blue();
    case SidebarSection::backup: return SystemColor::purple();
    case SidebarSection::startup: return SystemColor::yellow();
    case SidebarSection::storage: return SystemColor::green();
    case SidebarSection::network: return SystemColor::cyan();
    case SidebarSection::sysinfo: return SystemColor::gray();
    }
    return SystemColor::gray();
}

std::optional<SidebarSection> fromRawValue(const QString& raw)
{
    for (SidebarSection section : allCases()) {
        if (rawValue(section) == raw)
            return section;
    }
    return std::nullopt;
}

} // namespace Sections
