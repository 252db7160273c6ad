#pragma once

#include "demotree/DemoTree.h"

#include <QVariantMap>

#include <optional>

// Application bundles on disk: an Info.plist (XML or binary) and a main executable. The
// headers are the demo tree's, so the tests and the demo sandbox show the scanner the same bytes.
namespace BundleFactory {

enum class PlistFormat { xml, binary };
using DemoTree::Endian;
using DemoTree::cpuX86_64, DemoTree::cpuI386, DemoTree::cpuARM64, DemoTree::cpuPowerPC, DemoTree::cpuPowerPC64;
using DemoTree::thinMachO, DemoTree::fatMachO, DemoTree::fatHeader, DemoTree::writeFile;
// Empty arguments leave their key out.
QVariantMap appInfo(const QString& name, const QString& bundleID, const QString& version, const QString& executable);

struct App {
    QString fileName;
    QVariantMap info;
    PlistFormat format = PlistFormat::xml;
    std::optional<QByteArray> rawInfoPlist;    // written instead of `info`
    bool writeInfoPlist = true;
    QByteArray executable;                     // Contents/MacOS/<CFBundleExecutable>
    bool writeExecutable = true;
};

// parentFolder/app.fileName with its contents; "" when something could not be written.
QString create(const QString& parentFolder, const App& app);
// A bundle whose executable "Main" holds `executable`; the display name defaults to the file's.
QString createApp(const QString& parentFolder, const QString& fileName, const QByteArray& executable,
                  const QString& displayName = QString(), const QString& bundleID = QStringLiteral("com.example.app"),
                  PlistFormat format = PlistFormat::xml);

} // namespace BundleFactory
