#include "support/BundleFactory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <plist/plist.h>

namespace BundleFactory {

namespace {

void append32(QByteArray& bytes, quint32 value, Endian endian)
{
    if (endian == Endian::big) {
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.append(char((value >> shift) & 0xFF));
    } else {
        for (int shift = 0; shift <= 24; shift += 8)
            bytes.append(char((value >> shift) & 0xFF));
    }
}

void append64(QByteArray& bytes, quint64 value)
{
    append32(bytes, quint32(value >> 32), Endian::big);
    append32(bytes, quint32(value & 0xFFFFFFFFu), Endian::big);
}

plist_t toPlist(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return plist_new_uint(value.toULongLong());
    case QMetaType::Double:
        return plist_new_real(value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray data = value.toByteArray();
        return plist_new_data(data.constData(), uint64_t(data.size()));
    }
    case QMetaType::QVariantList: {
        plist_t array = plist_new_array();
        for (const QVariant& item : value.toList())
            plist_array_append_item(array, toPlist(item));
        return array;
    }
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            plist_dict_set_item(dict, it.key().toUtf8().constData(), toPlist(it.value()));
        return dict;
    }
    default:
        return plist_new_string(value.toString().toUtf8().constData());
    }
}

} // namespace

QByteArray thinMachO(quint32 cpuType, Endian endian, bool is64, qsizetype size)
{
    QByteArray bytes;
    append32(bytes, is64 ? 0xFEEDFACF : 0xFEEDFACE, endian);
    append32(bytes, cpuType, endian);
    append32(bytes, 3, endian);             // cpusubtype (ALL)
    append32(bytes, 2, endian);             // filetype MH_EXECUTE
    append32(bytes, 0, endian);             // ncmds
    append32(bytes, 0, endian);             // sizeofcmds
    append32(bytes, 0x00200085, endian);    // flags
    if (is64)
        append32(bytes, 0, endian);         // reserved
    if (size < bytes.size())
        bytes.truncate(size);
    else
        bytes.append(QByteArray(size - bytes.size(), '\0'));
    return bytes;
}

QByteArray fatMachO(const QList<quint32>& cpuTypes, bool is64)
{
    constexpr quint32 sliceSize = 4096;
    QByteArray bytes;
    append32(bytes, is64 ? 0xCAFEBABF : 0xCAFEBABE, Endian::big);
    append32(bytes, quint32(cpuTypes.size()), Endian::big);
    for (qsizetype i = 0; i < cpuTypes.size(); ++i) {
        const quint64 offset = quint64(i + 1) * sliceSize;
        append32(bytes, cpuTypes[i], Endian::big);
        append32(bytes, 3, Endian::big);
        if (is64) {
            append64(bytes, offset);
            append64(bytes, sliceSize);
            append32(bytes, 12, Endian::big);   // align 2^12
            append32(bytes, 0, Endian::big);
        } else {
            append32(bytes, quint32(offset), Endian::big);
            append32(bytes, sliceSize, Endian::big);
            append32(bytes, 12, Endian::big);
        }
    }
    bytes.append(QByteArray(sliceSize - bytes.size(), '\0'));
    for (quint32 cpu : cpuTypes) {
        const bool powerPC = cpu == cpuPowerPC || cpu == cpuPowerPC64;
        bytes.append(thinMachO(cpu, powerPC ? Endian::big : Endian::little, (cpu & 0x01000000) != 0, sliceSize));
    }
    return bytes;
}

QByteArray fatHeader(quint32 magic, quint32 count, const QList<quint32>& cpuTypes, qsizetype recordSize)
{
    QByteArray bytes;
    append32(bytes, magic, Endian::big);
    append32(bytes, count, Endian::big);
    for (quint32 cpu : cpuTypes) {
        QByteArray record;
        append32(record, cpu, Endian::big);
        record.append(QByteArray(recordSize - 4, '\0'));
        bytes.append(record);
    }
    return bytes;
}

QByteArray shellScript()
{
    return QByteArrayLiteral("#!/bin/sh\nexec /usr/bin/true \"$@\"\n");
}

QByteArray javaClass(quint16 major, quint16 minor)
{
    QByteArray bytes;
    append32(bytes, 0xCAFEBABE, Endian::big);
    append32(bytes, (quint32(minor) << 16) | major, Endian::big);
    // constant_pool_count 1 (empty), access flags, this/super class, no members
    bytes.append(QByteArray::fromHex("0001" "0021" "0000" "0000" "0000" "0000" "0000" "0000"));
    return bytes;
}

QByteArray plist(const QVariantMap& dictionary, PlistFormat format)
{
    plist_t root = toPlist(dictionary);
    char* data = nullptr;
    uint32_t length = 0;
    QByteArray bytes;
    if (format == PlistFormat::xml) {
        plist_to_xml(root, &data, &length);
        bytes = QByteArray(data, qsizetype(length));
        plist_to_xml_free(data);
    } else {
        plist_to_bin(root, &data, &length);
        bytes = QByteArray(data, qsizetype(length));
        plist_to_bin_free(data);
    }
    plist_free(root);
    return bytes;
}

QVariantMap appInfo(const QString& name, const QString& bundleID, const QString& version, const QString& executable)
{
    QVariantMap info;
    info.insert(QStringLiteral("CFBundlePackageType"), QStringLiteral("APPL"));
    if (!name.isEmpty())
        info.insert(QStringLiteral("CFBundleName"), name);
    if (!bundleID.isEmpty())
        info.insert(QStringLiteral("CFBundleIdentifier"), bundleID);
    if (!version.isEmpty())
        info.insert(QStringLiteral("CFBundleShortVersionString"), version);
    if (!executable.isEmpty())
        info.insert(QStringLiteral("CFBundleExecutable"), executable);
    return info;
}

bool writeFile(const QString& path, const QByteArray& bytes, bool executable)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (file.write(bytes) != bytes.size())
        return false;
    file.close();
    if (executable)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                            | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                            | QFileDevice::ExeOther);
    return true;
}

QString create(const QString& parentFolder, const App& app)
{
    const QString bundle = parentFolder + QLatin1Char('/') + app.fileName;
    if (!QDir().mkpath(bundle + QStringLiteral("/Contents/MacOS")))
        return QString();
    if (app.writeInfoPlist) {
        const QByteArray plistBytes = app.rawInfoPlist ? *app.rawInfoPlist : plist(app.info, app.format);
        if (!writeFile(bundle + QStringLiteral("/Contents/Info.plist"), plistBytes))
            return QString();
    }
    const QString executableName = app.info.value(QStringLiteral("CFBundleExecutable")).toString();
    if (app.writeExecutable && !executableName.isEmpty()) {
        if (!writeFile(bundle + QStringLiteral("/Contents/MacOS/") + executableName, app.executable, true))
            return QString();
    }
    return bundle;
}

QString createApp(const QString& parentFolder, const QString& fileName, const QByteArray& executable,
                  const QString& displayName, const QString& bundleID, PlistFormat format)
{
    App app;
    app.fileName = fileName;
    QString name = displayName;
    if (name.isEmpty()) {
        name = fileName;
        if (name.endsWith(QLatin1String(".app")))
            name.chop(4);
    }
    app.info = appInfo(name, bundleID, QStringLiteral("1.0"), QStringLiteral("Main"));
    app.format = format;
    app.executable = executable;
    return create(parentFolder, app);
}

} // namespace BundleFactory
