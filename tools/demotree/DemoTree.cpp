#include "DemoTree.h"

#include "exec/SafetyBoundary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <plist/plist.h>

namespace DemoTree {

namespace {

// Left in the tree's root so that a later run knows the folder is its own to replace.
const QString kMarker = QStringLiteral(".tessarin-demo-tree");

// The demo installer's media tool: as the real one, root only, progress in lines; it writes the
// installer's name at the start of the disk and shows the new volume.
const char kCreateInstallMedia[] = R"sh(#!/bin/sh
volume=''
while [ $# -gt 0 ]; do
  case $1 in
    --volume) volume=${2:-}; shift 2 || shift ;;
    --nointeraction) shift ;;
    *) echo "Usage: createinstallmedia --volume <path to volume to convert> [--nointeraction]"; exit 1 ;;
  esac
done
[ "$(id -u)" = 0 ] || { echo "This tool needs to be run by root."; exit 1; }
[ -n "$volume" ] && [ -w "$volume" ] || { echo "$volume is not a valid volume mount point."; exit 1; }
echo "Erasing disk: 0%... 10%... 20%... 30%... 100%"
printf 'Install macOS Sequoia (demo media)\n' | dd of="$volume" conv=notrunc status=none || exit 1
echo "Making disk bootable..."
echo "Copying to disk: 0%... 10%... 20%... 30%... 40%... 50%... 60%... 70%... 80%... 90%... 100%"
mkdir -p "/Volumes/Install macOS Sequoia" || exit 1
echo "Install media now available at \"/Volumes/Install macOS Sequoia\""
)sh";

void append32(QByteArray& bytes, std::initializer_list<quint32> values, Endian endian = Endian::big)
{
    for (quint32 value : values)
        for (int i = 0; i < 4; ++i)
            bytes.append(char(value >> (endian == Endian::big ? 24 - 8 * i : 8 * i)));
}

plist_t toPlist(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool: return plist_new_bool(value.toBool());
    case QMetaType::Int:
    case QMetaType::LongLong: return plist_new_uint(value.toULongLong());
    case QMetaType::Double: return plist_new_real(value.toDouble());
    case QMetaType::QStringList: {
        plist_t array = plist_new_array();
        for (const QString& item : value.toStringList())
            plist_array_append_item(array, plist_new_string(item.toUtf8().constData()));
        return array;
    }
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            plist_dict_set_item(dict, it.key().toUtf8().constData(), toPlist(it.value()));
        return dict;
    }
    default: return plist_new_string(value.toString().toUtf8().constData());
    }
}

// One application of the tree and what it leaves in the Library.
struct DemoApp {
    QString folder;     // relative to the tree's root
    QString fileName;
    QString bundleID;
    QByteArray executable;
    bool binaryPlist = false;
    bool leftovers = false;
};

class Writer {
public:
    Writer(QString root, QString home) : root_(std::move(root)), home_(std::move(home)) {}

    void dir(const QString& path)
    {
        if (!QDir().mkpath(root_ + path))
            errors << QStringLiteral("cannot create %1").arg(path);
    }
    void file(const QString& path, const QByteArray& bytes, bool executable = false)
    {
        if (!writeFile(root_ + path, bytes, executable))
            errors << QStringLiteral("cannot write %1").arg(path);
    }
    // A file of `size` bytes of which only the first `allocated` bytes take room: large enough
    // for the storage screen's search for large files, and measurable by du, at little cost.
    void sparse(const QString& path, qint64 size, int allocated = 8 << 20)
    {
        QFile f(root_ + path);
        const QByteArray head(allocated, 'm');
        if (!QDir().mkpath(QFileInfo(f).absolutePath()) || !f.open(QIODevice::WriteOnly) || f.write(head) != head.size()
            || !f.resize(size))
            errors << QStringLiteral("cannot write %1").arg(path);
    }
    // Cache-like content: measurable sizes with real bytes.
    void filler(const QString& folder, int files, int kib)
    {
        for (int i = 1; i <= files; ++i)
            file(folder + QStringLiteral("/blob-%1.cache").arg(i), QByteArray(kib * 1024, char('a' + i % 26)));
    }
    void app(const DemoApp& a)
    {
        const QString bundle = a.folder + QLatin1Char('/') + a.fileName;
        const QString name = a.fileName.chopped(4);
        const QVariantMap info{{"CFBundlePackageType", "APPL"}, {"CFBundleName", name},
                               {"CFBundleIdentifier", a.bundleID}, {"CFBundleShortVersionString", "1.0"},
                               {"CFBundleExecutable", "Main"}};
        file(bundle + QStringLiteral("/Contents/Info.plist"), plist(info, a.binaryPlist));
        file(bundle + QStringLiteral("/Contents/MacOS/Main"), a.executable, true);
        file(bundle + QStringLiteral("/Contents/Resources/readme.txt"), QByteArray(64 * 1024, 'r'));
        if (!a.leftovers)
            return;
        const QString lib = home_ + QStringLiteral("/Library/");
        filler(lib + QStringLiteral("Application Support/") + name, 2, 256);
        filler(lib + QStringLiteral("Caches/") + a.bundleID, 3, 512);
        file(lib + QStringLiteral("Preferences/") + a.bundleID + QStringLiteral(".plist"),
             plist({{"LastWindow", "main"}, {"LaunchCount", 7}}, true));
        file(lib + QStringLiteral("Saved Application State/") + a.bundleID + QStringLiteral(".savedState/windows.plist"),
             plist({{"Frame", "0 0 800 600"}}, false));
        dir(lib + QStringLiteral("Containers/") + a.bundleID + QStringLiteral("/Data"));
    }
    void launchJob(const QString& path, const QString& label, bool binary)
    {
        file(path, plist({{"Label", label}, {"ProgramArguments", QStringList{"/usr/bin/true", label}},
                          {"RunAtLoad", true}},
                         binary));
    }

    QStringList errors;

private:
    QString root_;
    QString home_;
};

} // namespace

QByteArray thinMachO(quint32 cpuType, Endian endian, bool is64)
{
    QByteArray bytes;
    // magic, cputype, cpusubtype ALL, MH_EXECUTE, no load commands, flags
    append32(bytes, {is64 ? 0xFEEDFACFu : 0xFEEDFACEu, cpuType, 3u, 2u, 0u, 0u, 0x00200085u}, endian);
    return bytes.leftJustified(4096, '\0');
}

QByteArray fatMachO(const QList<quint32>& cpuTypes, bool is64)
{
    QByteArray bytes;
    append32(bytes, {is64 ? 0xCAFEBABFu : 0xCAFEBABEu, quint32(cpuTypes.size())});
    for (qsizetype i = 0; i < cpuTypes.size(); ++i) {
        append32(bytes, {cpuTypes[i], 3u});
        // offset (64-bit: two words), size, align, (64-bit: reserved)
        append32(bytes, is64 ? std::initializer_list<quint32>{0u, quint32(i + 1) * 4096, 0u, 4096u, 12u, 0u}
                             : std::initializer_list<quint32>{quint32(i + 1) * 4096, 4096u, 12u});
    }
    bytes = bytes.leftJustified(4096, '\0');
    for (quint32 cpu : cpuTypes)
        bytes += thinMachO(cpu, cpu == cpuPowerPC || cpu == cpuPowerPC64 ? Endian::big : Endian::little, cpu & 0x01000000);
    return bytes;
}

QByteArray fatHeader(quint32 magic, quint32 count, const QList<quint32>& cpuTypes, qsizetype recordSize)
{
    QByteArray bytes;
    append32(bytes, {magic, count});
    for (quint32 cpu : cpuTypes)
        append32(bytes, {cpu}), bytes.append(QByteArray(recordSize - 4, '\0'));
    return bytes;
}

QByteArray plist(const QVariantMap& dictionary, bool binary)
{
    plist_t root = toPlist(dictionary);
    char* data = nullptr;
    uint32_t length = 0;
    binary ? plist_to_bin(root, &data, &length) : plist_to_xml(root, &data, &length);
    const QByteArray bytes(data, qsizetype(length));
    binary ? plist_to_bin_free(data) : plist_to_xml_free(data);
    plist_free(root);
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes, bool executable)
{
    QFile file(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(bytes) != bytes.size())
        return false;
    return !executable || file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther);
}

QString temporaryDirectory(const QString& user)
{
    return QStringLiteral("/private/var/folders/dm/%1/T").arg(user);
}

QStringList generate(const QString& rootFolder, const QString& user, bool keep)
{
    const QString root = SafetyBoundary::normalForm(QFileInfo(rootFolder).absoluteFilePath());
    if (user.isEmpty() || user.contains(QLatin1Char('/')) || user.startsWith(QLatin1Char('.')))
        return {QStringLiteral("not a user name: %1").arg(user)};
    const QDir existing(root);
    if (existing.exists() && !existing.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        if (!QFileInfo::exists(root + QLatin1Char('/') + kMarker))
            return {QStringLiteral("%1 is not empty and was not made by this tool").arg(root)};
        if (keep)
            return {};
        // Only the tree this tool made, and only the folder that was asked for.
        const SafetyBoundary::Outcome removal = SafetyBoundary().removeItem(root, Allowance({root}));
        if (!removal.succeeded())
            return {QStringLiteral("cannot replace %1: %2").arg(root, removal.refusal.value_or(QStringLiteral("not everything could be removed")))};
    }

    const QString home = QStringLiteral("/Users/") + user;
    Writer w(root, home);
    for (const char* folder : {"/System/Library", "/Library/Application Support", "/Library/Preferences",
                               "/Library/PrivilegedHelperTools", "/private/etc/sudoers.d", "/Volumes", "/Users/Shared",
                               "/opt/homebrew/bin"})
        w.dir(QString::fromLatin1(folder));
    for (const char* folder : {"/Library/Application Support", "/Library/Preferences", "/Library/Containers",
                               "/Library/Saved Application State", "/Library/LaunchAgents", "/Library/Logs",
                               "/Library/Caches", "/Documents", "/Desktop", "/Applications"})
        w.dir(home + QString::fromLatin1(folder));

    // Every header the architecture scanner tells apart, and names a command line must survive.
    const QString apps = QStringLiteral("/Applications");
    const QList<DemoApp> bundles{
        {apps, "Photon Editor.app", "com.orvelle.demo.photon", thinMachO(cpuARM64), false, true},
        {apps, "Legacy Mixer.app", "com.orvelle.demo.mixer", thinMachO(cpuX86_64), true, true},
        {apps, "Universal Notes.app", "com.orvelle.demo.notes", fatMachO({cpuX86_64, cpuARM64}), false, false},
        {apps, "Old Scanner.app", "com.orvelle.demo.scanner", fatMachO({cpuX86_64, cpuI386}), true, true},
        {apps, "Classic Draw.app", "com.orvelle.demo.draw", thinMachO(cpuPowerPC, Endian::big, false), false, false},
        {apps, "Wide Render.app", "com.orvelle.demo.render", fatMachO({cpuX86_64, cpuARM64}, true), true, false},
        {apps, "Launcher Script.app", "com.orvelle.demo.script", "#!/bin/sh\nexit 0\n", false, false},
        {apps, "Broken Download.app", "com.orvelle.demo.broken", fatMachO({cpuX86_64, cpuARM64}).left(6), false, false},
        {apps, "Quote's Tool.app", "com.orvelle.demo.quote", thinMachO(cpuX86_64), false, true},
        {apps, "$(touch pwned).app", "com.orvelle.demo.subst", thinMachO(cpuX86_64), true, false},
        {apps, "Line\nFeed.app", "com.orvelle.demo.linefeed", thinMachO(cpuARM64), false, false},
        {apps, "-dash.app", "com.orvelle.demo.dash", thinMachO(cpuX86_64), false, false},
        {apps, "写真ビューア 📷.app", "com.orvelle.demo.photos", fatMachO({cpuX86_64, cpuARM64}), true, true},
        {"/System/Applications", "Calculator.app", "com.orvelle.demo.calculator", fatMachO({cpuX86_64, cpuARM64}), true, false},
        {"/System/Applications", "Notes.app", "com.orvelle.demo.sysnotes", thinMachO(cpuARM64), false, false},
        {home + "/Applications", "Pocket Timer.app", "com.orvelle.demo.timer", thinMachO(cpuX86_64), false, true},
    };
    for (const DemoApp& app : bundles)
        w.app(app);
    // An installer already downloaded, whose media tool writes onto the demo's USB stick.
    w.app({apps, "Install macOS Sequoia.app", "com.orvelle.demo.installassistant", fatMachO({cpuX86_64, cpuARM64}), false, false});
    w.file(apps + QStringLiteral("/Install macOS Sequoia.app/Contents/Resources/createinstallmedia"), kCreateInstallMedia, true);
    // The USB stick: an empty 16 GB image that the sandbox shows as /dev/disk4.
    w.sparse(QStringLiteral("/private/var/db/demo-disks/usb-stick.img"), 16LL << 30, 0);
    w.file(QStringLiteral("/Library/Preferences/com.orvelle.demo.mixer.plist"), plist({{"Licensed", true}}, false));

    // Caches, logs and temporary files for every cleaner group.
    w.filler(QStringLiteral("/Library/Caches/com.orvelle.demo.system"), 4, 512);
    w.filler(QStringLiteral("/Library/Logs/DiagnosticReports"), 2, 128);
    w.filler(QStringLiteral("/opt/homebrew/var/cache/downloads"), 2, 512);
    w.filler(QStringLiteral("/private/tmp/demo-session"), 2, 256);
    w.filler(QStringLiteral("/private/var/tmp/demo-spool"), 2, 256);
    w.filler(temporaryDirectory(user) + QStringLiteral("/demo-scratch"), 2, 256);
    w.filler(home + QStringLiteral("/Library/Caches/Homebrew/downloads"), 2, 512);
    w.filler(home + QStringLiteral("/Library/Caches/com.apple.Safari"), 2, 512);
    w.filler(home + QStringLiteral("/Library/Logs/Photon Editor"), 2, 64);
    w.filler(home + QStringLiteral("/Library/Developer/Xcode/DerivedData/Demo-abc"), 3, 512);
    w.file(home + QStringLiteral("/.Trash/old notes.txt"), "thrown away\n");

    // Launch jobs, one of them in the binary format.
    w.launchJob(QStringLiteral("/Library/LaunchAgents/com.orvelle.demo.agent.plist"), "com.orvelle.demo.agent", false);
    w.launchJob(QStringLiteral("/Library/LaunchDaemons/com.orvelle.demo.daemon.plist"), "com.orvelle.demo.daemon", true);
    w.launchJob(home + QStringLiteral("/Library/LaunchAgents/com.orvelle.demo.helper.plist"), "com.orvelle.demo.helper", false);

    // Big files for the storage screen that take little room on the host.
    w.sparse(home + QStringLiteral("/Movies/Holiday 2025.mov"), 6LL << 30);
    w.sparse(home + QStringLiteral("/Movies/Screen Recording.mov"), 3LL << 30);
    w.sparse(home + QStringLiteral("/Downloads/InstallAssistant-old.dmg"), 12LL << 30);
    w.file(home + QStringLiteral("/Documents/Project/notes.md"), "# Notes\n\nBack me up.\n");
    w.file(home + QStringLiteral("/Documents/Project/data.csv"), "a,b\n1,2\n");

    w.file(QLatin1Char('/') + kMarker, "made by tessarin-demo-tree\n");
    return w.errors;
}

} // namespace DemoTree
