#include "app/ui/TessarinApp.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

// Without a display the application explains itself and exits 2 instead of aborting inside the
// window system's plugin loader.
class TessarinAppProcessTest : public QObject {
    Q_OBJECT

private slots:
#if defined(Q_OS_MACOS)
    void initTestCase() { QSKIP("A Mac always has its window server."); }
#endif
    void displayProblem_data()
    {
        QTest::addColumn<QStringList>("variables");
        QTest::addColumn<bool>("problem");
        QTest::newRow("nothing set") << QStringList{} << true;
        QTest::newRow("empty values, other variables") << QStringList{"DISPLAY=", "WAYLAND_DISPLAY=", "HOME=/tmp"} << true;
        QTest::newRow("X11") << QStringList{"DISPLAY=:0"} << false;
        QTest::newRow("Wayland") << QStringList{"WAYLAND_DISPLAY=wayland-0"} << false;
        QTest::newRow("offscreen") << QStringList{"QT_QPA_PLATFORM=offscreen"} << false;
    }
    void displayProblem()
    {
        QFETCH(QStringList, variables);
        QFETCH(bool, problem);
        QProcessEnvironment environment;
        for (const QString& variable : variables)
            environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
        QCOMPARE(TessarinApp::displayProblem(environment).has_value(), problem);
    }

    // The real program, started bare in a network namespace of its own (only loopback), so
    // nothing it does can leave the machine.
    void withoutDisplayExitsWithAnExplanation()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("TESSARIN_STANDIN_DIR"), "TESSARIN_STANDIN_DIR names the build's stand-in folder");
        const QString program = QDir(qEnvironmentVariable("TESSARIN_STANDIN_DIR")).absoluteFilePath(QStringLiteral("../tessarin"));
        if (!QFileInfo(program).isExecutable())
            QSKIP("the application is not built in this build directory");
        const QString bwrap = QStandardPaths::findExecutable(QStringLiteral("bwrap"));
        QVERIFY2(!bwrap.isEmpty(), "bubblewrap keeps the application off the network");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(variable));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(bwrap, {"--dev-bind", "/", "/", "--unshare-net", "--die-with-parent", "--", program});
        QVERIFY(process.waitForStarted(10000) && process.waitForFinished(30000));
        QVERIFY(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 2);
        const QString error = QString::fromUtf8(process.readAllStandardError());
        for (const char* part : {"no display", "QT_QPA_PLATFORM=offscreen", "tessarin-render"})
            QVERIFY2(error.contains(QString::fromLatin1(part)), qPrintable(error));
        QVERIFY(!error.contains(QStringLiteral("qt.qpa")) && process.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TessarinAppProcessTest)
#include "tst_tessarinapp_process.moc"
