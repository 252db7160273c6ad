#include "support/BundleFactory.h"

#include <QDir>
#include <QFileInfo>

namespace BundleFactory {

namespace {

QByteArray plist(const QVariantMap& dictionary, PlistFormat format)
{
    return DemoTree::plist(dictionary, format == PlistFormat::binary);
}

} // namespace

QVariantMap appInfo(const QString& name, const QString& bundleID, const QString& version, const QString& executable)
{
    QVariantMap info{{"CFBundlePackageType", "APPL"}, {"CFBundleName", name}, {"CFBundleIdentifier", bundleID},
                     {"CFBundleShortVersionString", version}, {"CFBundleExecutable", executable}};
    info.removeIf([](const auto& entry) { return entry.value().toString().isEmpty(); });
    return info;
}

QString create(const QString& parentFolder, const App& app)
{
    const QString bundle = parentFolder + QLatin1Char('/') + app.fileName;
    const QString executable = app.info.value(QStringLiteral("CFBundleExecutable")).toString();
    const bool written = QDir().mkpath(bundle + QStringLiteral("/Contents/MacOS"))
        && (!app.writeInfoPlist || writeFile(bundle + "/Contents/Info.plist", app.rawInfoPlist.value_or(plist(app.info, app.format))))
        && (!app.writeExecutable || executable.isEmpty() || writeFile(bundle + "/Contents/MacOS/" + executable, app.executable, true));
    return written ? bundle : QString();
}

QString createApp(const QString& parentFolder, const QString& fileName, const QByteArray& executable,
                  const QString& displayName, const QString& bundleID, PlistFormat format)
{
    const QString name = !displayName.isEmpty() ? displayName : fileName.endsWith(".app") ? fileName.chopped(4) : fileName;
    return create(parentFolder, App{fileName, appInfo(name, bundleID, QStringLiteral("1.0"), QStringLiteral("Main")), format,
                                    std::nullopt, true, executable, true});
}

} // namespace BundleFactory
