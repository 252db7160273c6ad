#include "cleanup/ArchScanner.h"
#include "platform/Process.h"
#include "support/BundleFactory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace BundleFactory;

// Bundle sizes measured by the real du through zsh, for bundles whose names would break
// a carelessly built command line.
class TestArchScannerProcess : public QObject {
    Q_OBJECT

private slots:
    void hostileNamesAreMeasuredAsOnePath_data();
    void hostileNamesAreMeasuredAsOnePath();
};

namespace {

// du's own answer for the path, asked without any shell in between.
qint64 duWithoutShell(const QString& path)
{
    platform::ProcessRequest request;
    request.program = QStringLiteral("/usr/bin/du");
    request.arguments = {QStringLiteral("-sm"), path};
    request.nullInput = true;
    const platform::ProcessOutcome outcome = platform::runProcess(request);
    return QString::fromUtf8(outcome.standardOutput).section(QLatin1Char('\t'), 0, 0).toLongLong();
}

} // namespace

void TestArchScannerProcess::hostileNamesAreMeasuredAsOnePath_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::newRow("ordinary") << QStringLiteral("Old Game.app");
    QTest::newRow("quotes") << QStringLiteral("It's \"Quoted\".app");
    QTest::newRow("command substitution") << QStringLiteral("$(touch PWNED).app");
    QTest::newRow("back-quotes") << QStringLiteral("`touch PWNED`.app");
    QTest::newRow("variable and backslash") << QStringLiteral("$HOME \\n.app");
    QTest::newRow("newline") << QStringLiteral("Line\nBreak.app");
    QTest::newRow("tab") << QStringLiteral("Tab\tbed.app");
}

void TestArchScannerProcess::hostileNamesAreMeasuredAsOnePath()
{
    QFETCH(QString, fileName);
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("Applications"));
    // A sibling whose name is a prefix of the hostile one: measuring it instead would show.
    QVERIFY(!createApp(root, QStringLiteral("Line.app"), thinMachO(cpuX86_64)).isEmpty());
    const QString bundle = createApp(root, fileName, thinMachO(cpuX86_64));
    QVERIFY(!bundle.isEmpty());
    QVERIFY(writeFile(bundle + QStringLiteral("/Contents/Resources/data.bin"), QByteArray(3 * 1024 * 1024, 'x')));

    const ScanResult result = ArchScanner::scan({root});
    QCOMPARE(result.totalScanned, qint64(2));
    QList<IntelOnlyApp> apps = result.intelApps;
    QCOMPARE(apps.size(), 2);

    const QString cwdBefore = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QCoro::waitFor(measureSizes(apps, [&apps](const QUuid& id, qint64 mb) { applyMeasuredSize(apps, id, mb); }));
    QDir::setCurrent(cwdBefore);

    const qint64 expected = duWithoutShell(bundle);
    QVERIFY(expected >= 3);
    for (const IntelOnlyApp& app : apps) {
        if (app.path == bundle)
            QCOMPARE(app.sizeMB, expected);
        else
            QCOMPARE(app.sizeMB, duWithoutShell(app.path));
    }
    // Nothing in the name ran.
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("PWNED"))));
    QVERIFY(!QFile::exists(root + QStringLiteral("/PWNED")));
}

QTEST_GUILESS_MAIN(TestArchScannerProcess)
#include "tst_archscanner_process.moc"
