#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// A macOS-like file tree for the demo sandbox: application bundles whose executables carry
// every kind of Mach-O header the scanner knows, their leftovers, caches, logs, launch jobs and
// a home under /Users, so that every screen has something real to act on.
namespace DemoTree {

enum class Endian { little, big };

inline constexpr quint32 cpuX86_64 = 0x01000007, cpuI386 = 7, cpuARM64 = 0x0100000C, cpuPowerPC = 18,
                         cpuPowerPC64 = 0x01000012;

// The mach_header(_64) of an executable, zero-padded to 4096 bytes.
QByteArray thinMachO(quint32 cpuType, Endian endian = Endian::little, bool is64 = true);
// A universal file (magic 0xCAFEBABE, or 0xCAFEBABF with 64-bit records), one slice per CPU type.
QByteArray fatMachO(const QList<quint32>& cpuTypes, bool is64 = false);
// Only a fat header: the magic, a count that need not match, records of `recordSize` bytes.
QByteArray fatHeader(quint32 magic, quint32 count, const QList<quint32>& cpuTypes, qsizetype recordSize = 20);
// A property list as XML or in the binary format.
QByteArray plist(const QVariantMap& dictionary, bool binary);

// Writes a file and its missing parents; with `executable`, mode 0755.
bool writeFile(const QString& path, const QByteArray& bytes, bool executable = false);

// The user's temporary folder inside the tree, as an absolute path inside the sandbox.
QString temporaryDirectory(const QString& user);

// Builds the tree under `root` for the user `user` (a plain name). An existing tree made by
// this generator is replaced unless `keep`; any other non-empty folder is refused.
// Returns what went wrong, empty on success.
QStringList generate(const QString& root, const QString& user, bool keep = false);

} // namespace DemoTree
