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

#include <QDir>
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
    QStringList reasons;
    QStringList cancelTitles;

    bool canUseBiometrics() const override { return biometrics; }
    bool canEvaluateOwnerPolicy() const override { return ownerPolicy; }
    QCoro::Task<platform::OwnerAuthenticationReply> evaluateOwnerPolicy(QString reason, QString cancelTitle) override
    {
        reasons << reason;
        cancelTitles << cancelTitle;
        co_return reply;
    }

private:
    platform::Service<platform::OwnerAuthentication>::Override override_{*this};
};

} // namespace

class TestAuthorization : public QObject {
    Q_OBJECT
private slots:
    void scriptTextEscapesTheCommand_data();
    void scriptTextEscapesTheCommand();
    void successReturnsOutputWithLineFeeds_data();
    void successReturnsOutputWithLineFeeds();
    void failureIsCancellationOrCommandFailed_data();
    void failureIsCancellationOrCommandFailed();
    void missingRunnerIsCommandFailed();
    void errorDescriptions();
    void concurrentRunsTakeTurnsInCallOrder();
    void eventLoopRunsWhileTheDialogIsUp();
    void rootRunsDoNotWaitForAFullCommandPool();
    void streamingCancelledDialogRaisesUserCancelled();
    void streamingRunnerFailureIsCommandFailed();
    void authorizationStepMarksAuthorizedOnce();
    void authenticateMapsTheSystemReply_data();
    void authenticateMapsTheSystemReply();
    void authenticateUnavailableWithoutPolicy();
    void touchIdFollowsBiometricsPolicy();
    void linuxOwnerAuthentication();
    void fakeAuthorizationAnswersFromItsTable();
};

void TestAuthorization::scriptTextEscapesTheCommand_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("script");
    QTest::newRow("plain") << QStringLiteral("dscacheutil -flushcache")
                           << QByteArray("do shell script \"dscacheutil -flushcache\" with administrator privileges");
    QTest::newRow("double quotes get one backslash")
        << QStringLiteral("echo \"hello\"")
        << QByteArray("do shell script \"echo \\\"hello\\\"\" with administrator privileges");
    QTest::newRow("backslash then quote: three backslashes and the quote")
        << QStringLiteral("echo \\\"")
        << QByteArray("do shell script \"echo \\\\\\\"\" with administrator privileges");
    QTest::newRow("single quotes untouched")
        << QStringLiteral("rm -rf '/Applications/A B.app'")
        << QByteArray("do shell script \"rm -rf '/Applications/A B.app'\" with administrator privileges");
    QTest::newRow("UTF-8 path") << QStringLiteral("ls '/Users/そらみ'")
                                << QStringLiteral("do shell script \"ls '/Users/そらみ'\" with administrator privileges").toUtf8();
    QTest::newRow("empty command") << QString() << QByteArray("do shell script \"\" with administrator privileges");
}

void TestAuthorization::scriptTextEscapesTheCommand()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, script);
    ScriptedScriptRunner runner;
    runner.answer("ok\n");
    AuthorizationManager manager;
    const Settled<QString> result = settle(manager.runPrivilegedShell(command));
    QVERIFY2(result.succeeded(), qPrintable(result.errorText()));
    QCOMPARE(runner.scripts(), QByteArrayList{script});
}

void TestAuthorization::successReturnsOutputWithLineFeeds_data()
{
    QTest::addColumn<QByteArray>("stdoutBytes");
    QTest::addColumn<QString>("output");
    QTest::newRow("carriage returns") << QByteArray("a\rb\rc\n") << QStringLiteral("a\nb\nc\n");
    QTest::newRow("CRLF") << QByteArray("a\r\nb\r\n") << QStringLiteral("a\nb\n");
    QTest::newRow("untrimmed") << QByteArray("  x  \n\n") << QStringLiteral("  x  \n\n");
    QTest::newRow("invalid UTF-8 gives empty text") << QByteArray("ok\xff\n") << QString();
    QTest::newRow("nothing") << QByteArray() << QString();
}

void TestAuthorization::successReturnsOutputWithLineFeeds()
{
    QFETCH(QByteArray, stdoutBytes);
    QFETCH(QString, output);
    ScriptedScriptRunner runner;
    runner.answer(stdoutBytes, "ignored on success", 0);
    AuthorizationManager manager;
    const Settled<QString> result = settle(manager.runPrivilegedShell(QStringLiteral("true")));
    QVERIFY(result.succeeded());
    QCOMPARE(*result.value, output);
}

void TestAuthorization::failureIsCancellationOrCommandFailed_data()
{
    QTest::addColumn<QByteArray>("stderrBytes");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<QString>("description");
    QTest::newRow("User canceled") << QByteArray("0:12: execution error: User canceled. (-128)\n") << 1 << true
                                   << QStringLiteral("認証がキャンセルされました。");
    QTest::newRow("Japanese cancellation")
        << QStringLiteral("実行エラー: ユーザーによってキャンセルされました。\n").toUtf8() << 1 << true
        << QStringLiteral("認証がキャンセルされました。");
    QTest::newRow("-128 alone") << QByteArray("error (-128)") << 1 << true
                                << QStringLiteral("認証がキャンセルされました。");
    QTest::newRow("-128 from the command itself counts as cancellation")
        << QByteArray("execution error: offset -128 out of range (1)") << 1 << true
        << QStringLiteral("認証がキャンセルされました。");
    QTest::newRow("command failed")
        << QByteArray("0:52: execution error: rm: /x: Operation not permitted (1)\n") << 1 << false
        << QStringLiteral("コマンド失敗: 0:52: execution error: rm: /x: Operation not permitted (1)");
    QTest::newRow("silent failure") << QByteArray() << 1 << false << QStringLiteral("コマンド失敗: ");
    QTest::newRow("other status, padded text")
        << QByteArray("\n  broken  \n") << 2 << false << QStringLiteral("コマンド失敗: broken");
}

void TestAuthorization::failureIsCancellationOrCommandFailed()
{
    QFETCH(QByteArray, stderrBytes);
    QFETCH(int, status);
    QFETCH(bool, cancelled);
    QFETCH(QString, description);
    ScriptedScriptRunner runner;
    runner.answer("output of a failed run is dropped\n", stderrBytes, status);
    AuthorizationManager manager;
    const Settled<QString> result = settle(manager.runPrivilegedShell(QStringLiteral("false")));
    const std::optional<AuthError> error = result.errorAs<AuthError>();
    QVERIFY(error);
    QCOMPARE(error->kind(), cancelled ? AuthError::Kind::userCancelled : AuthError::Kind::commandFailed);
    if (!cancelled)
        QCOMPARE(error->message(), QString::fromUtf8(stderrBytes));
    QCOMPARE(error->errorDescription(), description);
}

void TestAuthorization::missingRunnerIsCommandFailed()
{
    QTemporaryDir dir;
    platform::SystemLocations l = platform::SystemLocations::macOS();
    l.scriptRunner = dir.filePath(QStringLiteral("no-such-runner"));
    platform::Service<platform::SystemLocations>::Override locations(l);
    AuthorizationManager manager;
    const Settled<QString> result = settle(manager.runPrivilegedShell(QStringLiteral("true")));
    const std::optional<AuthError> error = result.errorAs<AuthError>();
    QVERIFY(error);
    QCOMPARE(error->kind(), AuthError::Kind::commandFailed);
    QVERIFY(!error->message().isEmpty());
    QVERIFY(error->errorDescription().startsWith(QStringLiteral("コマンド失敗: ")));
}

void TestAuthorization::errorDescriptions()
{
    QCOMPARE(AuthError::notAuthorized().errorDescription(), QStringLiteral("管理者権限が取得できていません。"));
    QCOMPARE(AuthError::userCancelled().errorDescription(), QStringLiteral("認証がキャンセルされました。"));
    QCOMPARE(AuthError::commandFailed(QStringLiteral("\n disk full \n")).errorDescription(),
             QStringLiteral("コマンド失敗: disk full"));
    QCOMPARE(QString::fromUtf8(AuthError::userCancelled().what()), QStringLiteral("認証がキャンセルされました。"));
}

void TestAuthorization::concurrentRunsTakeTurnsInCallOrder()
{
    // The runner notes an overlap when another run still holds its lock directory, and
    // stays a moment so that overlapping runs would meet.
    ScriptedScriptRunner runner("if ! mkdir \"$D/lock\" 2>/dev/null; then echo overlap >> \"$D/log\"; fi\n"
                          "echo \"start $n\" >> \"$D/log\"\n"
                          "sleep 0.2\n"
                          "echo \"end $n\" >> \"$D/log\"\n"
                          "rmdir \"$D/lock\"\n");
    runner.answer("done\n");
    AuthorizationManager manager;

    QStringList finished;
    bool allOnMainThread = true;
    auto caller = [&](QString command) -> QCoro::Task<> {
        try {
            co_await manager.runPrivilegedShell(command);
        } catch (...) {
        }
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
    QCOMPARE(runner.scripts(), (QByteArrayList{"do shell script \"echo 1\" with administrator privileges",
                                               "do shell script \"echo 2\" with administrator privileges",
                                               "do shell script \"echo 3\" with administrator privileges"}));
}

void TestAuthorization::eventLoopRunsWhileTheDialogIsUp()
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

void TestAuthorization::rootRunsDoNotWaitForAFullCommandPool()
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
            co_await Shell::runAsync(std::move(line));
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
    QVERIFY2(run.succeeded(), qPrintable(run.errorText()));
    QCOMPARE(*run.value, QStringLiteral("done\n"));
    QCOMPARE(probe.value, std::optional<CleanerHelperStatus>(CleanerHelperStatus::installed));
}

void TestAuthorization::streamingCancelledDialogRaisesUserCancelled()
{
    ScriptedScriptRunner runner;
    runner.answer(QByteArray(), "execution error: User canceled. (-128)\n", 1);
    AuthorizationManager manager;
    QStringList lines;
    const Settled<int> result = settle(
        manager.runPrivilegedStreaming(QStringLiteral("echo never"), [&lines](const QString& line) { lines << line; }));
    const std::optional<AuthError> error = result.errorAs<AuthError>();
    QVERIFY(error);
    QCOMPARE(error->kind(), AuthError::Kind::userCancelled);
    QVERIFY(lines.isEmpty());
    // One administrator run: root makes its own folder in the system's temporary directory
    // and sends the caller's command, quoted whole, into a file there.
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

void TestAuthorization::streamingRunnerFailureIsCommandFailed()
{
    ScriptedScriptRunner runner;
    runner.answer(QByteArray(), "0:1: execution error: sh: cannot create (2)\n", 1);
    AuthorizationManager manager;
    const Settled<int> result = settle(manager.runPrivilegedStreaming(QStringLiteral("true"), nullptr));
    const std::optional<AuthError> error = result.errorAs<AuthError>();
    QVERIFY(error);
    QCOMPARE(error->kind(), AuthError::Kind::commandFailed);
    QCOMPARE(error->errorDescription(), QStringLiteral("コマンド失敗: 0:1: execution error: sh: cannot create (2)"));
}

void TestAuthorization::authorizationStepMarksAuthorizedOnce()
{
    ScriptedScriptRunner runner;
    AuthorizationManager manager;
    QSignalSpy changed(&manager, &AuthorizationManager::isAuthorizedChanged);
    QVERIFY(!manager.isAuthorized());
    QCoro::waitFor(manager.runStartupStep());
    QVERIFY(manager.isAuthorized());
    QCoro::waitFor(manager.runStartupStep());
    QCOMPARE(changed.count(), 1);
    QVERIFY(runner.scripts().isEmpty());   // no dialog, nothing run

    FakeAuthorization fake;
    QVERIFY(&AuthorizationManager::shared() == &fake);
    QCoro::waitFor(AuthorizationManager::shared().runStartupStep());
    QCoro::waitFor(AuthorizationManager::shared().runStartupStep());
    QCOMPARE(fake.authorizationRequests(), 1);
}

void TestAuthorization::authenticateMapsTheSystemReply_data()
{
    using Outcome = platform::OwnerAuthenticationReply::Outcome;
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("systemText");
    QTest::addColumn<BiometricResult>("expected");
    QTest::newRow("success") << int(Outcome::success) << QString() << BiometricResult::success();
    QTest::newRow("cancelled") << int(Outcome::cancelled) << QString() << BiometricResult::cancelled();
    QTest::newRow("no error object") << int(Outcome::failedWithoutError) << QString()
                                     << BiometricResult::failed(QStringLiteral("認証に失敗しました"));
    QTest::newRow("error") << int(Outcome::error) << QStringLiteral("Biometry is locked out.")
                           << BiometricResult::failed(QStringLiteral("Biometry is locked out."));
}

void TestAuthorization::authenticateMapsTheSystemReply()
{
    QFETCH(int, outcome);
    QFETCH(QString, systemText);
    QFETCH(BiometricResult, expected);
    ScriptedOwnerAuthentication system;
    system.reply = {platform::OwnerAuthenticationReply::Outcome(outcome), systemText};
    AuthorizationManager manager;
    const BiometricResult result = QCoro::waitFor(manager.authenticate(QStringLiteral("システムキャッシュを削除します")));
    QCOMPARE(result, expected);
    QCOMPARE(system.reasons, QStringList{QStringLiteral("システムキャッシュを削除します")});
    QCOMPARE(system.cancelTitles, QStringList{QStringLiteral("キャンセル")});
}

void TestAuthorization::authenticateUnavailableWithoutPolicy()
{
    ScriptedOwnerAuthentication system;
    system.ownerPolicy = false;
    AuthorizationManager manager;
    QCOMPARE(QCoro::waitFor(manager.authenticate(QStringLiteral("r"))), BiometricResult::unavailable());
    QVERIFY(system.reasons.isEmpty());
}

void TestAuthorization::touchIdFollowsBiometricsPolicy()
{
    AuthorizationManager manager;
#ifndef __APPLE__
    QVERIFY(!manager.canUseTouchID());    // Linux has no biometrics-only policy
#endif
    ScriptedOwnerAuthentication system;
    system.biometrics = true;
    QVERIFY(manager.canUseTouchID());
    system.biometrics = false;
    QVERIFY(!manager.canUseTouchID());
}

void TestAuthorization::linuxOwnerAuthentication()
{
#ifdef __APPLE__
    QSKIP("polkit is the Linux facility");
#endif
    platform::OwnerAuthentication& system = platform::OwnerAuthentication::systemDefault();
    QVERIFY(!system.canUseBiometrics());
    if (::geteuid() != 0)
        QSKIP("a user needs polkit's agent");
    // Root is the owner already: no dialog, no pkexec.
    QVERIFY(system.canEvaluateOwnerPolicy());
    AuthorizationManager manager;
    QCOMPARE(QCoro::waitFor(manager.authenticate(QStringLiteral("r"))), BiometricResult::success());
}

void TestAuthorization::fakeAuthorizationAnswersFromItsTable()
{
    FakeAuthorization fake;
    fake.on(QStringLiteral("a"), PrivilegedAnswer::ok(QStringLiteral("A")));
    fake.onMatch(QRegularExpression(QStringLiteral("^rm ")), PrivilegedAnswer::fail(AuthError::userCancelled()));
    fake.onStreaming(QStringLiteral("s"), StreamingAnswer{{QStringLiteral("x"), QStringLiteral("y")}, 3, std::nullopt});
    AuthorizationManager& shared = AuthorizationManager::shared();
    QCOMPARE(*settle(shared.runPrivilegedShell(QStringLiteral("a"))).value, QStringLiteral("A"));
    QCOMPARE(settle(shared.runPrivilegedShell(QStringLiteral("rm -rf '/x'"))).errorAs<AuthError>()->kind(),
             AuthError::Kind::userCancelled);
    QCOMPARE(*settle(shared.runPrivilegedShell(QStringLiteral("other"))).value, QString());
    QStringList lines;
    QCOMPARE(*settle(shared.runPrivilegedStreaming(QStringLiteral("s"), [&](const QString& l) { lines << l; })).value, 3);
    QCOMPARE(lines, (QStringList{"x", "y"}));
    QCOMPARE(fake.commands(), (QStringList{"a", "rm -rf '/x'", "other"}));
    QCOMPARE(fake.streamingCommands(), QStringList{"s"});
}

QTEST_GUILESS_MAIN(TestAuthorization)
#include "tst_authorization.moc"
