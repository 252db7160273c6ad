#include "app/AboutInfo.h"

#include "platform/BundleInfo.h"

namespace AboutInfo {
namespace {

QString textValue(const platform::BundleInfo& bundle, const QString& key, const QString& fallback)
{
    const QVariant value = bundle.value(key);
    // Only text counts: a number or a list under a version key is a broken Info.plist,
    // not a version to print.
    return value.typeId() == QMetaType::QString ? value.toString() : fallback;
}

} // namespace

QString appVersion(const platform::BundleInfo& bundle)
{
    return textValue(bundle, QStringLiteral("CFBundleShortVersionString"), QStringLiteral("2.2"))
        + QStringLiteral(" (Build ") + textValue(bundle, QStringLiteral("CFBundleVersion"), QStringLiteral("1"))
        + QStringLiteral(")");
}

} // namespace AboutInfo
