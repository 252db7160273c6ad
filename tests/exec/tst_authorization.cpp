// Administrator runs against a scripted script runner: a shell script installed through
// SystemLocations that records the script it reads and answers as the test says.
#include "exec/AuthorizationManager.h"
#include "exec/CleanerHelper.h"
#include "exec/Shell.h"
#include "platform/OwnerAuthentication.h"
#include "platform/SystemLocations.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"
#include "support/FakePrivilegedTools.h"

#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QtTest>

#include <unistd.h>

namespace {

class ScriptedOwnerAuthentication final : public platform::OwnerAuthentication {
public:
    bool biometrics = false;
    bool ownerPolicy = true;
    platform::OwnerAuthenticationReply reply;
    QStringList asked;   // reason and cancel title of each evaluation

    bool canUseBiometrics() const override { return biometrics; }
    bool canEvaluateOwnerPolicy() const override { return ownerPolicy; }
    QCoro::Task<platform::OwnerAuthenticationReply> evaluateOwnerPolicy(QString reason, QString cancelTitle) override
    {
        asked << reason << cancelTitle;
        co_return reply;
    }

private:
    platform::Service<platform::OwnerAuthentication>::Override override_{*this};
};

QByteArray scriptFor(const char* escaped)
{
    return QByteArray("do shell script \"") + escaped + "\" with administrator privileges";
}

} // namespace

class TestAuthorization : public QObject {
    Q_OBJECT
private slots:
    void scriptTextEscapesTheCommand_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("script");
        QTest::newRow("plain") << QStringLiteral("dscacheutil -flushcache") << scriptFor("dscacheutil -flushcache");
        QTest::newRow("double quotes get one backslash") << QStringLiteral("echo \"hello\"") << scriptFor("echo \\\"hello\\\"");
        QTest::newRow("backslash then quote: three backslashes and the quote")
            << QStringLiteral("echo \\\"") << scriptFor("echo \\\\\\\"");
        QTest::newRow("single quotes untouched") << QStringLiteral("rm -rf '/Applications/A B.app'")
                                                 << scriptFor("rm -rf '/Applications/A B.app'");
        QTest::newRow("UTF-8 path") << QStringLiteral("ls '/Users/そらみ'") << scriptFor("ls '/Users/\xe3\x81\x9d\xe3\x82\x89\xe3\x81\xbf'");
        QTest::newRow("empty command") << QString() << scriptFor("");
    }
    void scriptTextEscapesTheCommand()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, script);
        ScriptedScriptRunner runner;
        AuthorizationManager manager;
        const Settled<QString> result = settle(manager.runPrivilegedShell(command));
        QVERIFY2(result.succeeded(), qPrintable(result.errorText()));
        QCOMPARE(runner.scripts(), QByteArrayList{script});
    }

    void successReturnsOutputWithLineFeeds_data()
    {
        QTest::addColumn<QByteArray>("stdoutBytes");
        QTest::addColumn<QString>("output");
        QTest::newRow("carriage returns") << QByteArray("a\rb\rc\n") << QStringLiteral("a\nb\nc\n");
        QTest::newRow("CRLF") << QByteArray("a\r\nb\r\n") << QStringLiteral("a\nb\n");
        QTest::newRow("untrimmed") << QByteArray("  x  \n\n") << QStringLiteral("  x  \n\n");
        QTest::newRow("invalid UTF-8 gives empty text") << QByteArray("ok\xff\n") << QString();
    }
    void successReturnsOutputWithLineFeeds()
    {
        QFETCH(QByteArray, stdoutBytes);
        ScriptedScriptRunner runner;
        runner.answer(stdoutBytes, "ignored on success", 0);
        AuthorizationManager manager;
        const Settled<QString> result = settle(manager.runPrivilegedShell(QStringLiteral("true")));
        QVERIFY(result.succeeded());
        QTEST(*result.value, "output");
    }

    // Both kinds of run classify a failed run the same way: a dismissed dialog, or the
    // command's (or the runner's launch) error.
    void failureIsCancellationOrCommandFailed_data()
    {
        QTest::addColumn<QByteArray>("stderrBytes");   // "missing runner": no runner at all
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("description");
        const QString cancelled = QStringLiteral("認証がキャンセルされました。");
        QTest::newRow("User canceled") << QByteArray("0:12: execution error: User canceled. (-128)\n") << 1 << cancelled;
        QTest::newRow("Japanese cancellation")
            << QStringLiteral("実行エラー: ユーザーによってキャンセルされました。\n").toUtf8() << 1 << cancelled;
        QTest::newRow("-128 from the command itself counts as cancellation")
            << QByteArray("execution error: offset -128 out of range (1)") << 1 << cancelled;
        QTest::newRow("command failed") << QByteArray("0:52: execution error: rm: /x: Operation not permitted (1)\n") << 1
                                        << QStringLiteral("コマンド失敗: 0:52: execution error: rm: /x: Operation not permitted (1)");
        QTest::newRow("silent failure") << QByteArray() << 1 << QStringLiteral("コマンド失敗: ");
        QTest::newRow("other status, padded text") << QByteArray("\n  broken  \n") << 2 << QStringLiteral("コマンド失敗: broken");
        QTest::newRow("missing runner") << QByteArray("missing runner") << 0 << QStringLiteral("コマンド失敗: ");
    }
    void failureIsCancellationOrCommandFailed()
    {
        QFETCH(QByteArray, stderrBytes);
        QFETCH(int, status);
        QFETCH(QString, description);
        for (const bool streaming : {false, true}) {
            ScriptedScriptRunner runner;
            runner.answer("output of a failed run is dropped\n", stderrBytes, status);
            const bool missing = stderrBytes == "missing runner";
            if (missing)
                runner.locations().scriptRunner = runner.path(QStringLiteral("no-such-runner"));
            AuthorizationManager manager;
            QStringList lines;
            const auto onLine = [&lines](const QString& line) { lines << line; };
            const std::exception_ptr thrown = streaming
                ? settle(manager.runPrivilegedStreaming(QStringLiteral("echo never"), onLine)).error
                : settle(manager.runPrivilegedShell(QStringLiteral("false"))).error;
            Settled<int> failed;
            failed.error = thrown;
            const std::optional<AuthError> error = failed.errorAs<AuthError>();
            QVERIFY(error);
            if (missing) {
                QCOMPARE(error->kind(), AuthError::Kind::commandFailed);
                QVERIFY(!error->message().isEmpty());   // the system's launch error
                QVERIFY(error->errorDescription().startsWith(description));
            } else {
                QCOMPARE(error->errorDescription(), description);
                if (error->kind() == AuthError::Kind::commandFailed)
                    QCOMPARE(error->message(), QString::fromUtf8(stderrBytes));
            }
            QVERIFY(lines.isEmpty());
        }
    }

    void streamingRootWritesIntoAFolderItMakes()
    {
        // One administrator run: root makes its own folder in the system's temporary directory
        // and sends the caller's command, quoted whole, into a file there.
        ScriptedScriptRunner runner;
        AuthorizationManager manager;
        settle(manager.runPrivilegedStreaming(QStringLiteral("echo never"), nullptr));
        const QByteArrayList scripts = runner.scripts();
        QCOMPARE(scripts.size(), 1);
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^do shell script \"umask 022; set -C; /bin/mkdir -m 755 "
                                              "'(/private/tmp/TessarinStream-[0-9a-f-]{36})' \\|\\| exit 1; "
                                              "/bin/sh -c 'echo never' </dev/null >'(.*)/output' 2>&1; "))
                .match(QString::fromUtf8(scripts[0]));
        QVERIFY2(m.hasMatch(), scripts[0].constData());
        QCOMPARE(m.captured(2), m.captured(1));
    }

    void concurrentRunsTakeTurnsInCallOrder()
    {
        // The runner notes an overlap when another run still holds its lock directory, and
        // stays a moment so that overlapping runs would meet.
        ScriptedScriptRunner runner("if ! mkdir \"$D/lock\" 2>/dev/null; then echo overlap >> \"$D/log\"; fi\n"
                                    "echo \"start $n\" >> \"$D/log\"\nsleep 0.2\necho \"end $n\" >> \"$D/log\"\n"
                                    "rmdir \"$D/lock\"\n");
        AuthorizationManager manager;
        QStringList finished;
        bool allOnMainThread = true;
        auto caller = [&](QString command) -> QCoro::Task<> {
            QCoro::Task<QString> run = manager.runPrivilegedShell(command);
            co_await std::move(run);
            allOnMainThread = allOnMainThread && QThread::currentThread() == QCoreApplication::instance()->thread();
            finished << command;
        };
        QCoro::Task<> first = caller(QStringLiteral("echo 1"));
        QCoro::Task<> second = caller(QStringLiteral("echo 2"));
        QCoro::Task<> third = caller(QStringLiteral("echo 3"));
        QCoro::waitFor(std::move(first));
        QCoro::waitFor(std::move(second));
        QCoro::waitFor(std::move(third));
        QCOMPARE(finished, (QStringList{"echo 1", "echo 2", "echo 3"}));
        QVERIFY(allOnMainThread);
        QCOMPARE(readWholeFile(runner.path(QStringLiteral("log"))), QByteArray("start 1\nend 1\nstart 2\nend 2\nstart 3\nend 3\n"));
        QCOMPARE(runner.scripts(), (QByteArrayList{scriptFor("echo 1"), scriptFor("echo 2"), scriptFor("echo 3")}));
    }

    void eventLoopRunsWhileTheDialogIsUp()
    {
        // The runner only ends once the main thread has created "go": a run that blocked the
        // main thread would never see it (the runner gives up after a while and fails).
        ScriptedScriptRunner runner("i=0; while [ ! -e \"$D/go\" ] && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done\n"
                                    "[ -e \"$D/go\" ] || { echo 'no go' >&2; exit 1; }\n");
        runner.answer("answered\n");
        AuthorizationManager manager;
        const QString go = runner.path(QStringLiteral("go"));
        QTimer::singleShot(0, [go] { QFile(go).open(QIODevice::WriteOnly); });
        const Settled<QString> result = settle(manager.runPrivilegedShell(QStringLiteral("true")));
        QVERIFY2(result.succeeded(), qPrintable(result.errorText()));
        QCOMPARE(*result.value, QStringLiteral("answered\n"));
    }

    void rootRunsDoNotWaitForAFullCommandPool()
    {
        // Every thread of the command pool is held by a command that does not end.
        FakeCommandRunner commands;
        QSemaphore release;
        commands.otherwise([&release](const QString&) {
            release.acquire();
            return ShellResult{};
        });
        const int poolSize = Shell::commandPool().maxThreadCount();
        int ended = 0;
        for (int i = 0; i < poolSize; ++i) {
            [](int& counter) -> QCoro::Task<> {
                QString line = QStringLiteral("du -sk /never-ends");
                QCoro::Task<ShellResult> run = Shell::runAsync(std::move(line));
                co_await std::move(run);
                ++counter;
            }(ended);
        }
        QTRY_COMPARE(Shell::commandPool().activeThreadCount(), poolSize);

        // An administrator run and the helper's status probe still get through.
        ScriptedScriptRunner runner;
        runner.answer("done\n");
        QTemporaryDir dir;
        ScriptedSudo sudo;
        sudo.answerVersion("2.2.0\n");
        sudo.locations().helperPath = dir.filePath(QStringLiteral("helper"));
        QFile(sudo.locations().helperPath).open(QIODevice::WriteOnly);
        AuthorizationManager manager;
        CleanerHelper helper;
        Settled<QString> run;
        Settled<CleanerHelperStatus> probe;
        detail::settleInto(manager.runPrivilegedShell(QStringLiteral("true")), run);
        detail::settleInto(helper.refreshStatus(), probe);
        const auto settled = [](const auto& s) { return s.value.has_value() || s.error; };
        const bool through = QTest::qWaitFor([&] { return settled(run) && settled(probe); }, 20000);

        // Whatever happened, everything ends before the fakes go.
        release.release(poolSize);
        QVERIFY(QTest::qWaitFor([&] { return ended == poolSize && settled(run) && settled(probe); }, 60000));
        QVERIFY2(through, "the root run waited for the command pool");
        QCOMPARE(run.value, std::optional<QString>(QStringLiteral("done\n")));
        QCOMPARE(probe.value, std::optional<CleanerHelperStatus>(CleanerHelperStatus::installed));
    }

    void authorizationStepMarksAuthorizedOnce()
    {
        ScriptedScriptRunner runner;
        AuthorizationManager manager;
        QSignalSpy changed(&manager, &AuthorizationManager::isAuthorizedChanged);
        QVERIFY(!manager.isAuthorized());
        QCoro::waitFor(manager.runStartupStep());
        QCoro::waitFor(manager.runStartupStep());
        QVERIFY(manager.isAuthorized());
        QCOMPARE(changed.count(), 1);
        QVERIFY(runner.scripts().isEmpty());   // no dialog, nothing run
    }

    void authenticateMapsTheSystemReply_data()
    {
        using Outcome = platform::OwnerAuthenticationReply::Outcome;
        QTest::addColumn<bool>("ownerPolicy");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("systemText");
        QTest::addColumn<BiometricResult>("expected");
        QTest::newRow("success") << true << int(Outcome::success) << QString() << BiometricResult::success();
        QTest::newRow("cancelled") << true << int(Outcome::cancelled) << QString() << BiometricResult::cancelled();
        QTest::newRow("no error object") << true << int(Outcome::failedWithoutError) << QString()
                                         << BiometricResult::failed(QStringLiteral("認証に失敗しました"));
        QTest::newRow("error") << true << int(Outcome::error) << QStringLiteral("Biometry is locked out.")
                               << BiometricResult::failed(QStringLiteral("Biometry is locked out."));
        QTest::newRow("no owner policy: nothing asked") << false << int(Outcome::success) << QString()
                                                        << BiometricResult::unavailable();
    }
    void authenticateMapsTheSystemReply()
    {
        QFETCH(bool, ownerPolicy);
        QFETCH(int, outcome);
        QFETCH(QString, systemText);
        QFETCH(BiometricResult, expected);
        ScriptedOwnerAuthentication system;
        system.ownerPolicy = ownerPolicy;
        system.reply = {platform::OwnerAuthenticationReply::Outcome(outcome), systemText};
        AuthorizationManager manager;
        QCOMPARE(QCoro::waitFor(manager.authenticate(QStringLiteral("システムキャッシュを削除します"))), expected);
        const QStringList asked{QStringLiteral("システムキャッシュを削除します"), QStringLiteral("キャンセル")};
        QCOMPARE(system.asked, ownerPolicy ? asked : QStringList());
        system.biometrics = !ownerPolicy;
        QCOMPARE(manager.canUseTouchID(), !ownerPolicy);   // the biometrics-only policy, nothing else
    }

    void linuxOwnerAuthentication()
    {
#ifdef __APPLE__
        QSKIP("polkit is the Linux facility");
#endif
        platform::OwnerAuthentication& system = platform::OwnerAuthentication::systemDefault();
        QVERIFY(!system.canUseBiometrics());   // Linux has no biometrics-only policy
        if (::geteuid() != 0)
            QSKIP("a user needs polkit's agent");
        // Root is the owner already: no dialog, no pkexec.
        QVERIFY(system.canEvaluateOwnerPolicy());
        AuthorizationManager manager;
        QCOMPARE(QCoro::waitFor(manager.authenticate(QStringLiteral("r"))), BiometricResult::success());
    }
};

QTEST_GUILESS_MAIN(TestAuthorization)
#include "tst_authorization.moc"
