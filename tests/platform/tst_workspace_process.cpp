#include "platform/Workspace.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace platform;

namespace {

// Copies a system executable to `target` (folders included); the copy keeps the mode bits.
bool copyExecutable(const QString& source, const QString& target)
{
    QDir().mkpath(QFileInfo(target).absolutePath());
    return QFile::copy(source, target);
}

std::optional<RunningApplication> findProcess(qint64 pid)
{
    const QList<RunningApplication> all = Workspace::systemDefault().runningApplications();
    for (const RunningApplication& app : all) {
        if (app.processId == pid)
            return app;
    }
    return std::nullopt;
}

bool writeScript(const QString& path, const QByteArray& body)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("#!/bin/sh\n" + body);
    file.close();
    return file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QString readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class WorkspaceProcessTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString root_;

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        root_ = QFileInfo(dir_.path()).canonicalFilePath();
    }

    void processIsListedWithItsBundleAndTerminates_data()
    {
        QTest::addColumn<QString>("executable");   // below the temporary root
        QTest::addColumn<QString>("bundle");       // what the listing reports; "" for the executable itself
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("deleted");         // the executable is removed while it runs
        QTest::newRow("bundle") << "/Foo.app/Contents/MacOS/Foo" << "/Foo.app" << "Foo" << false;
        QTest::newRow("helper of a nested bundle: the outer one")
            << "/Outer.app/Contents/Frameworks/Outer Helper.app/Contents/MacOS/Outer Helper" << "/Outer.app" << "Outer" << false;
        QTest::newRow("plain executable") << "/bin/plain-sleep" << "" << "plain-sleep" << false;
        QTest::newRow("deleted executable still belongs to its bundle") << "/Gone.app/Contents/MacOS/Gone" << "/Gone.app"
                                                                        << "Gone" << true;
    }
    void processIsListedWithItsBundleAndTerminates()
    {
        QFETCH(QString, executable);
        QFETCH(QString, bundle);
        QFETCH(bool, deleted);
        QVERIFY(copyExecutable("/bin/sleep", root_ + executable));
        QProcess child;
        child.start(root_ + executable, {"60"});
        QVERIFY(child.waitForStarted());
        if (deleted)
            QVERIFY(QFile::remove(root_ + executable));
        const auto listed = findProcess(child.processId());
        QVERIFY(listed);
        QCOMPARE(listed->bundlePath, root_ + (bundle.isEmpty() ? executable : bundle));
        QTEST(listed->name, "name");
        QVERIFY(Workspace::systemDefault().isRunning(*listed));
        QVERIFY(Workspace::systemDefault().terminate(*listed));
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QVERIFY(!Workspace::systemDefault().isRunning(*listed));
        // The process is gone: nothing is signalled any more.
        QVERIFY(!Workspace::systemDefault().terminate(*listed));
        QVERIFY(!Workspace::systemDefault().forceTerminate(*listed));
    }

    // An entry taken from an earlier listing must not reach a different program that now
    // has its process id (or that the caller mixed up).
    void entryOfAnotherProgramIsNotSignalled()
    {
        const QString executable = root_ + "/Real.app/Contents/MacOS/Real";
        QVERIFY(copyExecutable("/bin/sleep", executable));
        QProcess child;
        child.start(executable, {"60"});
        QVERIFY(child.waitForStarted());

        const RunningApplication stale{child.processId(), root_ + "/Other.app", "Other"};
        QVERIFY(!Workspace::systemDefault().isRunning(stale));
        QVERIFY(!Workspace::systemDefault().terminate(stale));
        QVERIFY(!Workspace::systemDefault().forceTerminate(stale));
        QVERIFY(!child.waitForFinished(200));
        QCOMPARE(child.state(), QProcess::Running);

        child.kill();
        child.waitForFinished(10000);
    }

    void invalidProcessIds_data()
    {
        QTest::addColumn<qint64>("pid");
        QTest::newRow("zero") << qint64(0);
        QTest::newRow("negative (a process group)") << qint64(-1);
        QTest::newRow("absent") << qint64(0x3fffffff);
    }
    void invalidProcessIds()
    {
        QFETCH(qint64, pid);
        const RunningApplication app{pid, QString(), QString()};
        QVERIFY(!Workspace::systemDefault().isRunning(app));
        QVERIFY(!Workspace::systemDefault().terminate(app));
        QVERIFY(!Workspace::systemDefault().forceTerminate(app));
    }

    void processIgnoringTerminateIsForced()
    {
        const QString bundle = root_ + "/Stubborn.app";
        const QString executable = bundle + "/Contents/MacOS/Stubborn";
        QVERIFY(copyExecutable("/bin/sh", executable));
        QProcess child;
        child.start(executable, {"-c", "trap '' TERM; echo ready; while :; do sleep 1; done"});
        QVERIFY(child.waitForStarted());
        QVERIFY(child.waitForReadyRead(10000));   // the trap is in place
        const auto listed = findProcess(child.processId());
        QVERIFY(listed);
        QCOMPARE(listed->bundlePath, bundle);
        QVERIFY(Workspace::systemDefault().terminate(*listed));
        QVERIFY(Workspace::systemDefault().isRunning(*listed));
        QVERIFY(Workspace::systemDefault().forceTerminate(*listed));
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    }

    // The reveal command with stand-ins for dbus-send and xdg-open on PATH: the file URL
    // reaches the file manager call as one array element, and the parent folder reaches the
    // fallback untouched, whatever characters the path holds.
    void revealCommandPassesPathsVerbatim_data()
    {
        QTest::addColumn<bool>("fileManagerAnswers");
        QTest::newRow("file manager answers") << true;
        QTest::newRow("no file manager: parent folder opened") << false;
    }
    void revealCommandPassesPathsVerbatim()
    {
        QFETCH(bool, fileManagerAnswers);
        QTemporaryDir tools;
        const QString log = tools.filePath("log");
        QVERIFY(writeScript(tools.filePath("dbus-send"),
                            "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + log.toUtf8() + ".dbus\"\n"
                                + (fileManagerAnswers ? "exit 0\n" : "exit 1\n")));
        QVERIFY(writeScript(tools.filePath("xdg-open"), "printf '%s' \"$1\" > \"" + log.toUtf8() + ".open\"\n"));

        const QString folder = root_ + "/it's a \"folder\" $(touch pwned), too";
        const QString file = folder + "/report;rm -rf x.txt";
        QStringList command = workspace::revealCommand(file);
        QProcess shell;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PATH", tools.path() + ":/usr/bin:/bin");
        shell.setProcessEnvironment(environment);
        shell.setWorkingDirectory(tools.path());
        const QString program = command.takeFirst();
        shell.start(program, command);
        QVERIFY(shell.waitForFinished(10000));

        const QStringList dbusArguments = readAll(log + ".dbus").split('\n', Qt::SkipEmptyParts);
        QVERIFY(dbusArguments.contains("org.freedesktop.FileManager1.ShowItems"));
        QVERIFY(dbusArguments.contains("--print-reply"));
        const QString expectedUrl = QString::fromLatin1(QUrl::fromLocalFile(file).toEncoded()).replace(",", "%2C");
        QVERIFY(dbusArguments.contains("array:string:" + expectedUrl));
        QVERIFY(!expectedUrl.contains(','));
        if (fileManagerAnswers)
            QVERIFY(!QFile::exists(log + ".open"));
        else
            QCOMPARE(readAll(log + ".open"), folder);
        QVERIFY(!QFile::exists(tools.filePath("pwned")));
    }
};

QTEST_MAIN(WorkspaceProcessTest)
#include "tst_workspace_process.moc"
