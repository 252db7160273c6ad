#include "app/ui/TessarinApp.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

// Without a display the application must explain itself and exit 2 instead of aborting inside
// the window system's plugin loader: the check itself, then the real program started bare.
// The program runs in a network namespace of its own with only a loopback device, so nothing
// it does can leave the machine.
class TessarinAppProcessTest : public QObject {
    Q_OBJECT

    // `program` under bubblewrap: the whole file system as it is, no network.
    static void runIsolated(QProcess& process, const QString& program, const QStringList& arguments = {})
    {
        const QString bwrap = QStandardPaths::findExecutable(QStringLiteral("bwrap"));
        QVERIFY2(!bwrap.isEmpty(), "bubblewrap keeps the application off the network");
        process.start(bwrap, QStringList{"--dev-bind", "/", "/", "--unshare-net", "--die-with-parent", "--", program}
                                 + arguments);
        QVERIFY(process.waitForStarted(10000) && process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    }

private slots:
    void displayProblem_data()
    {
        QTest::addColumn<QStringList>("variables");
        QTest::addColumn<bool>("problem");
        QTest::newRow("nothing set") << QStringList{} << true;
        QTest::newRow("empty values") << QStringList{"DISPLAY=", "WAYLAND_DISPLAY="} << true;
        QTest::newRow("other variables only") << QStringList{"HOME=/tmp", "LANG=ja_JP.UTF-8"} << true;
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
        const std::optional<QString> text = TessarinApp::displayProblem(environment);
#if defined(Q_OS_MACOS)
        problem = false;   // a Mac always has its window server
#endif
        QCOMPARE(text.has_value(), problem);
        for (const char* part : {"QT_QPA_PLATFORM=offscreen", "tessarin-render", "display"})
            QVERIFY(!text || text->contains(QString::fromLatin1(part)));
    }

    void withoutDisplayExitsWithAnExplanation()
    {
#if defined(Q_OS_MACOS)
        QSKIP("A Mac always has its window server.");
#endif
        const QString standins = qEnvironmentVariable("TESSARIN_STANDIN_DIR");
        QVERIFY2(!standins.isEmpty(), "TESSARIN_STANDIN_DIR names the build's stand-in folder");
        const QString program = QDir(standins).absoluteFilePath(QStringLiteral("../tessarin"));
        if (!QFileInfo(program).isExecutable())
            QSKIP("the application is not built in this build directory");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(variable));
        QProcess process;
        process.setProcessEnvironment(environment);
        runIsolated(process, program);
        QCOMPARE(process.exitCode(), 2);
        const QString error = QString::fromUtf8(process.readAllStandardError());
        for (const char* part : {"no display", "QT_QPA_PLATFORM=offscreen", "tessarin-render"})
            QVERIFY2(error.contains(QString::fromLatin1(part)), qPrintable(error));
        QVERIFY(!error.contains(QStringLiteral("qt.qpa")));
        QVERIFY(process.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TessarinAppProcessTest)
#include "tst_tessarinapp_process.moc"
