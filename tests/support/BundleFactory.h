#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <optional>

// Builds application bundles and executables on disk for tests and benchmarks: an
// Info.plist (XML or binary, written by libplist) and a main executable whose first bytes
// are a real Mach-O header, a script or anything else.
namespace BundleFactory {

enum class PlistFormat { xml, binary };
enum class Endian { little, big };

inline constexpr quint32 cpuX86_64 = 0x01000007;
inline constexpr quint32 cpuI386 = 7;
inline constexpr quint32 cpuARM64 = 0x0100000C;
inline constexpr quint32 cpuARM = 12;
inline constexpr quint32 cpuPowerPC = 18;
inline constexpr quint32 cpuPowerPC64 = 0x01000012;

// A thin Mach-O executable: mach_header (28 bytes) or mach_header_64 (32 bytes) of an
// MH_EXECUTE file in the given byte order, padded with zeros to `size` bytes (a size
// below the header's length cuts the header off there).
QByteArray thinMachO(quint32 cpuType, Endian endian = Endian::little, bool is64 = true, qsizetype size = 4096);

// A universal file: a big-endian fat header (magic 0xCAFEBABE, or 0xCAFEBABF with 64-bit
// records) with one record per CPU type, each slice a thin Mach-O at a 4096-byte boundary
// (PowerPC slices big-endian, the others little-endian).
QByteArray fatMachO(const QList<quint32>& cpuTypes, bool is64 = false);

// Just a fat header as given: magic, a record count that need not match, and records of
// `recordSize` bytes holding the CPU types; nothing after them.
QByteArray fatHeader(quint32 magic, quint32 count, const QList<quint32>& cpuTypes, qsizetype recordSize = 20);

QByteArray shellScript();
// A minimal Java class file (magic 0xCAFEBABE, then minor and major version).
QByteArray javaClass(quint16 major, quint16 minor = 0);

// Strings, booleans, integers, reals, byte arrays, lists and maps become their plist types.
QByteArray plist(const QVariantMap& dictionary, PlistFormat format = PlistFormat::xml);

// CFBundleName, CFBundleIdentifier, CFBundleShortVersionString and CFBundleExecutable;
// empty arguments leave their key out.
QVariantMap appInfo(const QString& name, const QString& bundleID, const QString& version,
                    const QString& executable);

struct App {
    QString fileName;                          // the bundle's own name, "Foo.app"
    QVariantMap info;                          // Info.plist keys
    PlistFormat format = PlistFormat::xml;
    std::optional<QByteArray> rawInfoPlist;    // written instead of `info` (malformed plists)
    bool writeInfoPlist = true;
    QByteArray executable;                     // Contents/MacOS/<CFBundleExecutable>
    bool writeExecutable = true;
};

// Creates parentFolder/app.fileName with its contents (parent folders included) and
// returns the bundle's path; "" when something could not be written.
QString create(const QString& parentFolder, const App& app);

// The common case: a bundle named fileName whose executable "Main" holds `executable`.
QString createApp(const QString& parentFolder, const QString& fileName, const QByteArray& executable,
                  const QString& displayName = QString(), const QString& bundleID = QStringLiteral("com.example.app"),
                  PlistFormat format = PlistFormat::xml);

// Writes a file (parent folders included); with `executable`, mode 0755.
bool writeFile(const QString& path, const QByteArray& bytes, bool executable = false);

} // namespace BundleFactory
