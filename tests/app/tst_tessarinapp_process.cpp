#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

// Starts the real application without any display: it must explain itself and exit 2
// instead of aborting inside the window system's plugin loader.
class TessarinAppProcessTest : public QObject {
    Q_OBJECT

private slots:
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
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program, {});
        QVERIFY(process.waitForStarted(10000));
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 2);
        const QString error = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(error.contains(QStringLiteral("no display")), qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("QT_QPA_PLATFORM=offscreen")), qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("tessarin-render")), qPrintable(error));
        QVERIFY(!error.contains(QStringLiteral("qt.qpa")));
        QVERIFY(process.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TessarinAppProcessTest)
#include "tst_tessarinapp_process.moc"
