#pragma once

#include <QString>

namespace platform {
class BundleInfo;
}

namespace AboutInfo {

// The release label shown beside the product name.
inline const QString releaseLabel = QStringLiteral("2.2 “White Sorami”");

// "CFBundleShortVersionString" (default "2.2"), " (Build ", "CFBundleVersion" (default "1"), ")".
// A key that is absent or holds anything but text takes its default.
QString appVersion(const platform::BundleInfo& bundle);

} // namespace AboutInfo
