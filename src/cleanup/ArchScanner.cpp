#include "cleanup/ArchScanner.h"

#include "cleanup/InstalledApp.h"
#include "cleanup/MachOHeader.h"
#include "exec/HumanReadable.h"
#include "exec/OutputParsing.h"
#include "exec/Shell.h"
#include "platform/FileManager.h"
#include "platform/FileReader.h"
#include "platform/Kernel.h"
#include "platform/PropertyList.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <vector>

namespace {

// Deepest level whose folders are still looked into: bundles lie at depths 1 to 3.
constexpr int deepestDescent = 2;
// Never more than this is read from an executable.
constexpr qint64 headerReadLimit = 4096;

const QString rosettaRuntimePath = QStringLiteral("/Library/Apple/usr/libexec/oah/libRosettaRuntime");

// Folders the system presents as single files (bundles and document packages). The Finder
// decides this through registered types and a bundle bit; the extensions are what a walk
// over the application folders meets in practice.
bool isPackageName(const QString& name)
{
    static const QStringList extensions = {
        QStringLiteral("app"), QStringLiteral("appex"), QStringLiteral("bundle"), QStringLiteral("component"),
        QStringLiteral("dext"), QStringLiteral("docset"), QStringLiteral("driver"), QStringLiteral("dsym"),
        QStringLiteral("framework"), QStringLiteral("kext"), QStringLiteral("key"), QStringLiteral("logicx"),
        QStringLiteral("mdimporter"), QStringLiteral("mpkg"), QStringLiteral("numbers"), QStringLiteral("pages"),
        QStringLiteral("photoslibrary"), QStringLiteral("pkg"), QStringLiteral("playground"), QStringLiteral("plugin"),
        QStringLiteral("prefpane"), QStringLiteral("qlgenerator"), QStringLiteral("rtfd"), QStringLiteral("saver"),
        QStringLiteral("scptd"), QStringLiteral("sparsebundle"), QStringLiteral("systemextension"),
        QStringLiteral("wdgt"), QStringLiteral("workflow"), QStringLiteral("xcarchive"),
        QStringLiteral("xcodeproj"), QStringLiteral("xcworkspace"), QStringLiteral("xpc"),
    };
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return false;
    const QStringView extension = QStringView(name).mid(dot + 1);
    for (const QString& candidate : extensions)
        if (extension.compare(candidate, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool hasAppExtension(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 && QStringView(name).mid(dot + 1) == QLatin1String("app");
}

void collectBundles(const platform::FileManager& files, const QString& folder, int depth, QStringList& bundles)
{
    // Any entry named *.app is a bundle (special files and dangling links included); only
    // real folders are looked into.
    for (const platform::DirectoryEntry& entry : files.entriesOfDirectory(folder)) {
        if (entry.name.startsWith(QLatin1Char('.')))
            continue;
        const QString path = folder + QLatin1Char('/') + entry.name;
        if (hasAppExtension(entry.name))
            bundles.append(path);
        else if (depth <= deepestDescent && entry.kind == platform::EntryKind::directory && !isPackageName(entry.name))
            collectBundles(files, path, depth + 1, bundles);
    }
}

std::optional<ArchScanner::CPUTypes> executableCPUTypes(const QString& path)
{
    const std::optional<QByteArray> header = platform::readFileStart(path, headerReadLimit);
    return header ? ArchScanner::machOCPUTypes(*header) : std::nullopt;
}

void sortByName(QList<IntelOnlyApp>& apps)
{
    // A process started without a locale ("C") has no collation worth the name; the
    // interface is Japanese, so its ordering stands in.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::Japanese, QLocale::Japan);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(apps.begin(), apps.end(), [&collator](const IntelOnlyApp& a, const IntelOnlyApp& b) {
        return collator.compare(a.name, b.name) < 0;
    });
}

QCoro::Task<void> measureOne(QUuid id, QString path, std::function<void(const QUuid&, qint64)> apply)
{
    const QString measure = bundleSizeCommand(path);
    const ShellResult result = co_await Shell::runAsync(measure);
    apply(id, parseSizeOutput(result.output, path));
}

} // namespace

RosettaInfo RosettaInfo::current()
{
    RosettaInfo info;
    info.isAppleSilicon = platform::Kernel::shared().optionalArm64() == 1;
    info.isRosettaInstalled = platform::FileManager::shared().exists(rosettaRuntimePath);
    return info;
}

namespace ArchScanner {

QStringList applicationRoots()
{
    return {QStringLiteral("/Applications"),
            platform::FileManager::shared().homeDirectory() + QStringLiteral("/Applications")};
}

QStringList appBundles(const QStringList& roots)
{
    const platform::FileManager& files = platform::FileManager::shared();
    QStringList bundles;
    for (const QString& root : roots) {
        if (files.isDirectory(root))
            collectBundles(files, root, 1, bundles);
    }
    return bundles;
}

std::optional<IntelOnlyApp> inspect(const QString& bundlePath)
{
    const std::optional<platform::PropertyList> info =
        platform::PropertyList::read(bundlePath + QStringLiteral("/Contents/Info.plist"));
    if (!info)
        return std::nullopt;
    const std::optional<QString> executable = info->string("CFBundleExecutable");
    if (!executable || executable->isEmpty())
        return std::nullopt;
    const std::optional<CPUTypes> cpuTypes = executableCPUTypes(bundlePath + QStringLiteral("/Contents/MacOS/") + *executable);
    if (!cpuTypes || cpuTypes->isEmpty())
        return std::nullopt;
    const AppArchitecture architecture = classify(*cpuTypes);
    if (architecture != AppArchitecture::intelOnly && architecture != AppArchitecture::powerPC)
        return std::nullopt;

    IntelOnlyApp app;
    app.id = QUuid::createUuid();
    if (auto displayName = info->string("CFBundleDisplayName"))
        app.name = *displayName;
    else if (auto bundleName = info->string("CFBundleName"))
        app.name = *bundleName;
    else
        app.name = InstalledApp::nameFromPath(bundlePath);
    app.bundleID = info->string("CFBundleIdentifier").value_or(QString());
    if (auto shortVersion = info->string("CFBundleShortVersionString"))
        app.version = *shortVersion;
    else
        app.version = info->string("CFBundleVersion").value_or(QStringLiteral("—"));
    app.path = bundlePath;
    app.architecture = architecture;
    app.archLabel = label(*cpuTypes);
    return app;
}

std::optional<CPUTypes> machOCPUTypes(QByteArrayView header)
{
    const std::optional<MachO::CPUTypes> types =
        MachO::cpuTypes({reinterpret_cast<const std::uint8_t*>(header.data()), std::size_t(header.size())});
    if (!types)
        return std::nullopt;
    return CPUTypes(types->begin(), types->end());
}

AppArchitecture classify(const CPUTypes& cpuTypes)
{
    const bool arm = cpuTypes.contains(cpuTypeARM64);
    const bool intel = cpuTypes.contains(cpuTypeX86_64) || cpuTypes.contains(cpuTypeI386);
    const bool powerPC = cpuTypes.contains(cpuTypePowerPC) || cpuTypes.contains(cpuTypePowerPC64);
    if (arm)
        return intel ? AppArchitecture::universal : AppArchitecture::appleSilicon;
    if (intel)
        return AppArchitecture::intelOnly;
    if (powerPC)
        return AppArchitecture::powerPC;
    return AppArchitecture::unknown;
}

QString label(const CPUTypes& cpuTypes)
{
    QStringList names;
    if (cpuTypes.contains(cpuTypeX86_64))
        names << QStringLiteral("x86_64");
    if (cpuTypes.contains(cpuTypeI386))
        names << QStringLiteral("i386");
    if (cpuTypes.contains(cpuTypePowerPC) || cpuTypes.contains(cpuTypePowerPC64))
        names << QStringLiteral("PowerPC");
    return names.isEmpty() ? QStringLiteral("不明") : names.join(QStringLiteral(" + "));
}

ScanResult scan(const QStringList& roots)
{
    const QStringList bundles = appBundles(roots);
    ScanResult result;
    result.totalScanned = bundles.size();
    for (const QString& bundle : bundles) {
        if (std::optional<IntelOnlyApp> app = inspect(bundle))
            result.intelApps.append(std::move(*app));
    }
    sortByName(result.intelApps);
    return result;
}

} // namespace ArchScanner

qint64 parseSizeOutput(const QString& output, const QString& bundlePath)
{
    const QString text = bundlePath.contains(QLatin1Char('\n')) ? output.trimmed().section(QLatin1Char('\n'), 0, 0) : output;
    return Shell::parseInteger(text).value_or(0);
}

QCoro::Task<void> measureSizes(QList<IntelOnlyApp> apps, std::function<void(const QUuid&, qint64)> apply)
{
    if (apps.isEmpty())
        co_return;
    // Each child applies its own result as soon as it is back, so results land in completion order.
    QCoro::Task<> measuring = Shell::forEachInParallel(apps.size(), [&](qsizetype i) {
        return measureOne(apps[i].id, apps[i].path, apply);
    });
    co_await std::move(measuring);
}

bool applyMeasuredSize(QList<IntelOnlyApp>& apps, const QUuid& id, qint64 sizeMB)
{
    for (IntelOnlyApp& app : apps) {
        if (app.id == id) {
            app.sizeMB = sizeMB;
            return true;
        }
    }
    return false;
}

QString formatSize(qint64 megabytes)
{
    if (megabytes < 1024)
        return QString::number(megabytes) + QStringLiteral(" MB");
    return fixedDecimal(double(megabytes) / 1024.0, 1) + QStringLiteral(" GB");
}
