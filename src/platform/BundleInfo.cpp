#include "platform/BundleInfo.h"

#include "platform/BuildInfo.h"

namespace platform {

BundleInfo& BundleInfo::systemDefault()
{
    static BundleInfo info;
    return info;
}

#ifndef __APPLE__
QVariant BundleInfo::value(const QString& key) const
{
    if (key == QLatin1String("CFBundleShortVersionString"))
        return QStringLiteral(TESSARIN_SHORT_VERSION);
    if (key == QLatin1String("CFBundleVersion"))
        return QStringLiteral(TESSARIN_BUNDLE_VERSION);
    return {};
}
#endif

} // namespace platform
