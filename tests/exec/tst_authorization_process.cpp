// The osascript stand-in and streaming administrator runs, for real. The tests run as root,
// so the stand-in runs commands directly instead of through pkexec.
#include "exec/AuthorizationManager.h"
#include "platform/FileReader.h"
#include "platform/Process.h"
#include "platform/StandIns.h"
#include "platform/SystemLocations.h"
#include "support/FakePrivileged.h"
#include "support/FakePrivilegedTools.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

platform::ProcessOutcome runStandIn(const QByteArray& script, const QStringList& arguments = {})
{
    platform::ProcessRequest request;
    request.program = platform::standInDirectory() + QStringLiteral("/osascript");
    request.arguments = arguments;
    request.input = script;
    return platform::runProcess(request);
}

platform::ProcessOutcome runShell(const QString& command)
{
    platform::ProcessRequest request;
    request.program = QStringLiteral("/bin/sh");
    request.arguments = {QStringLiteral("-c"), command};
    request.nullInput = true;
    return platform::runProcess(request);
}

} // namespace

class TestAuthorizationProcess : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void standInAnswers_data();
    void standInAnswers();
    void refusesOtherInput_data();
    void refusesOtherInput();
    void hostileCommandRoundTrips_data();
    void hostileCommandRoundTrips();
    void managerRunsThroughTheStandIn();
    void streamingDeliversLinesWhileTheCommandRuns();
    void streamingReturnsTheExitStatus_data();
    void streamingReturnsTheExitStatus();
    void streamingWritesOnlyIntoAFolderRootMade();
    void streamingFailsOnAFolderMadeBeforeRoot();
    void followsOnlyAFileRootMade_data();
    void followsOnlyAFileRootMade();
};

void TestAuthorizationProcess::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("the stand-in would ask polkit for a password");
    const QString standIn = platform::standInDirectory() + QStringLiteral("/osascript");
    QVERIFY2(QFileInfo(standIn).isExecutable(), qPrintable(standIn));
    QCOMPARE(platform::SystemLocations::shared().scriptRunner, standIn);
}

void TestAuthorizationProcess::standInAnswers_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    QTest::newRow("echo") << QStringLiteral("echo hi") << QByteArray("hi\n") << QByteArray();
    // Root runs at the root of the file system with the system's PATH last.
    QTest::newRow("where and as whom")
        << QStringLiteral("pwd; case $PATH in */usr/bin:/bin:/usr/sbin:/sbin) echo system path ;; esac; id -u")
        << QByteArray("/\nsystem path\n0\n") << QByteArray();
    QTest::newRow("failure") << QStringLiteral("echo out; echo 'it broke' >&2; exit 3") << QByteArray()
                             << QByteArray("execution error: it broke (3)\n");
    QTest::newRow("error text without a final line feed")
        << QStringLiteral("printf half >&2; exit 4") << QByteArray() << QByteArray("execution error: half (4)\n");
    QTest::newRow("silent failure") << QStringLiteral("exit 5") << QByteArray() << QByteArray("execution error:  (5)\n");
    QTest::newRow("error text ending in a number")
        << QStringLiteral("printf 'x\\n0\\n' >&2; exit 6") << QByteArray() << QByteArray("execution error: x\n0 (6)\n");
    QTest::newRow("error text of a success is dropped")
        << QStringLiteral("echo warn >&2; echo fine") << QByteArray("fine\n") << QByteArray();
    QTest::newRow("root's output file is not in the caller's temporary directory")
        << QStringLiteral("case $(readlink /proc/$$/fd/1) in \"$TMPDIR\"/*) echo inside ;; *) echo outside ;; esac")
        << QByteArray("outside\n") << QByteArray();
}

void TestAuthorizationProcess::standInAnswers()
{
    QFETCH(QString, command);
    // Root keeps its working files out of the caller's temporary directory.
    QTemporaryDir userTemporary;
    const QByteArray savedTemporary = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(userTemporary.path()));
    const platform::ProcessOutcome outcome = runStandIn(AuthorizationManager::appleScript(command).toUtf8());
    qputenv("TMPDIR", savedTemporary);
    QTEST(outcome.standardOutput, "out");
    QTEST(outcome.standardError, "err");
    QCOMPARE(outcome.exitStatus, outcome.standardError.isEmpty() ? 0 : 1);
    QCOMPARE(QDir(userTemporary.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

void TestAuthorizationProcess::refusesOtherInput_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("other statement") << QByteArray("display dialog \"hi\"") << QStringList();
    QTest::newRow("without privileges") << QByteArray("do shell script \"echo hi\"") << QStringList();
    QTest::newRow("unescaped quote") << QByteArray("do shell script \"echo \"hi\" with administrator privileges")
                                     << QStringList();
    QTest::newRow("unknown escape") << QByteArray("do shell script \"echo \\q\" with administrator privileges")
                                    << QStringList();
    QTest::newRow("trailing text")
        << QByteArray("do shell script \"echo hi\" with administrator privileges\nbeep") << QStringList();
    QTest::newRow("empty input") << QByteArray() << QStringList();
    QTest::newRow("arguments") << QByteArray() << QStringList{"-e", "do shell script \"echo hi\""};
}

void TestAuthorizationProcess::refusesOtherInput()
{
    QFETCH(QByteArray, script);
    QFETCH(QStringList, arguments);
    QTemporaryDir dir;
    // A command that must not run: it would leave a file behind.
    const platform::ProcessOutcome outcome = runStandIn(script.replace("echo hi", "touch " + QFile::encodeName(dir.filePath("ran"))), arguments);
    QCOMPARE(outcome.exitStatus, 1);
    QVERIFY(outcome.standardError.startsWith("osascript: "));
    QVERIFY(!outcome.standardError.contains("-128"));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("ran"))));
}

void TestAuthorizationProcess::hostileCommandRoundTrips_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("quotes and backslashes")
        << QStringLiteral("printf '%s|' \"a\\\"b\" 'c\\d' \"e\\\\f\" \\\\\\\"");
    QTest::newRow("expansions stay literal in single quotes")
        << QStringLiteral("printf '%s\\n' '$HOME `id` $(id) \"x\" \\\\'");
    QTest::newRow("line breaks and tabs") << QStringLiteral("printf 'a\\tb\\n'\nprintf 'line two\\n'");
    QTest::newRow("backslash at the end") << QStringLiteral("echo x\\\\");
    QTest::newRow("UTF-8 and a quote in a path") << QStringLiteral("echo '/Users/そらみ/It'\\''s \"here\"'");
    QTest::newRow("escape-like text") << QStringLiteral("printf '%s\\n' 'do shell script \\\" with administrator privileges'");
}

void TestAuthorizationProcess::hostileCommandRoundTrips()
{
    QFETCH(QString, command);
    const platform::ProcessOutcome direct = runShell(command);
    QCOMPARE(direct.exitStatus, 0);
    const platform::ProcessOutcome viaStandIn = runStandIn(AuthorizationManager::appleScript(command).toUtf8());
    QCOMPARE(viaStandIn.standardError, QByteArray());
    QCOMPARE(viaStandIn.exitStatus, 0);
    QCOMPARE(viaStandIn.standardOutput, direct.standardOutput);
}

void TestAuthorizationProcess::managerRunsThroughTheStandIn()
{
    AuthorizationManager manager;
    const Settled<QString> ok = settle(manager.runPrivilegedShell(QStringLiteral("printf 'a\\nb\\n'; echo \"q\\\"\"")));
    QVERIFY2(ok.succeeded(), qPrintable(ok.errorText()));
    QCOMPARE(*ok.value, QStringLiteral("a\nb\nq\"\n"));

    const Settled<QString> failed = settle(manager.runPrivilegedShell(QStringLiteral("ls /nonexistent-tessarin-path")));
    const std::optional<AuthError> error = failed.errorAs<AuthError>();
    QVERIFY(error);
    QCOMPARE(error->kind(), AuthError::Kind::commandFailed);
    QVERIFY2(error->message().contains(QLatin1String("nonexistent-tessarin-path")), qPrintable(error->message()));
}

void TestAuthorizationProcess::streamingDeliversLinesWhileTheCommandRuns()
{
    // After its first line and half a character the command waits for a file that the line
    // callback creates: lines delivered only at the end would leave it waiting (it gives up
    // after a while), and the character must arrive whole.
    QTemporaryDir dir;
    const QString go = dir.filePath(QStringLiteral("go"));
    const QString command = QStringLiteral("echo first; echo oops >&2; printf '\\343\\202'; i=0; while [ ! -e %1 ] && [ $i -lt 600 ]; "
                                           "do sleep 0.05; i=$((i+1)); done; [ -e %1 ] && printf '\\263\\343\\203\\224\\343\\203\\274\\n\\n"
                                           "tail without newline'; exit 7")
                                .arg(go);
    AuthorizationManager manager;
    QStringList lines;
    const Settled<int> result = settle(manager.runPrivilegedStreaming(command, [&](const QString& line) {
        lines << line;
        QFile(go).open(QIODevice::WriteOnly);
    }));
    QVERIFY2(result.succeeded(), qPrintable(result.errorText()));
    QCOMPARE(*result.value, 7);
    QCOMPARE(lines, (QStringList{"first", "oops", QStringLiteral("コピー"), "tail without newline"}));

    // A long output arrives whole and in order.
    lines.clear();
    const Settled<int> large = settle(manager.runPrivilegedStreaming(
        QStringLiteral("i=1; while [ $i -le 20000 ]; do echo \"line $i\"; i=$((i+1)); done"),
        [&](const QString& line) { lines << line; }));
    QCOMPARE(large.value, std::optional<int>(0));
    QCOMPARE(lines.size(), 20000);
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(lines[i], QStringLiteral("line %1").arg(i + 1));
}

void TestAuthorizationProcess::streamingReturnsTheExitStatus_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("status");
    QTest::newRow("success") << QStringLiteral("true") << 0;
    QTest::newRow("failure") << QStringLiteral("exit 42") << 42;
    QTest::newRow("command not found") << QStringLiteral("no-such-command-tessarin") << 127;
    QTest::newRow("killed") << QStringLiteral("kill -9 $$") << 137;
    QTest::newRow("quotes in the command") << QStringLiteral("[ \"a'b\" = 'a'\\''b' ] && exit 5") << 5;
}

void TestAuthorizationProcess::streamingReturnsTheExitStatus()
{
    QFETCH(QString, command);
    QFETCH(int, status);
    AuthorizationManager manager;
    const Settled<int> result = settle(manager.runPrivilegedStreaming(command, nullptr));
    QVERIFY2(result.succeeded(), qPrintable(result.errorText()));
    QCOMPARE(*result.value, status);
}

void TestAuthorizationProcess::streamingWritesOnlyIntoAFolderRootMade()
{
    // The command describes the file its output goes to, and that file's folder.
    AuthorizationManager manager;
    QStringList lines;
    const Settled<int> result = settle(manager.runPrivilegedStreaming(
        QStringLiteral("f=$(readlink /proc/$$/fd/1); stat -c '%a %u %n' \"${f%/*}\" \"$f\""),
        [&](const QString& line) { lines << line; }));
    QVERIFY2(result.succeeded(), qPrintable(result.errorText()));
    const QString folder = QRegularExpression::escape(platform::SystemLocations::shared().systemTemporaryDirectory
                                                      + QStringLiteral("/TessarinStream-"));
    QCOMPARE(lines.size(), 2);
    QVERIFY2(QRegularExpression(QStringLiteral("^755 0 %1[0-9a-f-]{36}$").arg(folder)).match(lines[0]).hasMatch(),
             qPrintable(lines[0]));
    QCOMPARE(lines[1], QStringLiteral("644 0 ") + lines[0].mid(6) + QStringLiteral("/output"));
}

void TestAuthorizationProcess::streamingFailsOnAFolderMadeBeforeRoot()
{
    // Someone who learnt the folder's name while the dialog was up put a link there to a
    // folder of theirs: root must write nothing through it, and nothing is read from it.
    QTemporaryDir systemTemporary, victim;
    QFile precious(victim.filePath(QStringLiteral("output")));
    QVERIFY(precious.open(QIODevice::WriteOnly));
    precious.write("forged\n");
    precious.close();
    ScriptedScriptRunner runner("F=$(grep -o 'TessarinStream-[0-9a-f-]*' \"$D/script.$n\" | head -n 1)\n"
                                "ln -s '" + QFile::encodeName(victim.path()) + "' '"
                                    + QFile::encodeName(systemTemporary.path()) + "'/\"$F\"\n",
                                true);
    runner.locations().systemTemporaryDirectory = systemTemporary.path();
    AuthorizationManager manager;
    QStringList lines;
    const Settled<int> result = settle(manager.runPrivilegedStreaming(QStringLiteral("echo ran > /dev/null"),
                                                                      [&](const QString& line) { lines << line; }));
    const std::optional<AuthError> error = result.errorAs<AuthError>();
    QVERIFY(error);
    QCOMPARE(error->kind(), AuthError::Kind::commandFailed);
    QCOMPARE(lines, QStringList());
    QCOMPARE(readWholeFile(precious.fileName()), QByteArray("forged\n"));
}

void TestAuthorizationProcess::followsOnlyAFileRootMade_data()
{
    using Opening = platform::RootWrittenFile::Opening;
    QTest::addColumn<QString>("setup");   // run in an empty directory; the folder is F, the file F/output
    QTest::addColumn<Opening>("expected");
    QTest::newRow("root's file in root's folder") << QStringLiteral("mkdir -m 755 F && echo line > F/output") << Opening::opened;
    QTest::newRow("no folder yet") << QString() << Opening::absent;
    QTest::newRow("no file yet") << QStringLiteral("mkdir -m 755 F") << Opening::absent;
    QTest::newRow("folder is a link")
        << QStringLiteral("mkdir -m 755 R && echo line > R/output && ln -s R F") << Opening::refused;
    QTest::newRow("folder writable by others") << QStringLiteral("mkdir -m 777 F && echo line > F/output") << Opening::refused;
    QTest::newRow("folder of another user")
        << QStringLiteral("mkdir -m 755 F && echo line > F/output && chown 65534 F") << Opening::refused;
    QTest::newRow("file is a link") << QStringLiteral("mkdir -m 755 F && ln -s /etc/hostname F/output") << Opening::refused;
    QTest::newRow("file is a FIFO") << QStringLiteral("mkdir -m 755 F && mkfifo F/output") << Opening::refused;
    QTest::newRow("file of another user")
        << QStringLiteral("mkdir -m 755 F && echo line > F/output && chown 65534 F/output") << Opening::refused;
    QTest::newRow("file writable by its group")
        << QStringLiteral("mkdir -m 755 F && echo line > F/output && chmod 664 F/output") << Opening::refused;
}

void TestAuthorizationProcess::followsOnlyAFileRootMade()
{
    using Opening = platform::RootWrittenFile::Opening;
    QFETCH(QString, setup);
    QFETCH(Opening, expected);
    QTemporaryDir dir;
    if (!setup.isEmpty())
        QCOMPARE(runShell(QStringLiteral("cd '%1' && %2").arg(dir.path(), setup)).exitStatus, 0);
    platform::RootWrittenFile file;
    QCOMPARE(file.open(dir.filePath(QStringLiteral("F")), QStringLiteral("output")), expected);
    QCOMPARE(file.isOpen(), expected == Opening::opened);
    if (expected != Opening::opened)
        return;
    // Followed as it grows, and readable to the end after root removed it.
    QCOMPARE(file.readAvailable(), QByteArray("line\n"));
    QCOMPARE(file.readAvailable(), QByteArray());
    QCOMPARE(runShell(QStringLiteral("cd '%1' && echo more >> F/output && rm -r F").arg(dir.path())).exitStatus, 0);
    QCOMPARE(file.readAvailable(), QByteArray("more\n"));
}

QTEST_GUILESS_MAIN(TestAuthorizationProcess)
#include "tst_authorization_process.moc"
