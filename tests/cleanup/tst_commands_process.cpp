// The cleanup command lines through the real shell tools, with names that break careless quoting.
#include "cleanup/ArchScanner.h"
#include "cleanup/CacheModel.h"
#include "cleanup/UninstallerModel.h"
#include "diagnostics/DashboardModel.h"
#include "exec/OutputParsing.h"
#include "exec/Shell.h"
#include "platform/Process.h"
#include "support/BundleFactory.h"
#include "support/FakePrivileged.h"
#include "support/TempTree.h"

#include <QtTest>

namespace {

// du's own answer, asked without any shell in between.
qint64 duWithoutShell(const QString& path)
{ return QString::fromUtf8(platform::runProcess({"/usr/bin/du", {"-sm", path}, std::nullopt, true}).standardOutput).section('\t', 0, 0).toLongLong(); }

bool writeMiB(const QString& path, int mebibytes) { return BundleFactory::writeFile(path, QByteArray(qsizetype(mebibytes) << 20, 'x')); }

} // namespace

class CommandsProcessTest : public QObject {
    Q_OBJECT

    QTemporaryDir cwd_;   // where an injected command would leave its traces

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(cwd_.path())); }
    void cleanup() { QVERIFY(!QFile::exists(cwd_.filePath("PWNED"))); }

    // A bundle and a cache folder of the same hostile name, measured by the scanner and the cache screen.
    void sizesOfHostileNames_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* name : {"It's \"Quoted\"", "$(touch PWNED)`touch PWNED`", "$HOME \\n", "a\"; touch PWNED; \"b", "Line\nBreak"})
            QTest::newRow(name) << QString::fromUtf8(name);
    }
    void sizesOfHostileNames()
    {
        QFETCH(QString, name);
        TempTree t;
        // A sibling whose name is a prefix of the hostile one: measuring it instead would show.
        QVERIFY(!BundleFactory::createApp(t.apps, "Line.app", BundleFactory::thinMachO(BundleFactory::cpuX86_64)).isEmpty());
        const QString bundle = BundleFactory::createApp(t.apps, name + ".app", BundleFactory::thinMachO(BundleFactory::cpuX86_64));
        QVERIFY(writeMiB(bundle + "/Contents/Resources/data.bin", 3) && writeMiB(t.root + "/" + name + "/blob", 3));
        QList<IntelOnlyApp> apps = ArchScanner::scan({t.apps}).intelApps;
        QCoro::waitFor(measureSizes(apps, [&apps](const QUuid& id, qint64 mb) { applyMeasuredSize(apps, id, mb); }));
        QList<qint64> sizes;
        for (const IntelOnlyApp& app : apps)
            sizes << app.sizeMB - duWithoutShell(app.path);
        const ShellResult result = Shell::run(CacheModel::groupSizeCommand({t.root + "/" + name, t.root + "/missing"}));
        QCOMPARE(sizes << (duWithoutShell(bundle) >= 3) << Shell::parseInteger(result.output).value_or(-1), (QList<qint64>{0, 0, 1, 3}));
    }

    void dashboardLines()
    {
        TempTree t;
        const QString home = t.root + "/h$(touch PWNED)\"x";
        QVERIFY(writeMiB(home + "/Library/Caches/blob", 2));
        // /private/tmp does not exist here; du's complaint is silenced and the rest still counts.
        QVERIFY(Shell::parseInteger(Shell::run(DashboardModel::junkCommand(home, t.temporary)).output).value_or(-1) >= 2);
        QVERIFY(DashboardModel::diskFreeText(Shell::run(DashboardModel::dfCommand).output).endsWith("B 空き"));
    }

    // Only folders named *.app right inside a root are listed; a missing root spoils nothing.
    void uninstallerScanListsTopLevelBundleFolders()
    {
        TempTree t;
        // Not listed: too deep, not a folder, a name with a line feed.
        QVERIFY(t.make({t.apps + "/Zeta.app/", t.apps + "/Nested/Deep.app/", t.apps + "/File.app", t.apps + "/evil\n.app/"}));
        auto model = UninstallerModel::create({t.apps, t.root + "/missing"});
        settle(model->scan());
        QCOMPARE(model->apps().size() == 1 ? model->apps().first().path : QString(), t.apps + "/Zeta.app");
    }
};

QTEST_GUILESS_MAIN(CommandsProcessTest)
#include "tst_commands_process.moc"
