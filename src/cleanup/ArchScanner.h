#pragma once

#include <QByteArrayView>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <qcoro/qcorotask.h>

#include <functional>
#include <optional>

// What an application's main executable can run on.
enum class AppArchitecture { intelOnly, powerPC, universal, appleSilicon, unknown };

// Facts about this Mac that decide whether the listed applications can start at all.
struct RosettaInfo {
    bool isAppleSilicon = false;
    bool isRosettaInstalled = false;

    static RosettaInfo current();
    bool operator==(const RosettaInfo&) const = default;
};

// One application that has no native Apple-silicon code.
struct IntelOnlyApp {
    QUuid id;                    // fresh for every scan
    QString name;
    QString bundleID;            // "" when the Info.plist has none
    QString path;                // absolute path of the bundle
    QString version;             // "—" when the Info.plist has none
    AppArchitecture architecture = AppArchitecture::unknown;
    QString archLabel;
    qint64 sizeMB = 0;           // 0 until measured
    bool isSelected = false;

    bool operator==(const IntelOnlyApp&) const = default;
};

struct ScanResult {
    QList<IntelOnlyApp> intelApps;   // sorted by name
    qint64 totalScanned = 0;         // every bundle found, listed or not
};

Q_DECLARE_METATYPE(AppArchitecture)
Q_DECLARE_METATYPE(RosettaInfo)
Q_DECLARE_METATYPE(IntelOnlyApp)
Q_DECLARE_METATYPE(ScanResult)

// Finds the installed applications that cannot run natively on Apple silicon, deciding
// from the Mach-O header of each main executable alone. Stateless; safe on any thread.
namespace ArchScanner {

using CPUTypes = QList<qint64>;

inline constexpr qint64 cpuTypeX86_64 = 0x01000007;
inline constexpr qint64 cpuTypeI386 = 7;
inline constexpr qint64 cpuTypeARM64 = 0x0100000C;
inline constexpr qint64 cpuTypePowerPC = 18;
inline constexpr qint64 cpuTypePowerPC64 = 0x01000012;

// "/Applications", then "Applications" in the user's home folder.
QStringList applicationRoots();

// Every bundle of the roots, found at depths 1 to 3 (depth 1: a direct child of a root), in
// walk order (roots in order, each folder's entries by name). Hidden entries and the insides
// of packages are skipped, symbolic links to folders are not followed, unreadable folders
// are passed over.
QStringList appBundles(const QStringList& roots);

// The bundle as a listed application, or none when it is not Intel- or PowerPC-only or
// cannot be read. Reads Contents/Info.plist and at most 4096 bytes of the main executable.
std::optional<IntelOnlyApp> inspect(const QString& bundlePath);

// CPU types named by the executable's header; none when it is not a recognised Mach-O file.
std::optional<CPUTypes> machOCPUTypes(QByteArrayView header);

AppArchitecture classify(const CPUTypes& cpuTypes);
// "x86_64", "i386" and "PowerPC" as present, joined by " + "; "不明" when none is.
QString label(const CPUTypes& cpuTypes);

// All bundles of the roots, inspected, and ordered by name with the current locale's
// case-insensitive collation (Japanese when the process has no locale of its own); equal
// names keep their walk order.
ScanResult scan(const QStringList& roots);

} // namespace ArchScanner

// Size measurement for a list of scanned applications.
//
// du's answer (bundleSizeCommand) in MiB: the output as a whole number (Shell::parseInteger),
// 0 for anything else. A path containing a line break also breaks du's output line, so
// only the first line counts then.
qint64 parseSizeOutput(const QString& output, const QString& bundlePath = QString());
// Runs one du per entry, all at once, and hands each (id, MiB) to `apply` on the awaiting
// thread as the commands finish, in completion order. The entries are copied at the
// start, so the caller's list may change (or lose entries) while this runs.
QCoro::Task<void> measureSizes(QList<IntelOnlyApp> apps, std::function<void(const QUuid&, qint64)> apply);
// Sets sizeMB of the entry with that id; false when it is no longer in the list.
bool applyMeasuredSize(QList<IntelOnlyApp>& apps, const QUuid& id, qint64 sizeMB);

// Whole MiB as text: "1023 MB", "1.0 GB" from 1024 on.
QString formatSize(qint64 megabytes);
