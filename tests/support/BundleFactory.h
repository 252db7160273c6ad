#pragma once

#include <QVariantMap>

#include <optional>

// Application bundles on disk: an Info.plist (XML or binary) and a main executable.
namespace BundleFactory {

enum class PlistFormat { xml, binary };
enum class Endian { little, big };

inline constexpr quint32 cpuX86_64 = 0x01000007, cpuI386 = 7, cpuARM64 = 0x0100000C, cpuPowerPC = 18, cpuPowerPC64 = 0x01000012;

// The mach_header(_64) of an executable, zero-padded to 4096 bytes.
QByteArray thinMachO(quint32 cpuType, Endian endian = Endian::little, bool is64 = true);
// A universal file (magic 0xCAFEBABE, or 0xCAFEBABF with 64-bit records), one slice per CPU type.
QByteArray fatMachO(const QList<quint32>& cpuTypes, bool is64 = false);
// Only a fat header: the magic, a count that need not match, records of `recordSize` bytes.
QByteArray fatHeader(quint32 magic, quint32 count, const QList<quint32>& cpuTypes, qsizetype recordSize = 20);
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
// Writes a file and its missing parents; with `executable`, mode 0755.
bool writeFile(const QString& path, const QByteArray& bytes, bool executable = false);

} // namespace BundleFactory
