#include "cleanup/ArchScanner.h"

#include "exec/Quote.h"
#include "exec/Shell.h"
#include "platform/FileManager.h"
#include "platform/FileReader.h"
#include "platform/Kernel.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <plist/plist.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// An Info.plist larger than this is not an Info.plist; refusing it keeps a hostile bundle
// from making the scan load gigabytes (and libplist takes 32-bit lengths).
constexpr qint64 infoPlistSizeLimit = 8 * 1024 * 1024;

// Deepest level whose folders are still looked into: bundles lie at depths 1 to 3.
constexpr int deepestDescent = 2;

const QString rosettaRuntimePath = QStringLiteral("/Library/Apple/usr/libexec/oah/libRosettaRuntime");

MachO::Bytes bytesOf(QByteArrayView view)
{
    return {reinterpret_cast<const std::uint8_t*>(view.data()), std::size_t(view.size())};
}

ArchScanner::CPUTypes toList(const MachO::CPUTypes& types)
{
    return ArchScanner::CPUTypes(types.begin(), types.end());
}

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

void collectBundles(const QString& folder, int depth, QStringList& bundles)
{
    // Hidden entries are left out by not asking for them; the System filter keeps special
    // files and dangling links, which the walk yields like any other entry.
    const QDir dir(folder);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        const QString path = folder + QLatin1Char('/') + name;
        if (hasAppExtension(name)) {
            bundles.append(path);
            continue;
        }
        if (depth > deepestDescent || entry.isSymLink() || !entry.isDir() || isPackageName(name))
            continue;
        collectBundles(path, depth + 1, bundles);
    }
}

// One Info.plist dictionary, XML or binary.
class InfoPlist {
public:
    static std::optional<InfoPlist> read(const QString& path)
    {
        const std::optional<QByteArray> bytes = platform::readSmallFile(path, infoPlistSizeLimit);
        if (!bytes || bytes->isEmpty())
            return std::nullopt;
        plist_t root = nullptr;
        plist_from_memory(bytes->constData(), uint32_t(bytes->size()), &root);
        if (!root)
            return std::nullopt;
        InfoPlist plist(root);
        if (plist_get_node_type(root) != PLIST_DICT)
            return std::nullopt;
        return plist;
    }

    // The text under `key`; none when absent or of another type.
    std::optional<QString> string(const char* key) const
    {
        plist_t node = plist_dict_get_item(root_.get(), key);
        if (!node || plist_get_node_type(node) != PLIST_STRING)
            return std::nullopt;
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        if (!text)
            return QString();
        return QString::fromUtf8(text, qsizetype(length));
    }

private:
    explicit InfoPlist(plist_t root) : root_(root, &plist_free) {}
    std::shared_ptr<void> root_;
};

QString fileNameWithoutExtension(const QString& path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

QCoro::Task<void> measureOne(QUuid id, QString path, std::function<void(const QUuid&, qint64)> apply)
{
    const ShellResult result = co_await Shell::runAsync(sizeCommand(path));
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

QStringList appBundles()
{
    return appBundles(applicationRoots());
}

QStringList appBundles(const QStringList& roots)
{
    QStringList bundles;
    for (const QString& root : roots) {
        if (QFileInfo(root).isDir())
            collectBundles(root, 1, bundles);
    }
    return bundles;
}

std::optional<IntelOnlyApp> inspect(const QString& bundlePath)
{
    const std::optional<InfoPlist> info = InfoPlist::read(bundlePath + QStringLiteral("/Contents/Info.plist"));
    if (!info)
        return std::nullopt;
    const std::optional<QString> executable = info->string("CFBundleExecutable");
    if (!executable || executable->isEmpty())
        return std::nullopt;
    const std::optional<CPUTypes> cpuTypes =
        machOCPUTypes(bundlePath + QStringLiteral("/Contents/MacOS/") + *executable);
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
        app.name = fileNameWithoutExtension(bundlePath);
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

std::optional<QByteArray> readExecutableHeader(const QString& path)
{
    return platform::readFileStart(path, headerReadLimit);
}

std::optional<CPUTypes> machOCPUTypes(const QString& executablePath)
{
    const std::optional<QByteArray> header = readExecutableHeader(executablePath);
    if (!header)
        return std::nullopt;
    return machOCPUTypes(QByteArrayView(*header));
}

std::optional<CPUTypes> machOCPUTypes(QByteArrayView header)
{
    const std::optional<MachO::CPUTypes> types = MachO::cpuTypes(bytesOf(header));
    if (!types)
        return std::nullopt;
    return toList(*types);
}

std::optional<CPUTypes> machOCPUTypes(const QByteArray& header)
{
    return machOCPUTypes(QByteArrayView(header));
}

std::optional<CPUTypes> fatCPUTypes(QByteArrayView header, bool is64)
{
    const std::optional<MachO::CPUTypes> types = MachO::fatCPUTypes(bytesOf(header), is64);
    if (!types)
        return std::nullopt;
    return toList(*types);
}

quint32 readBE32(QByteArrayView header, qsizetype offset)
{
    return offset < 0 ? 0 : MachO::readBE32(bytesOf(header), std::size_t(offset));
}

quint32 readLE32(QByteArrayView header, qsizetype offset)
{
    return offset < 0 ? 0 : MachO::readLE32(bytesOf(header), std::size_t(offset));
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

ScanResult scan()
{
    return scan(applicationRoots());
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

QString sizeCommand(const QString& bundlePath)
{
    return QStringLiteral("du -sm ") + Quote::doubleQuoted(bundlePath) + QStringLiteral(" 2>/dev/null | cut -f1");
}

qint64 parseSizeOutput(const QString& output, const QString& bundlePath)
{
    QString text = output.trimmed();
    if (bundlePath.contains(QLatin1Char('\n')))
        text = text.section(QLatin1Char('\n'), 0, 0).trimmed();
    QStringView digits(text);
    if (digits.startsWith(u'+') || digits.startsWith(u'-'))
        digits = digits.mid(1);
    if (digits.isEmpty())
        return 0;
    for (QChar c : digits)
        if (c < u'0' || c > u'9')
            return 0;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    return ok ? value : 0;
}

QCoro::Task<void> measureSizes(QList<IntelOnlyApp> apps, std::function<void(const QUuid&, qint64)> apply)
{
    if (apps.isEmpty())
        co_return;
    // Every command starts before the first result is awaited; each child applies its own
    // result as soon as it is back, so results land in completion order.
    std::vector<QCoro::Task<void>> children;
    children.reserve(std::size_t(apps.size()));
    for (const IntelOnlyApp& app : apps)
        children.push_back(measureOne(app.id, app.path, apply));
    for (QCoro::Task<void>& child : children)
        co_await child;
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
    return QString::number(double(megabytes) / 1024.0, 'f', 1) + QStringLiteral(" GB");
}
