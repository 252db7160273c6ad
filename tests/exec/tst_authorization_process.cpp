// Administrator runs: the AppleScript statement handed to a scripted script runner, the real
// osascript stand-in (the tests run as root, so it runs commands without pkexec) and streaming
// runs. The owner authentication is checked through the cleanup helper's runs.
#include "exec/AuthorizationManager.h"
#include "exec/CleanerHelper.h"
#include "platform/FileReader.h"
#include "platform/Process.h"
#include "platform/StandIns.h"
#include "support/FakePrivileged.h"
#include "support/FakePrivilegedTools.h"

#include <QSemaphore>
#include <QtTest>

#include <unistd.h>

namespace {

QByteArray scriptFor(const char* escaped) { return QByteArray("do shell script \"") + escaped + "\" with administrator privileges"; }

platform::ProcessOutcome runStandIn(const QByteArray& script)
{
    return platform::runProcess({.program = platform::standInDirectory() + QStringLiteral("/osascript"), .arguments = {}, .input = script, .nullInput = false, .mergeOutput = false});
}

platform::ProcessOutcome runShell(const QString& command)
{
    return platform::runProcess({.program = QStringLiteral("/bin/sh"), .arguments = {QStringLiteral("-c"), command}, .input = {}, .nullInput = true, .mergeOutput = false});
}

} // namespace

class TestAuthorization : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("the stand-in would ask polkit for a password");
    }

    // The command's output through the real stand-in against a direct run; the exact statement
    // for a backslash then a quote (the concurrent runs check the statement's frame).
    void commandReachesRootIntact()
    {
        QCOMPARE(AuthorizationManager::appleScript(QStringLiteral("echo \\\"")).toUtf8(), scriptFor("echo \\\\\\\""));
        const QString commands[] = {
            QString(), QStringLiteral("echo \\\""),
            // Quotes, backslashes, expansions in single quotes, a backslash at the end.
            QStringLiteral("printf '%s|' \"a\\\"b\" 'c\\d' \"e\\\\f\" \\\\\\\"; printf '%s\\n' '$HOME `id` $(id) \"x\" \\\\'; echo x\\\\"),
            // Line breaks, tabs, a quote in a path, escape-like text.
            QStringLiteral("printf 'a\\tb\\n'\nprintf 'line two\\n'; echo '/Users/そらみ/It'\\''s \"here\"'; "
                           "printf '%s\\n' 'do shell script \\\" with administrator privileges'"),
        };
        for (const QString& command : commands) {
            const platform::ProcessOutcome direct = runShell(command), viaStandIn = runStandIn(AuthorizationManager::appleScript(command).toUtf8());
            QCOMPARE(viaStandIn.standardOutput + viaStandIn.standardError + QByteArray::number(viaStandIn.exitStatus),
                     direct.standardOutput + QByteArray::number(direct.exitStatus));
            QCOMPARE(direct.exitStatus, 0);
        }
    }

    void successReturnsOutputWithLineFeeds()
    {
        // Carriage returns, CRLF, untrimmed blanks, invalid UTF-8 (empty text); error text ignored.
        QStringList outputs;
        for (const QByteArray& stdoutBytes : {QByteArray("a\rb\rc\n"), QByteArray("a\r\nb\r\n"), QByteArray("  x  \n\n"), QByteArray("ok\xff\n")}) {
            ScriptedScriptRunner runner;
            runner.answer(stdoutBytes, "ignored on success");
            AuthorizationManager manager;
            outputs << settle(manager.runPrivilegedShell(QStringLiteral("true"))).value.value_or(QStringLiteral("failed"));
        }
        QCOMPARE(outputs, (QStringList{"a\nb\nc\n", "a\nb\n", "  x  \n\n", ""}));
    }

    // Both kinds of run classify a failure alike: a dismissed dialog, or the command's (or
    // the runner's launch) error; the output of a failed run is dropped. Each row: the runner's
    // error text ("missing runner": no runner at all), its status, and the failure's description.
    void failureIsCancellationOrCommandFailed()
    {
        const QString cancelled = QStringLiteral("認証がキャンセルされました。");
        const struct { QByteArray stderrBytes; int status; QString description; } rows[] = {
            {"0:12: execution error: User canceled. (-128)\n", 1, cancelled},
            {QStringLiteral("実行エラー: ユーザーによってキャンセルされました。\n").toUtf8(), 1, cancelled},
            {"execution error: offset -128 out of range (1)", 1, cancelled},   // -128 from the command
            {"", 1, QStringLiteral("コマンド失敗: ")},   // a silent failure
            {"\n  0:52: execution error: rm: /x: Operation not permitted (2)  \n", 2,   // padded
             QStringLiteral("コマンド失敗: 0:52: execution error: rm: /x: Operation not permitted (2)")},
            {"missing runner", 0, QStringLiteral("コマンド失敗: ")},
        };
        for (const auto& [stderrBytes, status, description] : rows) {
            const bool missing = stderrBytes == "missing runner";
            for (const bool streaming : {false, true}) {
                ScriptedScriptRunner runner;
                runner.answer("dropped\n", stderrBytes, status);
                if (missing)
                    runner.locations().scriptRunner = runner.path(QStringLiteral("no-such-runner"));
                AuthorizationManager manager;
                QStringList lines;
                Settled<int> failed;
                failed.error = streaming ? settle(manager.runPrivilegedStreaming(QStringLiteral("echo x"), [&](const QString& l) { lines << l; })).error
                                         : settle(manager.runPrivilegedShell(QStringLiteral("false"))).error;
                QVERIFY(failed.errorAs<AuthError>());
                // A missing runner adds the system's launch error; no line of a failed run arrives.
                QCOMPARE(failed.errorText().left(description.size()) + lines.join('|'), description);
                QCOMPARE(missing, failed.errorText().size() > description.size());
            }
        }
    }

    void concurrentRunsTakeTurnsInCallOrderWhileTheEventLoopRuns()
    {
        // The runner notes an overlap when another holds its lock, and stays a moment so that
        // overlapping runs would meet; the first ends only once the main thread has made "go".
        ScriptedScriptRunner runner("i=0; while [ ! -e \"$D/go\" ] && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done\n"
                                    "mkdir \"$D/lock\" 2>/dev/null || echo overlap >> \"$D/log\"\n"
                                    "echo \"start $n\" >> \"$D/log\"; sleep 0.2; echo \"end $n\" >> \"$D/log\"; rmdir \"$D/lock\"\n");
        runner.answer("answered\n");
        AuthorizationManager manager;
        QStringList finished;
        auto caller = [&](QString command) -> QCoro::Task<> {
            QCoro::Task<QString> run = manager.runPrivilegedShell(command);
            const QString output = co_await std::move(run);
            finished << command + QStringLiteral(": ") + output
                    + (QThread::currentThread() == QCoreApplication::instance()->thread() ? QString() : QStringLiteral(" off the main thread"));
        };
        QTimer::singleShot(0, [&] { QFile(runner.path(QStringLiteral("go"))).open(QIODevice::WriteOnly); });
        QCoro::Task<> first = caller(QStringLiteral("echo 1")), second = caller(QStringLiteral("echo 2")), third = caller(QStringLiteral("echo 3"));
        for (QCoro::Task<>* task : {&first, &second, &third})
            QCoro::waitFor(std::move(*task));
        QCOMPARE(finished, (QStringList{"echo 1: answered\n", "echo 2: answered\n", "echo 3: answered\n"}));
        QCOMPARE(readWholeFile(runner.path(QStringLiteral("log"))), QByteArray("start 1\nend 1\nstart 2\nend 2\nstart 3\nend 3\n"));
        QCOMPARE(runner.scripts(), (QByteArrayList{scriptFor("echo 1"), scriptFor("echo 2"), scriptFor("echo 3")}));
    }

    void rootRunsDoNotWaitForAFullCommandPool()
    {
        // Every thread of the command pool is held by a command that does not end.
        FakeCommandRunner commands;
        QSemaphore release;
        commands.otherwise([&release](const QString&) { return release.acquire(), ShellResult{}; });
        const int poolSize = Shell::commandPool().maxThreadCount();
        int ended = 0;   // on the main thread
        for (int i = 0; i < poolSize; ++i)
            [](int& counter) -> QCoro::Task<> {
                QCoro::Task<ShellResult> run = Shell::runAsync(QStringLiteral("du -sk /never-ends"));
                co_await std::move(run);
                counter += QThread::currentThread() == QCoreApplication::instance()->thread();
            }(ended);
        QTRY_COMPARE(Shell::commandPool().activeThreadCount(), poolSize);

        // An administrator run and the helper's status probe still get through.
        ScriptedScriptRunner runner;
        runner.answer("done\n");
        ScriptedSudo sudo;
        sudo.answer("2.2.0\n", {}, 0, QStringLiteral("version"));
        QFile(sudo.locations().helperPath = runner.path(QStringLiteral("helper"))).open(QIODevice::WriteOnly);
        AuthorizationManager manager;
        CleanerHelper helper;
        Settled<QString> root;
        Settled<CleanerHelperStatus> probe;
        detail::settleInto(manager.runPrivilegedShell(QStringLiteral("true")), root);
        detail::settleInto(helper.refreshStatus(), probe);
        const auto settled = [&] { return (root.value || root.error) && (probe.value || probe.error); };
        const bool through = QTest::qWaitFor(settled, 20000);
        release.release(poolSize);   // whatever happened, everything ends before the fakes go
        QVERIFY(QTest::qWaitFor([&] { return ended == poolSize && settled(); }, 60000));
        QVERIFY2(through, "the root run waited for the command pool");
        QCOMPARE(root.value, std::optional<QString>(QStringLiteral("done\n")));
        QCOMPARE(probe.value, std::optional<CleanerHelperStatus>(CleanerHelperStatus::installed));
    }

    // The stand-in runs only the one statement it supports, with the output and error text
    // given; "@" is the caller's TMPDIR, which nothing may reach, not even a refused command.
    void standInAnswers()
    {
        const auto run = [](const char* command) { return AuthorizationManager::appleScript(QString::fromUtf8(command)).toUtf8(); };
        const QByteArray unsupported = QStringLiteral("osascript: unsupported script: expected do shell script \"…\" with administrator privileges\n").toUtf8();
        const struct { QByteArray script, out, err; } rows[] = {
            // At / as root, with the system's PATH last.
            {run("pwd; case $PATH in */usr/bin:/bin:/usr/sbin:/sbin) echo system path ;; esac; id -u"), "/\nsystem path\n0\n", ""},
            {run("echo out; echo 'it broke' >&2; exit 3"), "", "execution error: it broke (3)\n"},
            // The output file lies outside the caller's TMPDIR.
            {run("case $(readlink /proc/$$/fd/1) in @/*) echo inside ;; *) echo outside ;; esac"), "outside\n", ""},
            {"display dialog \"hi\"", "", unsupported},
            {"do shell script \"touch @/ran\"", "", unsupported},   // without privileges
            {scriptFor("touch \"@/ran"), "", "osascript: syntax error: unescaped quote in the string literal\n"},
            {scriptFor("touch \\q @/ran"), "", "osascript: syntax error: unsupported escape in the string literal\n"},
            {scriptFor("touch @/ran") + "\nbeep", "", unsupported},   // trailing text
        };
        for (const auto& row : rows) {
            QTemporaryDir userTemporary;
            const QByteArray savedTemporary = qgetenv("TMPDIR");
            qputenv("TMPDIR", QFile::encodeName(userTemporary.path()));
            const platform::ProcessOutcome outcome = runStandIn(QByteArray(row.script).replace("@", QFile::encodeName(userTemporary.path())));
            qputenv("TMPDIR", savedTemporary);
            QCOMPARE(outcome.standardOutput, row.out);
            QCOMPARE(outcome.standardError, row.err);
            QCOMPARE(outcome.exitStatus, outcome.standardError.isEmpty() ? 0 : 1);
            QCOMPARE(QDir(userTemporary.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
        }
    }

    void streamingDeliversLinesWhileTheCommandRuns()
    {
        // After its first line and half a character the command waits for a file that a root run
        // started from the line callback creates: lines delivered only at the end, or a streamed
        // run holding the administrator lane once started, would leave it waiting (it gives up
        // after a while), and the character must arrive whole.
        QTemporaryDir dir;
        const QString go = dir.filePath(QStringLiteral("go"));
        AuthorizationManager manager;
        QStringList lines;
        std::optional<QCoro::Task<QString>> other;
        const Settled<int> result = settle(manager.runPrivilegedStreaming(
            QStringLiteral("echo first; echo oops >&2; printf '\\343\\202'; i=0; while [ ! -e %1 ] && [ $i -lt 600 ]; do sleep 0.05; "
                           "i=$((i+1)); done; [ -e %1 ] && printf '\\263\\343\\203\\224\\343\\203\\274\\n\\ntail without newline'; exit 7")
                .arg(go),
            [&](const QString& line) {
                if (lines.isEmpty())
                    other.emplace(manager.runPrivilegedShell(QStringLiteral("touch ") + go));
                lines << line;
            }));
        QCOMPARE(result.value, std::optional<int>(7));
        QCOMPARE(lines, (QStringList{"first", "oops", QStringLiteral("コピー"), "tail without newline"}));
        QVERIFY(other && settle(std::move(*other)).value);
    }

    // Root makes its own folder in the system's temporary directory, under noclobber, and sends
    // the command, quoted whole, into a file there.
    void streamingRootWritesIntoAFolderItMakes()
    {
        ScriptedScriptRunner runner;
        AuthorizationManager manager;
        settle(manager.runPrivilegedStreaming(QStringLiteral("echo never"), nullptr));
        const QString script = QString::fromUtf8(runner.scripts().value(0));
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral(
            "^do shell script \"umask 022; set -C; /bin/mkdir -m 755 '(/private/tmp/TessarinStream-[0-9a-f-]{36})' "
            "\\|\\| exit 1; /bin/sh -c 'echo never' </dev/null >'(.*)/output' 2>&1; ")).match(script);
        QVERIFY2(m.hasMatch() && m.captured(2) == m.captured(1), qPrintable(script));
        QCOMPARE(runner.scripts().size(), 1);
    }

    // Each setup runs in an empty directory; the folder is F, the file F/output.
    void followsOnlyAFileRootMade()
    {
        using Opening = platform::RootWrittenFile::Opening;
        const QString made = QStringLiteral("mkdir -m 755 F && echo line > F/output");
        const std::pair<QString, Opening> rows[] = {
            {made, Opening::opened},   // root's file in root's folder
            {QStringLiteral("true"), Opening::absent},   // no folder yet
            {QStringLiteral("mkdir -m 755 F"), Opening::absent},   // no file yet
            {QStringLiteral("mkdir -m 755 R && echo line > R/output && ln -s R F"), Opening::refused},   // the folder is a link
            {made + QStringLiteral(" && chmod 777 F"), Opening::refused},   // the folder writable by others
            {made + QStringLiteral(" && chown 65534 F"), Opening::refused},   // the folder of another user
            {QStringLiteral("mkdir -m 755 F && ln -s /etc/hostname F/output"), Opening::refused},   // the file is a link
            {QStringLiteral("mkdir -m 755 F && mkfifo F/output"), Opening::refused},   // opening a FIFO would wait forever
            {made + QStringLiteral(" && chown 65534 F/output"), Opening::refused},   // the file of another user
            {made + QStringLiteral(" && chmod 664 F/output"), Opening::refused},   // the file writable by its group
        };
        for (const auto& [setup, expected] : rows) {
            QTemporaryDir dir;
            QCOMPARE(runShell(QStringLiteral("cd '%1' && %2").arg(dir.path(), setup)).exitStatus, 0);
            platform::RootWrittenFile file;
            QCOMPARE(file.open(dir.filePath(QStringLiteral("F")), QStringLiteral("output")), expected);
            QCOMPARE(file.isOpen(), expected == Opening::opened);
        }
    }
};

QTEST_GUILESS_MAIN(TestAuthorization)
#include "tst_authorization_process.moc"
