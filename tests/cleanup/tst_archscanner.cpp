#include "cleanup/ArchScanner.h"
#include "platform/FileManager.h"
#include "platform/Kernel.h"
#include "support/BundleFactory.h"
#include "support/FakeCommandRunner.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSemaphore>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

using namespace BundleFactory;
using CPUList = QList<qint64>;

namespace {

class ScannerFileManager final : public platform::FileManager {
public:
    QString home;
    QStringList existing;
    mutable QStringList asked;
    bool exists(const QString& path) const override
    {
        asked << path;
        return existing.contains(path);
    }
    QString homeDirectory() const override { return home; }
};

class ScannerKernel final : public platform::Kernel {
public:
    std::optional<int> arm64;
    std::optional<int> optionalArm64() const override { return arm64; }
};

// Answers du lines from a table without holding a lock while a line waits, so that one
// command can be kept waiting while the others finish.
class GateRunner final : public CommandRunner {
public:
    std::function<ShellResult(const QString&)> answer;
    ShellResult run(const QString& commandLine) override { return answer(commandLine); }

private:
    platform::Service<CommandRunner>::Override override_{*this};
};

QByteArray bytes(const char* hex)
{
    return QByteArray::fromHex(hex);
}

QByteArray repeatedFatHeader(quint32 magic, quint32 count, qsizetype recordSize)
{
    QList<quint32> types;
    for (quint32 i = 0; i < count; ++i)
        types << (i % 2 ? cpuI386 : cpuX86_64);
    return fatHeader(magic, count, types, recordSize);
}

QStringList names(const QList<IntelOnlyApp>& apps)
{
    QStringList out;
    for (const IntelOnlyApp& app : apps)
        out << app.name;
    return out;
}

bool makeFifo(const QString& path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

} // namespace

class TestArchScanner : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void readBE32AndLE32_data();
    void readBE32AndLE32();

    void headerBytes_data();
    void headerBytes();
    void fatRecordsFollowTheRecordLength();
    void fatRecordCountLimits_data();
    void fatRecordCountLimits();

    void classify_data();
    void classify();
    void label_data();
    void label();

    void headerReadStopsAt4096Bytes_data();
    void headerReadStopsAt4096Bytes();
    void specialFilesAreNotRead();

    void executableDecidesListing_data();
    void executableDecidesListing();
    void infoPlistFields_data();
    void infoPlistFields();
    void unreadableBundlesAreNotListed_data();
    void unreadableBundlesAreNotListed();
    void handWrittenXmlPlist();
    void oversizedInfoPlistIsRefused_data();
    void oversizedInfoPlistIsRefused();

    void bundleDepthsAndSkippedEntries();
    void rootsInOrderAndMissingRootsSkipped();
    void applicationRootsUseTheHomeFolder();
    void unreadableFolderIsPassedOver();

    void scanCountsSortsAndFreshIdentities();
    void sortIsLocalisedCaseInsensitiveAndStable();
    void hostileBundleNamesStayOnePath();

    void rosettaInfo_data();
    void rosettaInfo();

    void sizeCommand_data();
    void sizeCommand();
    void parseSizeOutput_data();
    void parseSizeOutput();
    void measureSizesRunsOneDuPerEntry();
    void measureSizesOfNothingRunsNothing();
    void measureSizesAppliesInCompletionOrder();
    void resultForRemovedEntryIsDropped();

    void formatSize_data();
    void formatSize();

private:
    QString makeRoot(QTemporaryDir& dir, const QString& name = QStringLiteral("Applications"))
    {
        const QString root = dir.filePath(name);
        QDir().mkpath(root);
        return root;
    }
};

void TestArchScanner::initTestCase()
{
    // The ordering must not depend on the locale of whoever runs the tests.
    QLocale::setDefault(QLocale::c());
}

// ---------------------------------------------------------------------------------------
// Header bytes

void TestArchScanner::readBE32AndLE32_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<qsizetype>("offset");
    QTest::addColumn<quint32>("big");
    QTest::addColumn<quint32>("little");

    QTest::newRow("four bytes") << bytes("01020304") << qsizetype(0) << 0x01020304u << 0x04030201u;
    QTest::newRow("at offset 1") << bytes("ff01020304") << qsizetype(1) << 0x01020304u << 0x04030201u;
    QTest::newRow("high bit") << bytes("cffaedfe") << qsizetype(0) << 0xCFFAEDFEu << 0xFEEDFACFu;
    QTest::newRow("three bytes") << bytes("010203") << qsizetype(0) << 0u << 0u;
    QTest::newRow("one short at offset") << bytes("0102030405") << qsizetype(2) << 0u << 0u;
    QTest::newRow("offset at end") << bytes("01020304") << qsizetype(4) << 0u << 0u;
    QTest::newRow("offset past end") << bytes("01020304") << qsizetype(100) << 0u << 0u;
    QTest::newRow("negative offset") << bytes("01020304") << qsizetype(-1) << 0u << 0u;
    QTest::newRow("huge offset") << bytes("01020304") << std::numeric_limits<qsizetype>::max() << 0u << 0u;
    QTest::newRow("empty") << QByteArray() << qsizetype(0) << 0u << 0u;
}

void TestArchScanner::readBE32AndLE32()
{
    QFETCH(QByteArray, data);
    QFETCH(qsizetype, offset);
    QFETCH(quint32, big);
    QFETCH(quint32, little);
    QCOMPARE(ArchScanner::readBE32(data, offset), big);
    QCOMPARE(ArchScanner::readLE32(data, offset), little);
}

void TestArchScanner::headerBytes_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("recognised");
    QTest::addColumn<CPUList>("types");

    QTest::newRow("thin LE64 x86_64") << bytes("cffaedfe07000001") << true << CPUList{0x01000007};
    QTest::newRow("thin LE64 arm64") << bytes("cffaedfe0c000001") << true << CPUList{0x0100000C};
    QTest::newRow("thin LE32 i386") << thinMachO(cpuI386, Endian::little, false) << true << CPUList{7};
    QTest::newRow("thin LE32 arm") << thinMachO(cpuARM, Endian::little, false) << true << CPUList{12};
    QTest::newRow("thin BE32 ppc") << bytes("feedface00000012") << true << CPUList{18};
    QTest::newRow("thin BE64 ppc64") << thinMachO(cpuPowerPC64, Endian::big, true) << true << CPUList{0x01000012};
    QTest::newRow("thin BE64 x86_64 (odd but valid)") << thinMachO(cpuX86_64, Endian::big) << true << CPUList{0x01000007};
    QTest::newRow("thin, exactly 8 bytes") << bytes("cefaedfe07000000") << true << CPUList{7};
    QTest::newRow("CPU type keeps its high bit unsigned")
        << bytes("cffaedfeffffffff") << true << CPUList{qint64(0xFFFFFFFFu)};
    QTest::newRow("thin, 7 bytes") << bytes("cffaedfe070000") << false << CPUList{};
    QTest::newRow("empty") << QByteArray() << false << CPUList{};
    QTest::newRow("fat x86_64 + arm64") << fatMachO({cpuX86_64, cpuARM64}) << true << CPUList{0x01000007, 0x0100000C};
    QTest::newRow("fat-64 x86_64 + i386") << fatMachO({cpuX86_64, cpuI386}, true) << true << CPUList{0x01000007, 7};
    QTest::newRow("fat keeps record order") << fatMachO({cpuPowerPC, cpuI386}) << true << CPUList{18, 7};
    QTest::newRow("fat, 8 bytes, count 1") << bytes("cafebabe00000001") << true << CPUList{};
    QTest::newRow("fat, first record cut before its CPU type")
        << fatHeader(0xCAFEBABE, 2, {cpuX86_64}).left(11) << true << CPUList{};
    QTest::newRow("fat, second record's CPU type one byte short")
        << fatHeader(0xCAFEBABE, 2, {cpuX86_64, cpuARM64}).left(8 + 20 + 3) << true << CPUList{0x01000007};
    QTest::newRow("fat, second record's CPU type just there")
        << fatHeader(0xCAFEBABE, 2, {cpuX86_64, cpuARM64}).left(8 + 20 + 4) << true << CPUList{0x01000007, 0x0100000C};
    QTest::newRow("fat-64, second CPU type one byte short")
        << fatHeader(0xCAFEBABF, 2, {cpuX86_64, cpuARM64}, 32).left(8 + 32 + 3) << true << CPUList{0x01000007};
    QTest::newRow("fat-64, second CPU type just there")
        << fatHeader(0xCAFEBABF, 2, {cpuX86_64, cpuARM64}, 32).left(8 + 32 + 4) << true << CPUList{0x01000007, 0x0100000C};
    QTest::newRow("fat count larger than records present")
        << fatHeader(0xCAFEBABE, 5, {cpuX86_64, cpuARM64}) << true << CPUList{0x01000007, 0x0100000C};
    QTest::newRow("Java 8 class file") << javaClass(52) << false << CPUList{};
    QTest::newRow("Java 1.1 class file") << javaClass(45, 3) << false << CPUList{};
    QTest::newRow("Java 21 class file") << javaClass(65) << false << CPUList{};
    QTest::newRow("script") << shellScript() << false << CPUList{};
    QTest::newRow("ELF") << bytes("7f454c4602010100000000000000000002003e00") << false << CPUList{};
    QTest::newRow("fat magic byte-swapped") << bytes("bebafeca0000000107000001") << false << CPUList{};
    QTest::newRow("zeros") << QByteArray(4096, '\0') << false << CPUList{};
}

void TestArchScanner::headerBytes()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, recognised);
    QFETCH(CPUList, types);
    const std::optional<CPUList> found = ArchScanner::machOCPUTypes(data);
    QCOMPARE(found.has_value(), recognised);
    if (recognised)
        QCOMPARE(*found, types);
}

void TestArchScanner::fatRecordsFollowTheRecordLength()
{
    // The same bytes read with 20- and with 32-byte records name different CPU types:
    // the 64-bit flag must change where the records are looked for.
    QByteArray data = fatHeader(0xCAFEBABE, 2, {cpuX86_64, cpuARM64}, 20);
    data.append(QByteArray(64, '\0'));
    QCOMPARE(*ArchScanner::fatCPUTypes(data, false), (CPUList{0x01000007, 0x0100000C}));
    QCOMPARE(*ArchScanner::fatCPUTypes(data, true), (CPUList{0x01000007, 0}));
    // machOCPUTypes picks the flag from the magic number.
    data[3] = char(0xBF);
    QCOMPARE(*ArchScanner::machOCPUTypes(data), (CPUList{0x01000007, 0}));
}

void TestArchScanner::fatRecordCountLimits_data()
{
    QTest::addColumn<quint32>("magic");
    QTest::addColumn<quint32>("count");
    QTest::addColumn<qsizetype>("recordSize");
    QTest::addColumn<bool>("recognised");

    QTest::newRow("count 0") << 0xCAFEBABEu << 0u << qsizetype(20) << false;
    QTest::newRow("count 1") << 0xCAFEBABEu << 1u << qsizetype(20) << true;
    QTest::newRow("count 31") << 0xCAFEBABEu << 31u << qsizetype(20) << true;
    QTest::newRow("count 32") << 0xCAFEBABEu << 32u << qsizetype(20) << false;
    QTest::newRow("fat-64 count 0") << 0xCAFEBABFu << 0u << qsizetype(32) << false;
    QTest::newRow("fat-64 count 31") << 0xCAFEBABFu << 31u << qsizetype(32) << true;
    QTest::newRow("fat-64 count 32") << 0xCAFEBABFu << 32u << qsizetype(32) << false;
    QTest::newRow("count 0xFFFFFFFF") << 0xCAFEBABEu << 0xFFFFFFFFu << qsizetype(20) << false;
}

void TestArchScanner::fatRecordCountLimits()
{
    QFETCH(quint32, magic);
    QFETCH(quint32, count);
    QFETCH(qsizetype, recordSize);
    QFETCH(bool, recognised);
    const QByteArray data = repeatedFatHeader(magic, std::min(count, 40u), recordSize);
    QByteArray withCount = data;
    for (int i = 0; i < 4; ++i)
        withCount[4 + i] = char((count >> (24 - 8 * i)) & 0xFF);
    const std::optional<CPUList> found = ArchScanner::machOCPUTypes(withCount);
    QCOMPARE(found.has_value(), recognised);
    if (recognised)
        QCOMPARE(found->size(), qsizetype(count));
}

// ---------------------------------------------------------------------------------------
// Classification and label

void TestArchScanner::classify_data()
{
    QTest::addColumn<CPUList>("types");
    QTest::addColumn<AppArchitecture>("expected");

    QTest::newRow("arm64 + x86_64") << CPUList{0x0100000C, 0x01000007} << AppArchitecture::universal;
    QTest::newRow("arm64 + i386 + ppc") << CPUList{0x0100000C, 7, 18} << AppArchitecture::universal;
    QTest::newRow("arm64") << CPUList{0x0100000C} << AppArchitecture::appleSilicon;
    QTest::newRow("arm64 + ppc64") << CPUList{0x01000012, 0x0100000C} << AppArchitecture::appleSilicon;
    QTest::newRow("x86_64") << CPUList{0x01000007} << AppArchitecture::intelOnly;
    QTest::newRow("i386") << CPUList{7} << AppArchitecture::intelOnly;
    QTest::newRow("x86_64 + ppc") << CPUList{18, 0x01000007} << AppArchitecture::intelOnly;
    QTest::newRow("x86_64 + arm32") << CPUList{0x01000007, 12} << AppArchitecture::intelOnly;
    QTest::newRow("ppc") << CPUList{18} << AppArchitecture::powerPC;
    QTest::newRow("ppc64") << CPUList{0x01000012} << AppArchitecture::powerPC;
    QTest::newRow("arm32 only") << CPUList{12} << AppArchitecture::unknown;
    QTest::newRow("unknown values") << CPUList{0, 0xFFFFFFFF, 0x0100000B} << AppArchitecture::unknown;
    QTest::newRow("empty") << CPUList{} << AppArchitecture::unknown;
}

void TestArchScanner::classify()
{
    QFETCH(CPUList, types);
    QFETCH(AppArchitecture, expected);
    QCOMPARE(ArchScanner::classify(types), expected);
}

void TestArchScanner::label_data()
{
    QTest::addColumn<CPUList>("types");
    QTest::addColumn<QString>("expected");

    QTest::newRow("x86_64") << CPUList{0x01000007} << QStringLiteral("x86_64");
    QTest::newRow("x86_64 + i386") << CPUList{0x01000007, 7} << QStringLiteral("x86_64 + i386");
    QTest::newRow("order is fixed, not the records'") << CPUList{7, 0x01000007} << QStringLiteral("x86_64 + i386");
    QTest::newRow("i386 + PowerPC") << CPUList{18, 7} << QStringLiteral("i386 + PowerPC");
    QTest::newRow("PowerPC once for both kinds") << CPUList{18, 0x01000012} << QStringLiteral("PowerPC");
    QTest::newRow("all three") << CPUList{0x01000012, 7, 0x01000007} << QStringLiteral("x86_64 + i386 + PowerPC");
    QTest::newRow("arm64 is not named") << CPUList{0x0100000C, 0x01000007} << QStringLiteral("x86_64");
    QTest::newRow("nothing known") << CPUList{12} << QStringLiteral("不明");
    QTest::newRow("empty") << CPUList{} << QStringLiteral("不明");
}

void TestArchScanner::label()
{
    QFETCH(CPUList, types);
    QFETCH(QString, expected);
    QCOMPARE(ArchScanner::label(types), expected);
}

// ---------------------------------------------------------------------------------------
// Reading executables

void TestArchScanner::headerReadStopsAt4096Bytes_data()
{
    QTest::addColumn<qsizetype>("fileSize");
    QTest::addColumn<qsizetype>("readSize");

    QTest::newRow("1 MiB") << qsizetype(1 << 20) << qsizetype(4096);
    QTest::newRow("4097 bytes") << qsizetype(4097) << qsizetype(4096);
    QTest::newRow("4096 bytes") << qsizetype(4096) << qsizetype(4096);
    QTest::newRow("100 bytes") << qsizetype(100) << qsizetype(100);
    QTest::newRow("empty") << qsizetype(0) << qsizetype(0);
}

void TestArchScanner::headerReadStopsAt4096Bytes()
{
    QFETCH(qsizetype, fileSize);
    QFETCH(qsizetype, readSize);
    QTemporaryDir dir;
    QByteArray content(fileSize, Qt::Uninitialized);
    for (qsizetype i = 0; i < fileSize; ++i)
        content[i] = char((i * 7 + i / 251) & 0xFF);
    const QString path = dir.filePath(QStringLiteral("exe"));
    QVERIFY(writeFile(path, content, true));

    const std::optional<QByteArray> header = ArchScanner::readExecutableHeader(path);
    QVERIFY(header.has_value());
    QCOMPARE(header->size(), readSize);
    QCOMPARE(*header, content.left(readSize));
}

void TestArchScanner::specialFilesAreNotRead()
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    QVERIFY(makeFifo(fifo));
    // Opening a FIFO without a writer would never return.
    QVERIFY(!ArchScanner::readExecutableHeader(fifo).has_value());
    QVERIFY(!ArchScanner::machOCPUTypes(fifo).has_value());
    QVERIFY(!ArchScanner::readExecutableHeader(dir.path()).has_value());
    QVERIFY(!ArchScanner::readExecutableHeader(dir.filePath(QStringLiteral("missing"))).has_value());

    // A link to an executable is read through.
    const QString target = dir.filePath(QStringLiteral("real"));
    QVERIFY(writeFile(target, thinMachO(cpuX86_64), true));
    const QString link = dir.filePath(QStringLiteral("link"));
    QVERIFY(QFile::link(target, link));
    QCOMPARE(*ArchScanner::machOCPUTypes(link), (CPUList{0x01000007}));
}

// ---------------------------------------------------------------------------------------
// Inspecting bundles

void TestArchScanner::executableDecidesListing_data()
{
    QTest::addColumn<QByteArray>("executable");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<AppArchitecture>("architecture");
    QTest::addColumn<QString>("archLabel");

    const auto none = AppArchitecture::unknown;
    QTest::newRow("CF FA ED FE 07 00 00 01") << bytes("cffaedfe07000001030000000200000000000000")
                                             << true << AppArchitecture::intelOnly << QStringLiteral("x86_64");
    QTest::newRow("CF FA ED FE 0C 00 00 01") << bytes("cffaedfe0c000001000000000200000000000000")
                                             << false << none << QString();
    QTest::newRow("fat x86_64 + arm64") << fatMachO({cpuX86_64, cpuARM64}) << false << none << QString();
    QTest::newRow("fat x86_64 + i386") << fatMachO({cpuX86_64, cpuI386}) << true << AppArchitecture::intelOnly
                                       << QStringLiteral("x86_64 + i386");
    QTest::newRow("FE ED FA CE, type 18") << thinMachO(cpuPowerPC, Endian::big, false) << true
                                          << AppArchitecture::powerPC << QStringLiteral("PowerPC");
    QTest::newRow("fat 18 + 7") << fatMachO({cpuPowerPC, cpuI386}) << true << AppArchitecture::intelOnly
                                << QStringLiteral("i386 + PowerPC");
    QTest::newRow("fat ppc + ppc64") << fatMachO({cpuPowerPC, cpuPowerPC64}) << true << AppArchitecture::powerPC
                                     << QStringLiteral("PowerPC");
    QTest::newRow("fat-64 x86_64 only") << fatMachO({cpuX86_64}, true) << true << AppArchitecture::intelOnly
                                        << QStringLiteral("x86_64");
    QTest::newRow("thin LE32 i386") << thinMachO(cpuI386, Endian::little, false) << true
                                    << AppArchitecture::intelOnly << QStringLiteral("i386");
    QTest::newRow("fat record count 0") << fatHeader(0xCAFEBABE, 0, {}) << false << none << QString();
    QTest::newRow("fat record count 32") << repeatedFatHeader(0xCAFEBABE, 32, 20) << false << none << QString();
    QTest::newRow("script") << shellScript() << false << none << QString();
    QTest::newRow("7 bytes") << bytes("cffaedfe070000") << false << none << QString();
    QTest::newRow("8 bytes, fat magic, count 1") << bytes("cafebabe00000001") << false << none << QString();
    QTest::newRow("Java class file") << javaClass(52) << false << none << QString();
    QTest::newRow("32-bit ARM only") << thinMachO(cpuARM, Endian::little, false) << false << none << QString();
    QTest::newRow("empty file") << QByteArray() << false << none << QString();
}

void TestArchScanner::executableDecidesListing()
{
    QFETCH(QByteArray, executable);
    QFETCH(bool, listed);
    QFETCH(AppArchitecture, architecture);
    QFETCH(QString, archLabel);

    for (PlistFormat format : {PlistFormat::xml, PlistFormat::binary}) {
        QTemporaryDir dir;
        const QString bundle = createApp(dir.path(), QStringLiteral("Tool.app"), executable, QStringLiteral("Tool"),
                                         QStringLiteral("com.example.tool"), format);
        QVERIFY(!bundle.isEmpty());
        const std::optional<IntelOnlyApp> app = ArchScanner::inspect(bundle);
        QCOMPARE(app.has_value(), listed);
        if (!listed)
            continue;
        QCOMPARE(app->architecture, architecture);
        QCOMPARE(app->archLabel, archLabel);
        QCOMPARE(app->path, bundle);
        QCOMPARE(app->sizeMB, qint64(0));
        QCOMPARE(app->isSelected, false);
        QVERIFY(!app->id.isNull());
    }
}

void TestArchScanner::infoPlistFields_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QVariantMap>("keys");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("bundleID");
    QTest::addColumn<QString>("version");

    const QString display = QStringLiteral("CFBundleDisplayName");
    const QString bundleName = QStringLiteral("CFBundleName");
    const QString identifier = QStringLiteral("CFBundleIdentifier");
    const QString shortVersion = QStringLiteral("CFBundleShortVersionString");
    const QString bundleVersion = QStringLiteral("CFBundleVersion");

    for (const auto& [format, tag] : {std::pair{PlistFormat::xml, "xml"}, std::pair{PlistFormat::binary, "binary"}}) {
        const int f = int(format);
        const char* formatName = tag;
        auto row = [formatName](const char* name) -> QTestData& { return QTest::newRow(qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(formatName), QLatin1String(name)))); };
        row("display name wins") << QStringLiteral("Foo.app")
                                 << QVariantMap{{display, QStringLiteral("Foo Pro")}, {bundleName, QStringLiteral("Foo")},
                                                {identifier, QStringLiteral("com.example.foo")},
                                                {shortVersion, QStringLiteral("2.5")}, {bundleVersion, QStringLiteral("250")}}
                                 << f << QStringLiteral("Foo Pro") << QStringLiteral("com.example.foo") << QStringLiteral("2.5");
        row("bundle name next") << QStringLiteral("Foo.app")
                                << QVariantMap{{bundleName, QStringLiteral("Foo")}, {bundleVersion, QStringLiteral("250")}}
                                << f << QStringLiteral("Foo") << QString() << QStringLiteral("250");
        row("no names, no version keys") << QStringLiteral("My Tool.app") << QVariantMap{}
                                         << f << QStringLiteral("My Tool") << QString() << QStringLiteral("—");
        row("only the last extension goes") << QStringLiteral("Foo.bar.app") << QVariantMap{}
                                            << f << QStringLiteral("Foo.bar") << QString() << QStringLiteral("—");
        row("non-text display name is passed over")
            << QStringLiteral("Foo.app") << QVariantMap{{display, 5}, {bundleName, QStringLiteral("Foo Name")}}
            << f << QStringLiteral("Foo Name") << QString() << QStringLiteral("—");
        row("non-text values count as absent")
            << QStringLiteral("Bar.app")
            << QVariantMap{{bundleName, true}, {identifier, 42}, {shortVersion, 3.5}, {bundleVersion, QStringLiteral("7")}}
            << f << QStringLiteral("Bar") << QString() << QStringLiteral("7");
        row("empty display name is still a text")
            << QStringLiteral("Baz.app") << QVariantMap{{display, QString()}, {bundleName, QStringLiteral("Baz")}}
            << f << QString() << QString() << QStringLiteral("—");
        row("Japanese texts") << QStringLiteral("Nihongo.app")
                              << QVariantMap{{display, QStringLiteral("日本語エディタ")}, {shortVersion, QStringLiteral("版 1")}}
                              << f << QStringLiteral("日本語エディタ") << QString() << QStringLiteral("版 1");
    }
}

void TestArchScanner::infoPlistFields()
{
    QFETCH(QString, fileName);
    QFETCH(QVariantMap, keys);
    QFETCH(int, format);
    QFETCH(QString, name);
    QFETCH(QString, bundleID);
    QFETCH(QString, version);

    QTemporaryDir dir;
    App layout;
    layout.fileName = fileName;
    layout.info = keys;
    layout.info.insert(QStringLiteral("CFBundleExecutable"), QStringLiteral("Main"));
    layout.format = PlistFormat(format);
    layout.executable = thinMachO(cpuX86_64);
    const QString bundle = create(dir.path(), layout);
    QVERIFY(!bundle.isEmpty());

    const std::optional<IntelOnlyApp> app = ArchScanner::inspect(bundle);
    QVERIFY(app.has_value());
    QCOMPARE(app->name, name);
    QCOMPARE(app->bundleID, bundleID);
    QCOMPARE(app->version, version);
}

void TestArchScanner::unreadableBundlesAreNotListed_data()
{
    QTest::addColumn<QString>("setup");
    QTest::newRow("no Info.plist") << QStringLiteral("noPlist");
    QTest::newRow("garbage Info.plist") << QStringLiteral("garbage");
    QTest::newRow("empty Info.plist") << QStringLiteral("emptyPlist");
    QTest::newRow("Info.plist is an array") << QStringLiteral("array");
    QTest::newRow("Info.plist is a folder") << QStringLiteral("plistFolder");
    QTest::newRow("Info.plist is a FIFO") << QStringLiteral("plistFifo");
    QTest::newRow("no CFBundleExecutable") << QStringLiteral("noExecutableKey");
    QTest::newRow("empty CFBundleExecutable") << QStringLiteral("emptyExecutableKey");
    QTest::newRow("CFBundleExecutable is a number") << QStringLiteral("numberExecutableKey");
    QTest::newRow("executable missing") << QStringLiteral("noExecutable");
    QTest::newRow("executable is a folder") << QStringLiteral("executableFolder");
    QTest::newRow("executable is a FIFO") << QStringLiteral("executableFifo");
}

void TestArchScanner::unreadableBundlesAreNotListed()
{
    QFETCH(QString, setup);
    QTemporaryDir dir;
    App layout;
    layout.fileName = QStringLiteral("Broken.app");
    layout.info = appInfo(QStringLiteral("Broken"), QStringLiteral("com.example.broken"), QStringLiteral("1"),
                        QStringLiteral("Broken"));
    layout.executable = thinMachO(cpuX86_64);
    const QString bundle = dir.filePath(layout.fileName);
    const QString plistPath = bundle + QStringLiteral("/Contents/Info.plist");
    const QString exePath = bundle + QStringLiteral("/Contents/MacOS/Broken");

    if (setup == QLatin1String("noPlist")) {
        layout.writeInfoPlist = false;
    } else if (setup == QLatin1String("garbage")) {
        layout.rawInfoPlist = QByteArrayLiteral("<?xml version=\"1.0\"?><plist><dict><key>CFBundleExecutable");
    } else if (setup == QLatin1String("emptyPlist")) {
        layout.rawInfoPlist = QByteArray();
    } else if (setup == QLatin1String("array")) {
        layout.rawInfoPlist = QByteArrayLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array><string>Broken</string></array></plist>\n");
    } else if (setup == QLatin1String("plistFolder") || setup == QLatin1String("plistFifo")) {
        layout.writeInfoPlist = false;
    } else if (setup == QLatin1String("noExecutableKey")) {
        layout.info.remove(QStringLiteral("CFBundleExecutable"));
    } else if (setup == QLatin1String("emptyExecutableKey")) {
        layout.info.insert(QStringLiteral("CFBundleExecutable"), QString());
    } else if (setup == QLatin1String("numberExecutableKey")) {
        layout.info.insert(QStringLiteral("CFBundleExecutable"), 7);
    } else if (setup == QLatin1String("noExecutable") || setup == QLatin1String("executableFolder")
               || setup == QLatin1String("executableFifo")) {
        layout.writeExecutable = false;
    }
    QCOMPARE(create(dir.path(), layout), bundle);
    if (setup == QLatin1String("plistFolder"))
        QVERIFY(QDir().mkpath(plistPath));
    if (setup == QLatin1String("plistFifo"))
        QVERIFY(makeFifo(plistPath));
    if (setup == QLatin1String("executableFolder"))
        QVERIFY(QDir().mkpath(exePath));
    if (setup == QLatin1String("executableFifo"))
        QVERIFY(makeFifo(exePath));

    QVERIFY(!ArchScanner::inspect(bundle).has_value());
    // It still counts as scanned.
    const ScanResult result = ArchScanner::scan({dir.path()});
    QCOMPARE(result.totalScanned, qint64(1));
    QVERIFY(result.intelApps.isEmpty());
}

void TestArchScanner::handWrittenXmlPlist()
{
    // As a build tool writes it: declaration, doctype, tabs, and keys in any order.
    const QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n<dict>\n"
        "\t<key>CFBundleVersion</key>\n\t<string>1042</string>\n"
        "\t<key>CFBundleExecutable</key>\n\t<string>Legacy Tool</string>\n"
        "\t<key>CFBundleIdentifier</key>\n\t<string>com.example.legacy</string>\n"
        "\t<key>LSMinimumSystemVersion</key>\n\t<string>10.6</string>\n"
        "\t<key>CFBundleName</key>\n\t<string>Legacy &amp; Co</string>\n"
        "</dict>\n</plist>\n";
    QTemporaryDir dir;
    App layout;
    layout.fileName = QStringLiteral("Legacy.app");
    layout.rawInfoPlist = xml;
    layout.writeExecutable = false;
    const QString bundle = create(dir.path(), layout);
    QVERIFY(writeFile(bundle + QStringLiteral("/Contents/MacOS/Legacy Tool"), fatMachO({cpuPowerPC, cpuI386}), true));

    const std::optional<IntelOnlyApp> app = ArchScanner::inspect(bundle);
    QVERIFY(app.has_value());
    QCOMPARE(app->name, QStringLiteral("Legacy & Co"));
    QCOMPARE(app->bundleID, QStringLiteral("com.example.legacy"));
    QCOMPARE(app->version, QStringLiteral("1042"));
    QCOMPARE(app->archLabel, QStringLiteral("i386 + PowerPC"));
}

void TestArchScanner::oversizedInfoPlistIsRefused_data()
{
    QTest::addColumn<qsizetype>("padding");
    QTest::addColumn<bool>("listed");
    QTest::newRow("1 MiB") << qsizetype(1 << 20) << true;
    QTest::newRow("9 MiB") << qsizetype(9 << 20) << false;
}

void TestArchScanner::oversizedInfoPlistIsRefused()
{
    // No real Info.plist comes near megabytes; a huge one is not loaded into memory.
    QFETCH(qsizetype, padding);
    QFETCH(bool, listed);
    QTemporaryDir dir;
    App layout;
    layout.fileName = QStringLiteral("Padded.app");
    layout.info = appInfo(QStringLiteral("Padded"), QString(), QString(), QStringLiteral("Main"));
    layout.info.insert(QStringLiteral("Padding"), QString(padding, QLatin1Char('x')));
    layout.executable = thinMachO(cpuX86_64);
    const QString bundle = create(dir.path(), layout);
    QVERIFY(QFileInfo(bundle + QStringLiteral("/Contents/Info.plist")).size() > padding);
    QCOMPARE(ArchScanner::inspect(bundle).has_value(), listed);
}

// ---------------------------------------------------------------------------------------
// Finding bundles

void TestArchScanner::bundleDepthsAndSkippedEntries()
{
    QTemporaryDir dir;
    const QString root = makeRoot(dir);
    const QString outside = makeRoot(dir, QStringLiteral("Elsewhere"));
    const QByteArray intel = thinMachO(cpuX86_64);

    const QStringList expected = {
        createApp(root, QStringLiteral("Depth1.app"), intel),
        createApp(root + QStringLiteral("/Utilities"), QStringLiteral("Depth2.app"), intel),
        createApp(root + QStringLiteral("/A/B"), QStringLiteral("Depth3.app"), intel),
        root + QStringLiteral("/Plain File.app"),
        root + QStringLiteral("/Linked.app"),
    };
    QVERIFY(writeFile(expected[3], QByteArrayLiteral("not a folder")));
    QVERIFY(QFile::link(createApp(outside, QStringLiteral("Target.app"), intel), expected[4]));

    // Not to be found:
    createApp(root + QStringLiteral("/A/B/C"), QStringLiteral("Depth4.app"), intel);
    createApp(root, QStringLiteral(".Hidden.app"), intel);
    createApp(root + QStringLiteral("/.hidden"), QStringLiteral("InHidden.app"), intel);
    createApp(root + QStringLiteral("/A/.cache"), QStringLiteral("InHidden2.app"), intel);
    createApp(expected[0] + QStringLiteral("/Contents/Applications"), QStringLiteral("Nested.app"), intel);
    createApp(root + QStringLiteral("/Plugins.bundle"), QStringLiteral("InBundle.app"), intel);
    createApp(root + QStringLiteral("/Installer.pkg/Contents"), QStringLiteral("InPackage.app"), intel);
    createApp(root + QStringLiteral("/Shout.APP"), QStringLiteral("InUpperCasePackage.app"), intel);
    createApp(outside + QStringLiteral("/Folder"), QStringLiteral("BehindLink.app"), intel);
    QVERIFY(QFile::link(outside + QStringLiteral("/Folder"), root + QStringLiteral("/LinkedFolder")));
    QVERIFY(writeFile(root + QStringLiteral("/A/notes.txt"), "x"));

    const QStringList found = ArchScanner::appBundles({root});
    QCOMPARE(QSet<QString>(found.begin(), found.end()), QSet<QString>(expected.begin(), expected.end()));
    QCOMPARE(found.size(), expected.size());

    // Every entry counts as scanned; only the real Intel bundles are listed.
    const ScanResult result = ArchScanner::scan({root});
    QCOMPARE(result.totalScanned, qint64(5));
    QCOMPARE(names(result.intelApps),
             (QStringList{QStringLiteral("Depth1"), QStringLiteral("Depth2"), QStringLiteral("Depth3"),
                          QStringLiteral("Target")}));
}

void TestArchScanner::rootsInOrderAndMissingRootsSkipped()
{
    QTemporaryDir dir;
    const QString first = makeRoot(dir, QStringLiteral("First"));
    const QString second = makeRoot(dir, QStringLiteral("Second"));
    const QByteArray arm = thinMachO(cpuARM64);
    const QString a = createApp(second, QStringLiteral("Alpha.app"), arm);
    const QString z = createApp(first, QStringLiteral("Zulu.app"), arm);
    const QString fileRoot = dir.filePath(QStringLiteral("file"));
    QVERIFY(writeFile(fileRoot, "x"));

    QCOMPARE(ArchScanner::appBundles({dir.filePath(QStringLiteral("missing")), first, fileRoot, second}),
             (QStringList{z, a}));
    QCOMPARE(ArchScanner::appBundles({second, first}), (QStringList{a, z}));
    QCOMPARE(ArchScanner::appBundles({}), QStringList());
}

void TestArchScanner::applicationRootsUseTheHomeFolder()
{
    ScannerFileManager files;
    files.home = QStringLiteral("/Users/hanako");
    platform::Service<platform::FileManager>::Override use(files);
    QCOMPARE(ArchScanner::applicationRoots(),
             (QStringList{QStringLiteral("/Applications"), QStringLiteral("/Users/hanako/Applications")}));
}

void TestArchScanner::unreadableFolderIsPassedOver()
{
    if (::geteuid() == 0)
        QSKIP("permissions do not keep root out");
    QTemporaryDir dir;
    const QString root = makeRoot(dir);
    const QString before = createApp(root, QStringLiteral("Before.app"), thinMachO(cpuX86_64));
    createApp(root + QStringLiteral("/Locked"), QStringLiteral("Hidden.app"), thinMachO(cpuX86_64));
    const QString after = createApp(root, QStringLiteral("Zafter.app"), thinMachO(cpuX86_64));
    QVERIFY(QFile::setPermissions(root + QStringLiteral("/Locked"), QFileDevice::Permissions()));
    const QStringList found = ArchScanner::appBundles({root});
    QFile::setPermissions(root + QStringLiteral("/Locked"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(found, (QStringList{before, after}));
}

// ---------------------------------------------------------------------------------------
// Scanning

void TestArchScanner::scanCountsSortsAndFreshIdentities()
{
    QTemporaryDir dir;
    const QString root = makeRoot(dir);
    const QString home = makeRoot(dir, QStringLiteral("home/Applications"));
    createApp(root, QStringLiteral("Native.app"), thinMachO(cpuARM64));
    createApp(root, QStringLiteral("Universal.app"), fatMachO({cpuX86_64, cpuARM64}));
    createApp(root + QStringLiteral("/Games"), QStringLiteral("Old Game.app"), thinMachO(cpuI386, Endian::little, false));
    createApp(home, QStringLiteral("Classic.app"), thinMachO(cpuPowerPC, Endian::big, false));
    createApp(root, QStringLiteral("Script.app"), shellScript());
    createApp(root, QStringLiteral("Editor.app"), fatMachO({cpuX86_64, cpuI386}), QStringLiteral("editor"));

    const ScanResult first = ArchScanner::scan({root, home});
    QCOMPARE(first.totalScanned, qint64(6));
    QCOMPARE(names(first.intelApps),
             (QStringList{QStringLiteral("Classic"), QStringLiteral("editor"), QStringLiteral("Old Game")}));
    QCOMPARE(first.intelApps[0].architecture, AppArchitecture::powerPC);
    QCOMPARE(first.intelApps[0].path, home + QStringLiteral("/Classic.app"));
    QCOMPARE(first.intelApps[2].archLabel, QStringLiteral("i386"));

    QSet<QUuid> ids;
    for (const IntelOnlyApp& app : first.intelApps)
        ids.insert(app.id);
    QCOMPARE(ids.size(), 3);
    const ScanResult second = ArchScanner::scan({root, home});
    for (const IntelOnlyApp& app : second.intelApps)
        QVERIFY(!ids.contains(app.id));

    QCOMPARE(ArchScanner::scan({dir.filePath(QStringLiteral("nothing"))}).totalScanned, qint64(0));
}

void TestArchScanner::sortIsLocalisedCaseInsensitiveAndStable()
{
    QTemporaryDir dir;
    const QString first = makeRoot(dir, QStringLiteral("one"));
    const QString second = makeRoot(dir, QStringLiteral("two"));
    const QByteArray intel = thinMachO(cpuX86_64);
    const QStringList displayNames = {QStringLiteral("zeta"),  QStringLiteral("ゼータ"), QStringLiteral("Äther"),
                                      QStringLiteral("Banana"), QStringLiteral("apple"),  QStringLiteral("Same")};
    for (int i = 0; i < displayNames.size(); ++i)
        createApp(first, QStringLiteral("App%1.app").arg(i), intel, displayNames[i]);
    // Equal names in another letter case: discovery order decides.
    createApp(second, QStringLiteral("Other.app"), intel, QStringLiteral("same"));

    const QStringList expected = {QStringLiteral("apple"), QStringLiteral("Äther"), QStringLiteral("Banana"),
                                  QStringLiteral("Same"),  QStringLiteral("same"),  QStringLiteral("zeta"),
                                  QStringLiteral("ゼータ")};
    QCOMPARE(names(ArchScanner::scan({first, second}).intelApps), expected);
    QStringList swapped = expected;
    swapped.swapItemsAt(3, 4);
    QCOMPARE(names(ArchScanner::scan({second, first}).intelApps), swapped);

    // The same under an explicit Japanese locale.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    const QStringList underJapanese = names(ArchScanner::scan({first, second}).intelApps);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(underJapanese, expected);
}

void TestArchScanner::hostileBundleNamesStayOnePath()
{
    QTemporaryDir dir;
    const QString root = makeRoot(dir);
    const QStringList fileNames = {QStringLiteral("It's \"Quoted\".app"), QStringLiteral("$(touch pwned).app"),
                                   QStringLiteral("Line\nBreak.app"), QStringLiteral("`id` \\ $HOME.app")};
    QStringList paths;
    for (const QString& fileName : fileNames)
        paths << createApp(root, fileName, thinMachO(cpuX86_64));
    QVERIFY(!paths.contains(QString()));

    const ScanResult result = ArchScanner::scan({root});
    QCOMPARE(result.totalScanned, qint64(4));
    QStringList listedPaths;
    for (const IntelOnlyApp& app : result.intelApps)
        listedPaths << app.path;
    QCOMPARE(QSet<QString>(listedPaths.begin(), listedPaths.end()), QSet<QString>(paths.begin(), paths.end()));

    FakeCommandRunner runner;
    runner.otherwise([](const QString&) { return ShellResult{QStringLiteral("3"), QString(), 0}; });
    QList<IntelOnlyApp> apps = result.intelApps;
    QCoro::waitFor(measureSizes(apps, [&apps](const QUuid& id, qint64 mb) { applyMeasuredSize(apps, id, mb); }));
    QStringList expectedLines;
    for (const QString& path : paths) {
        QString escaped = path;
        escaped.replace(QLatin1String("\\"), QLatin1String("\\\\"))
            .replace(QLatin1String("\""), QLatin1String("\\\""))
            .replace(QLatin1String("$"), QLatin1String("\\$"))
            .replace(QLatin1String("`"), QLatin1String("\\`"));
        expectedLines << QStringLiteral("du -sm \"") + escaped + QStringLiteral("\" 2>/dev/null | cut -f1");
    }
    QStringList commands = runner.commands();
    commands.sort();
    expectedLines.sort();
    QCOMPARE(commands, expectedLines);
    for (const IntelOnlyApp& app : apps)
        QCOMPARE(app.sizeMB, qint64(3));
}

// ---------------------------------------------------------------------------------------
// Host facts

void TestArchScanner::rosettaInfo_data()
{
    QTest::addColumn<int>("arm64");   // -1: the key does not exist
    QTest::addColumn<bool>("runtimePresent");
    QTest::addColumn<bool>("appleSilicon");
    QTest::addColumn<bool>("rosetta");

    QTest::newRow("Apple silicon with Rosetta") << 1 << true << true << true;
    QTest::newRow("Apple silicon without Rosetta") << 1 << false << true << false;
    QTest::newRow("key reads 0") << 0 << false << false << false;
    QTest::newRow("Intel: no such key") << -1 << false << false << false;
    QTest::newRow("odd value") << 2 << true << false << true;
}

void TestArchScanner::rosettaInfo()
{
    QFETCH(int, arm64);
    QFETCH(bool, runtimePresent);
    QFETCH(bool, appleSilicon);
    QFETCH(bool, rosetta);

    const QString runtime = QStringLiteral("/Library/Apple/usr/libexec/oah/libRosettaRuntime");
    ScannerKernel kernel;
    if (arm64 >= 0)
        kernel.arm64 = arm64;
    ScannerFileManager files;
    if (runtimePresent)
        files.existing << runtime;
    platform::Service<platform::Kernel>::Override useKernel(kernel);
    platform::Service<platform::FileManager>::Override useFiles(files);

    const RosettaInfo info = RosettaInfo::current();
    QCOMPARE(info.isAppleSilicon, appleSilicon);
    QCOMPARE(info.isRosettaInstalled, rosetta);
    QCOMPARE(files.asked, QStringList{runtime});
}

// ---------------------------------------------------------------------------------------
// Sizes

void TestArchScanner::sizeCommand_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("command");

    QTest::newRow("ordinary") << QStringLiteral("/Applications/Old Game.app")
                              << QStringLiteral("du -sm \"/Applications/Old Game.app\" 2>/dev/null | cut -f1");
    QTest::newRow("single quote untouched") << QStringLiteral("/Applications/It's.app")
                                            << QStringLiteral("du -sm \"/Applications/It's.app\" 2>/dev/null | cut -f1");
    QTest::newRow("double quote") << QStringLiteral("/Applications/a\"b.app")
                                  << QStringLiteral("du -sm \"/Applications/a\\\"b.app\" 2>/dev/null | cut -f1");
    QTest::newRow("command substitution") << QStringLiteral("/Applications/$(rm -rf ~).app")
                                          << QStringLiteral("du -sm \"/Applications/\\$(rm -rf ~).app\" 2>/dev/null | cut -f1");
    QTest::newRow("back-quotes and backslash") << QStringLiteral("/A/`id`\\.app")
                                               << QStringLiteral("du -sm \"/A/\\`id\\`\\\\.app\" 2>/dev/null | cut -f1");
    QTest::newRow("newline") << QStringLiteral("/A/x\ny.app") << QStringLiteral("du -sm \"/A/x\ny.app\" 2>/dev/null | cut -f1");
}

void TestArchScanner::sizeCommand()
{
    QFETCH(QString, path);
    QFETCH(QString, command);
    QCOMPARE(::sizeCommand(path), command);
}

void TestArchScanner::parseSizeOutput_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("path");
    QTest::addColumn<qint64>("expected");

    const QString plain = QStringLiteral("/Applications/Foo.app");
    QTest::newRow("number") << QStringLiteral("245") << plain << qint64(245);
    QTest::newRow("blanks and newline around") << QStringLiteral("  17\n") << plain << qint64(17);
    QTest::newRow("zero") << QStringLiteral("0") << plain << qint64(0);
    QTest::newRow("plus sign") << QStringLiteral("+12") << plain << qint64(12);
    QTest::newRow("minus sign") << QStringLiteral("-3") << plain << qint64(-3);
    QTest::newRow("empty") << QString() << plain << qint64(0);
    QTest::newRow("sign only") << QStringLiteral("+") << plain << qint64(0);
    QTest::newRow("garbage") << QStringLiteral("du: cannot access") << plain << qint64(0);
    QTest::newRow("digits then text") << QStringLiteral("12M") << plain << qint64(0);
    QTest::newRow("inner blank") << QStringLiteral("1 2") << plain << qint64(0);
    QTest::newRow("two lines") << QStringLiteral("12\n34") << plain << qint64(0);
    QTest::newRow("decimal point") << QStringLiteral("1.5") << plain << qint64(0);
    QTest::newRow("hexadecimal") << QStringLiteral("0x10") << plain << qint64(0);
    QTest::newRow("non-ASCII digits") << QStringLiteral("١٢") << plain << qint64(0);
    QTest::newRow("overflow") << QStringLiteral("99999999999999999999") << plain << qint64(0);
    QTest::newRow("largest") << QStringLiteral("9223372036854775807") << plain << qint64(9223372036854775807LL);
    QTest::newRow("path with newline: du's line continues")
        << QStringLiteral("42\nBreak.app") << QStringLiteral("/A/Line\nBreak.app") << qint64(42);
    QTest::newRow("path with newline: garbage stays garbage")
        << QStringLiteral("x\nBreak.app") << QStringLiteral("/A/Line\nBreak.app") << qint64(0);
}

void TestArchScanner::parseSizeOutput()
{
    QFETCH(QString, output);
    QFETCH(QString, path);
    QFETCH(qint64, expected);
    QCOMPARE(::parseSizeOutput(output, path), expected);
}

void TestArchScanner::measureSizesRunsOneDuPerEntry()
{
    FakeCommandRunner runner;
    runner.on(QStringLiteral("du -sm \"/Applications/Old Game.app\" 2>/dev/null | cut -f1"), {QStringLiteral("845"), {}, 0});
    runner.on(QStringLiteral("du -sm \"/Users/hanako/Applications/Classic.app\" 2>/dev/null | cut -f1"),
              {QStringLiteral("garbage"), {}, 0});
    runner.on(QStringLiteral("du -sm \"/Applications/Gone.app\" 2>/dev/null | cut -f1"), {QString(), {}, 1});

    QList<IntelOnlyApp> apps(3);
    apps[0].path = QStringLiteral("/Applications/Old Game.app");
    apps[1].path = QStringLiteral("/Users/hanako/Applications/Classic.app");
    apps[2].path = QStringLiteral("/Applications/Gone.app");
    for (IntelOnlyApp& app : apps) {
        app.id = QUuid::createUuid();
        app.sizeMB = 99;
    }

    QList<QUuid> applied;
    QCoro::waitFor(measureSizes(apps, [&](const QUuid& id, qint64 mb) {
        applied << id;
        QVERIFY(applyMeasuredSize(apps, id, mb));
    }));
    QCOMPARE(applied.size(), 3);
    QCOMPARE(apps[0].sizeMB, qint64(845));
    QCOMPARE(apps[1].sizeMB, qint64(0));
    QCOMPARE(apps[2].sizeMB, qint64(0));
    QStringList commands = runner.commands();
    commands.sort();
    QCOMPARE(commands, (QStringList{QStringLiteral("du -sm \"/Applications/Gone.app\" 2>/dev/null | cut -f1"),
                                    QStringLiteral("du -sm \"/Applications/Old Game.app\" 2>/dev/null | cut -f1"),
                                    QStringLiteral("du -sm \"/Users/hanako/Applications/Classic.app\" 2>/dev/null | cut -f1")}));
}

void TestArchScanner::measureSizesOfNothingRunsNothing()
{
    FakeCommandRunner runner;
    bool called = false;
    QCoro::waitFor(measureSizes({}, [&](const QUuid&, qint64) { called = true; }));
    QVERIFY(!called);
    QVERIFY(runner.commands().isEmpty());
}

void TestArchScanner::measureSizesAppliesInCompletionOrder()
{
    // The first command is held until the second one's result has been applied: that can
    // only finish if both run at once and results are applied as they come.
    QList<IntelOnlyApp> apps(2);
    apps[0].id = QUuid::createUuid();
    apps[0].path = QStringLiteral("/Applications/Slow.app");
    apps[1].id = QUuid::createUuid();
    apps[1].path = QStringLiteral("/Applications/Fast.app");

    QSemaphore slowMayFinish;
    GateRunner runner;
    runner.answer = [&](const QString& line) -> ShellResult {
        if (line.contains(QLatin1String("Slow.app"))) {
            if (!slowMayFinish.tryAcquire(1, 60000))
                return {QStringLiteral("-1"), {}, 0};
            return {QStringLiteral("10"), {}, 0};
        }
        return {QStringLiteral("20"), {}, 0};
    };

    QList<QUuid> order;
    QCoro::waitFor(measureSizes(apps, [&](const QUuid& id, qint64 mb) {
        order << id;
        applyMeasuredSize(apps, id, mb);
        if (id == apps[1].id)
            slowMayFinish.release();
    }));
    QCOMPARE(order, (QList<QUuid>{apps[1].id, apps[0].id}));
    QCOMPARE(apps[0].sizeMB, qint64(10));
    QCOMPARE(apps[1].sizeMB, qint64(20));
}

void TestArchScanner::resultForRemovedEntryIsDropped()
{
    // Commands wait until the list has changed, so no result can arrive before that.
    QSemaphore listChanged;
    QAtomicInt commandCount;
    GateRunner runner;
    runner.answer = [&](const QString&) -> ShellResult {
        commandCount.fetchAndAddOrdered(1);
        if (!listChanged.tryAcquire(1, 60000))
            return {QStringLiteral("-1"), {}, 0};
        return {QStringLiteral("7"), {}, 0};
    };
    QList<IntelOnlyApp> apps(2);
    apps[0].id = QUuid::createUuid();
    apps[0].path = QStringLiteral("/Applications/Kept.app");
    apps[1].id = QUuid::createUuid();
    apps[1].path = QStringLiteral("/Applications/Removed.app");
    const QUuid removedId = apps[1].id;

    // The screen's list loses an entry while the measurement runs.
    QCoro::Task<void> task = measureSizes(apps, [&](const QUuid& id, qint64 mb) {
        const bool applied = applyMeasuredSize(apps, id, mb);
        QCOMPARE(applied, id != removedId);
    });
    apps.removeAt(1);
    listChanged.release(2);
    QCoro::waitFor(task);
    QCOMPARE(apps.size(), 1);
    QCOMPARE(apps[0].sizeMB, qint64(7));
    QCOMPARE(commandCount.loadRelaxed(), 2);
}

void TestArchScanner::formatSize_data()
{
    QTest::addColumn<qint64>("megabytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("0") << qint64(0) << QStringLiteral("0 MB");
    QTest::newRow("1") << qint64(1) << QStringLiteral("1 MB");
    QTest::newRow("1023") << qint64(1023) << QStringLiteral("1023 MB");
    QTest::newRow("1024") << qint64(1024) << QStringLiteral("1.0 GB");
    QTest::newRow("1536") << qint64(1536) << QStringLiteral("1.5 GB");
    QTest::newRow("2048 (300 + 1748)") << qint64(2048) << QStringLiteral("2.0 GB");
    QTest::newRow("1075 rounds") << qint64(1075) << QStringLiteral("1.0 GB");
    QTest::newRow("1 TiB") << qint64(1048576) << QStringLiteral("1024.0 GB");
    QTest::newRow("negative") << qint64(-5) << QStringLiteral("-5 MB");
}

void TestArchScanner::formatSize()
{
    QFETCH(qint64, megabytes);
    QFETCH(QString, text);
    QCOMPARE(::formatSize(megabytes), text);
    // Not the process's locale: a German one would write "1,5".
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString underGerman = ::formatSize(megabytes);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(underGerman, text);
}

QTEST_GUILESS_MAIN(TestArchScanner)
#include "tst_archscanner.moc"
