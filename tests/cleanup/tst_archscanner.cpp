#include "cleanup/ArchScanner.h"
#include "cleanup/InstalledApp.h"
#include "platform/Kernel.h"
#include "support/BundleFactory.h"
#include "support/FakeCommandRunner.h"
#include "support/ScriptedFileManager.h"

#include <QSemaphore>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace BundleFactory;
using CPUList = QList<qint64>;

namespace {

constexpr qint64 x86 = 0x01000007, arm64 = 0x0100000C, ppc = 18, ppc64 = 0x01000012;

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

// A fat header claiming `count` records, with up to 40 x86_64 ones.
QByteArray countedFat(quint32 magic, quint32 count)
{ return fatHeader(magic, count, QList<quint32>(std::min(count, 40u), cpuX86_64), magic == 0xCAFEBABF ? 32 : 20); }

QStringList names(const QList<IntelOnlyApp>& apps)
{
    QStringList out;
    for (const IntelOnlyApp& app : apps)
        out << app.name;
    return out;
}

IntelOnlyApp entry(const QString& name) { return IntelOnlyApp{QUuid::createUuid(), name, {}, "/A/" + name + ".app", {}, {}, {}, 0, false}; }

bool makeFifo(const QString& path) { return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0; }

struct FakeKernel final : platform::Kernel {
    std::optional<int> arm64;
    std::optional<int> optionalArm64() const override { return arm64; }
};

} // namespace

class TestArchScanner : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }   // the order must not depend on the runner's locale

    void headerBytes()
    {
        const QByteArray two64 = fatHeader(0xCAFEBABF, 2, {cpuX86_64, cpuARM64}, 32);
        const std::pair<QByteArray, std::optional<CPUList>> rows[] = {
            {hex("cffaedfe07000001"), CPUList{x86}},                         // thin, little-endian, 64-bit
            {hex("feedface00000012"), CPUList{ppc}},                         // thin, big-endian, 32-bit
            {thinMachO(cpuPowerPC64, Endian::big, true), CPUList{ppc64}},
            {hex("cefaedfe07000000"), CPUList{7}},                           // exactly 8 bytes
            {hex("cffaedfeffffffff"), CPUList{qint64(0xFFFFFFFFu)}},         // the CPU type stays unsigned
            {hex("cffaedfe070000"), std::nullopt},                           // 7 bytes
            {fatMachO({cpuX86_64, cpuARM64}), CPUList{x86, arm64}},
            {fatMachO({cpuX86_64, cpuI386}, true), CPUList{x86, 7}},         // fat-64
            {hex("cafebabe00000001"), CPUList{}},                            // records cut off by the end
            {two64.left(8 + 32 + 3), CPUList{x86}},                          // 64-bit records are longer
            {two64.left(8 + 32 + 4), CPUList{x86, arm64}},
            {countedFat(0xCAFEBABE, 0), std::nullopt},                       // 1 to 31 records; more is a Java class
            {countedFat(0xCAFEBABF, 32), std::nullopt},
            {countedFat(0xCAFEBABE, 0xFFFFFFFF), std::nullopt},
            {"#!/bin/sh\nexit 0\n", std::nullopt},
            {hex("bebafeca0000000107000001"), std::nullopt},                 // fat magic byte-swapped
        };
        for (const auto& [data, types] : rows)
            QCOMPARE(ArchScanner::machOCPUTypes(data), types);
        QCOMPARE(ArchScanner::machOCPUTypes(countedFat(0xCAFEBABF, 31)), CPUList(31, x86));
    }

    void classifyAndLabel()
    {
        const std::tuple<CPUList, AppArchitecture, QString> rows[] = {
            {{arm64, 7, ppc}, AppArchitecture::universal, "i386 + PowerPC"},
            {{ppc64, arm64}, AppArchitecture::appleSilicon, "PowerPC"},
            {{7, x86}, AppArchitecture::intelOnly, "x86_64 + i386"},   // the label's order is fixed
            {{x86, 12}, AppArchitecture::intelOnly, "x86_64"},
            {{ppc64, 7, x86}, AppArchitecture::intelOnly, "x86_64 + i386 + PowerPC"},
            {{ppc, ppc64}, AppArchitecture::powerPC, "PowerPC"},
            {{0, 0xFFFFFFFF, 12}, AppArchitecture::unknown, "不明"},
        };
        for (const auto& [types, architecture, label] : rows)
            QCOMPARE(std::pair(ArchScanner::classify(types), ArchScanner::label(types)), std::pair(architecture, label));
    }

    // What gets a bundle listed, and every way of not being readable: each setup with the
    // executable's bytes and the label listed ("" when not listed).
    void inspectDecidesListing()
    {
        const QByteArray intel = thinMachO(cpuX86_64);
        QList<std::tuple<QString, QByteArray, QString>> rows{
            {"", intel, "x86_64"}, {"", thinMachO(cpuPowerPC, Endian::big, false), "PowerPC"}, {"", fatMachO({cpuX86_64, cpuARM64}), ""},
            {"sparse", intel, "x86_64"}, {"linkedExecutable", intel, "x86_64"}};   // sparse: a 64 GiB executable, only its start is read
        for (const char* setup : {"oversized", "noPlist", "garbage", "array", "plistFifo", "noExecutableKey",
                                  "numberExecutableKey", "noExecutable", "executableFolder", "executableFifo"})
            rows.append({setup, intel, ""});
        for (const auto& [setup, executable, label] : rows) {
            QTemporaryDir dir;
            App layout{"Tool.app", appInfo("Tool", "com.example.tool", "1", "Tool"), PlistFormat::xml,
                       std::nullopt, !setup.startsWith("plist") && setup != "noPlist", executable,
                       !setup.startsWith("executable") && setup != "noExecutable" && setup != "linkedExecutable"};
            const QString bundle = dir.filePath(layout.fileName), plist = bundle + "/Contents/Info.plist", exe = bundle + "/Contents/MacOS/Tool";
            const QMap<QString, QByteArray> raw{{"garbage", "<?xml version=\"1.0\"?><plist><dict><key>CFBundleExecutable"},
                                                {"array", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>Tool</string></array></plist>"}};
            if (raw.contains(setup))
                layout.rawInfoPlist = raw[setup];
            if (setup == "oversized")
                layout.info.insert("Padding", QString(9 << 20, QLatin1Char('x')));
            if (setup.endsWith("ExecutableKey"))
                setup.startsWith("no") ? void(layout.info.remove("CFBundleExecutable")) : void(layout.info.insert("CFBundleExecutable", 7));
            QCOMPARE(create(dir.path(), layout), bundle);
            if (setup == "executableFolder")
                QVERIFY(QDir().mkpath(exe));
            if (setup.endsWith("Fifo"))
                QVERIFY(makeFifo(setup == "plistFifo" ? plist : exe));   // opening one would wait for a writer forever
            if (setup == "linkedExecutable")
                QVERIFY(writeFile(dir.filePath("real"), executable, true) && QFile::link(dir.filePath("real"), exe));
            QFile file(exe);
            if (setup == "sparse")
                QVERIFY(file.open(QIODevice::ReadWrite) && file.resize(qint64(64) << 30));
            const std::optional<IntelOnlyApp> app = ArchScanner::inspect(bundle);
            QCOMPARE(app ? app->archLabel + " " + app->path : QString(), label.isEmpty() ? QString() : label + " " + bundle);
            QVERIFY(!app || app->architecture == (label == "PowerPC" ? AppArchitecture::powerPC : AppArchitecture::intelOnly));
            QCOMPARE(ArchScanner::scan({dir.path()}).totalScanned, qint64(1));   // still counted
        }
    }

    void infoPlistFields()
    {
        struct Row { const char* fileName; QVariantMap keys; const char *name, *bundleID, *version; };
        const Row rows[] = {
            {"Foo.app", {{"CFBundleDisplayName", "Foo Pro"}, {"CFBundleName", "Foo"}, {"CFBundleIdentifier", "com.example.foo"},
                         {"CFBundleShortVersionString", "2.5"}, {"CFBundleVersion", "250"}}, "Foo Pro", "com.example.foo", "2.5"},
            {"Foo.bar.app", {}, "Foo.bar", "", "—"},   // the file name without its last extension
            {"Bar.app", {{"CFBundleDisplayName", 5}, {"CFBundleName", true}, {"CFBundleIdentifier", 42},   // no text: absent
                         {"CFBundleShortVersionString", 3.5}, {"CFBundleVersion", "7"}}, "Bar", "", "7"},
            {"Baz.app", {{"CFBundleDisplayName", ""}, {"CFBundleName", "Baz"}}, "", "", "—"},   // empty is still a text
            {"N.app", {{"CFBundleDisplayName", "日本語"}, {"CFBundleName", "N"}, {"CFBundleVersion", "版 1"}}, "日本語", "", "版 1"},
        };
        for (Row row : rows) {
            QTemporaryDir dir;
            row.keys.insert("CFBundleExecutable", "Main");
            const std::optional<IntelOnlyApp> app = ArchScanner::inspect(create(dir.path(), {row.fileName, row.keys, PlistFormat::binary, std::nullopt, true, thinMachO(cpuX86_64), true}));
            QCOMPARE(app ? QStringList({app->name, app->bundleID, app->version}) : QStringList(), QStringList({row.name, row.bundleID, row.version}));
        }
    }

    void walkFindsBundlesAtDepthsOneToThree()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath("Applications"), outside = dir.filePath("Elsewhere");
        const QByteArray intel = thinMachO(cpuX86_64);
        const QStringList expected = {
            createApp(root, "Depth1.app", intel), createApp(root + "/Utilities", "Depth2.app", intel),
            createApp(root + "/A/B", "Depth3.app", intel), root + "/Plain File.app", root + "/Linked.app",
            root + "/Dangling.app", root + "/Pipe.app"};
        QVERIFY(writeFile(expected[3], "not a folder") && QFile::link(createApp(outside, "Target.app", intel), expected[4]));
        QVERIFY(QFile::link(dir.filePath("nowhere"), expected[5]) && makeFifo(expected[6]));
        // Not to be found: too deep, hidden, inside bundles and packages, behind a linked folder.
        for (const QString& folder : {root + "/A/B/C", root + "/.hidden", root + "/A/.cache", expected[0] + "/Contents/Applications",
                                      root + "/Plugins.bundle", root + "/Installer.pkg/Contents", root + "/Shout.APP",
                                      outside + "/Folder"})
            createApp(folder, "Hidden.app", intel);
        QVERIFY(!createApp(root, ".Hidden.app", intel).isEmpty() && QFile::link(outside + "/Folder", root + "/LinkedFolder"));
        // Entries in name order (upper case first); roots that are missing or no folder are passed over.
        const QString upper = createApp(root, "Zed.app", thinMachO(cpuARM64)), lower = createApp(root, "zed.app", thinMachO(cpuARM64));
        const QStringList found = ArchScanner::appBundles({dir.filePath("missing"), root, expected[3]});
        QCOMPARE(QSet<QString>(found.begin(), found.end()), (QSet<QString>(expected.begin(), expected.end()) + QSet<QString>{upper, lower}));
        QVERIFY(found.size() == expected.size() + 2 && found.indexOf(upper) + 1 == found.indexOf(lower));
    }

    void scanSortsByNameWhateverTheLocale()
    {
        QTemporaryDir dir;
        const QString first = dir.filePath("one"), second = dir.filePath("two");
        const QByteArray intel = thinMachO(cpuX86_64);
        const QStringList displayNames = {"zeta", "ゼータ", "Äther", "Banana", "apple", "Same"};
        for (int i = 0; i < displayNames.size(); ++i)
            createApp(first, QStringLiteral("App%1.app").arg(i), intel, displayNames[i]);
        createApp(second, "Other.app", intel, "same");   // equal but for case: walk order decides
        createApp(second, "Native.app", thinMachO(cpuARM64));
        const ScanResult result = ArchScanner::scan({first, second});
        QCOMPARE(names(result.intelApps) << QString::number(result.totalScanned), (QStringList{"apple", "Äther", "Banana", "Same", "same", "zeta", "ゼータ", "8"}));
        QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));   // the runner's locale changes nothing
        const QStringList swapped = names(ArchScanner::scan({second, first}).intelApps);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(swapped, (QStringList{"apple", "Äther", "Banana", "same", "Same", "zeta", "ゼータ"}));
    }

    void rosettaInfo()
    {
        const std::tuple<std::optional<int>, bool, RosettaInfo> rows[] = {{1, true, {true, true}}, {std::nullopt, false, {false, false}}, {2, true, {false, true}}};
        for (const auto& [arm64, runtimePresent, expected] : rows) {
            FakeKernel kernel;
            kernel.arm64 = arm64;
            platform::Service<platform::Kernel>::Override useKernel(kernel);
            ScriptedFileManager files("/home/u", "/tmp/");
            if (runtimePresent)
                files.phantomDirectories = {"/Library/Apple/usr/libexec/oah/libRosettaRuntime"};
            QCOMPARE(RosettaInfo::current(), expected);
            QCOMPARE(ArchScanner::applicationRoots(), (QStringList{"/Applications", "/home/u/Applications"}));
        }
    }

    void sizeLines()
    {
        // A path with a line break breaks du's line, so only its first line counts then.
        const QString plain = "/Applications/Foo.app", broken = "/A/Line\nBreak.app";
        const std::tuple<const char*, QString, qint64> outputs[] = {
            {"  17\n", plain, 17}, {"", plain, 0}, {"du: cannot access", plain, 0}, {"12\n34", plain, 0},
            {"42\nBreak.app", broken, 42}, {"x\nBreak.app", broken, 0}};
        for (const auto& [output, path, expected] : outputs)
            QCOMPARE(parseSizeOutput(QString::fromUtf8(output), path), expected);
    }

    // Every du runs at once; the fast result takes the held slow entry out, whose result is then dropped.
    void measureSizesAppliesResultsAsTheyCome()
    {
        QList<IntelOnlyApp> apps{entry("Slow"), entry("Fast")};
        const QUuid slow = apps[0].id, fast = apps[1].id;
        QSemaphore slowMayFinish;
        FakeCommandRunner runner;   // its fallback answers with no lock held, so one command can wait while others finish
        runner.otherwise([&](const QString& line) -> ShellResult {
            return {!line.contains("Slow.app") ? "20" : slowMayFinish.tryAcquire(1, 60000) ? "10" : "-1", {}, 0};
        });
        QList<std::pair<QUuid, bool>> applied;
        QCoro::waitFor(measureSizes(apps, [&](const QUuid& id, qint64 mb) {
            applied.append({id, applyMeasuredSize(apps, id, mb)});
            if (id == fast)
                apps.removeAt(0), slowMayFinish.release();
        }));
        QCOMPARE(applied, (QList<std::pair<QUuid, bool>>{{fast, true}, {slow, false}}));
        QCOMPARE(apps.size() == 1 ? apps[0].sizeMB : -1, qint64(20));
    }

    void formatSize()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));   // would write "1,5"
        QStringList texts;
        for (qint64 megabytes : {1023, 1024, 1280, 1536, 1048576})
            texts << ::formatSize(megabytes);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(texts, (QStringList{"1023 MB", "1.0 GB", "1.2 GB", "1.5 GB", "1024.0 GB"}));
    }
};

QTEST_GUILESS_MAIN(TestArchScanner)
#include "tst_archscanner.moc"
