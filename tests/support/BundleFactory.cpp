#include "support/BundleFactory.h"

#include <QDir>
#include <QFileInfo>

#include <plist/plist.h>

namespace BundleFactory {

namespace {

void append32(QByteArray& bytes, std::initializer_list<quint32> values, Endian endian = Endian::big)
{
    for (quint32 value : values)
        for (int i = 0; i < 4; ++i)
            bytes.append(char(value >> (endian == Endian::big ? 24 - 8 * i : 8 * i)));
}

plist_t toPlist(const QVariant& value)
{
    const int type = value.typeId();
    if (type != QMetaType::QVariantMap)
        return type == QMetaType::Bool ? plist_new_bool(value.toBool())
            : type == QMetaType::Int || type == QMetaType::LongLong ? plist_new_uint(value.toULongLong())
            : type == QMetaType::Double ? plist_new_real(value.toDouble()) : plist_new_string(value.toString().toUtf8().constData());
    plist_t dict = plist_new_dict();
    const QVariantMap map = value.toMap();
    for (auto it = map.begin(); it != map.end(); ++it)
        plist_dict_set_item(dict, it.key().toUtf8().constData(), toPlist(it.value()));
    return dict;
}

QByteArray plist(const QVariantMap& dictionary, PlistFormat format)
{
    plist_t root = toPlist(dictionary);
    char* data = nullptr;
    uint32_t length = 0;
    format == PlistFormat::xml ? plist_to_xml(root, &data, &length) : plist_to_bin(root, &data, &length);
    const QByteArray bytes(data, qsizetype(length));
    format == PlistFormat::xml ? plist_to_xml_free(data) : plist_to_bin_free(data);
    plist_free(root);
    return bytes;
}

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

QVariantMap appInfo(const QString& name, const QString& bundleID, const QString& version, const QString& executable)
{
    QVariantMap info{{"CFBundlePackageType", "APPL"}, {"CFBundleName", name}, {"CFBundleIdentifier", bundleID},
                     {"CFBundleShortVersionString", version}, {"CFBundleExecutable", executable}};
    info.removeIf([](const auto& entry) { return entry.value().toString().isEmpty(); });
    return info;
}

bool writeFile(const QString& path, const QByteArray& bytes, bool executable)
{
    QFile file(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(bytes) != bytes.size())
        return false;
    return !executable || file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther);
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
