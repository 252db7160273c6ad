#include "exec/AuthorizationManager.h"

#include "exec/LineSplitter.h"
#include "exec/Quote.h"
#include "exec/Shell.h"
#include "platform/FileReader.h"
#include "platform/OwnerAuthentication.h"
#include "platform/Process.h"
#include "platform/SystemLocations.h"

#include <QFuture>
#include <QTimer>
#include <QUuid>
#include <QtConcurrent/QtConcurrentRun>
#include <qcoro/qcorofuture.h>
#include <qcoro/qcorotimer.h>

#include <chrono>
#include <coroutine>
#include <deque>
#include <optional>

const char* LocalizedError::what() const noexcept
{
    whatStorage_ = errorDescription().toUtf8();
    return whatStorage_.constData();
}

QString LocalizedError::describe(const std::exception& error)
{
    if (const auto* localized = dynamic_cast<const LocalizedError*>(&error))
        return localized->errorDescription();
    return QString::fromUtf8(error.what());
}

QString AuthError::errorDescription() const
{
    switch (kind_) {
    case Kind::commandFailed:
        return QStringLiteral("コマンド失敗: ") + message_.trimmed();
    case Kind::notAuthorized:
        return QStringLiteral("管理者権限が取得できていません。");
    case Kind::userCancelled:
        return QStringLiteral("認証がキャンセルされました。");
    }
    return QString();
}

namespace {

// The outcome of one run of the script runner.
struct ExecResult {
    QString output;          // standard output, not trimmed; empty unless succeeded
    QString error;           // standard error, or the launch failure; empty on success
    bool succeeded = false;
    bool cancelled = false;
};

// Blocks until the script runner has ended; both streams are drained while it runs.
ExecResult runScriptRunner(const QString& runner, const QByteArray& script)
{
    platform::ProcessRequest request;
    request.program = runner;
    request.input = script;
    const platform::ProcessOutcome outcome = platform::runProcess(request);
    ExecResult result;
    if (!outcome.started) {
        result.error = outcome.launchError;
        return result;
    }
    if (outcome.exitStatus == 0 && !outcome.endedBySignal) {
        result.output = Shell::decodeStrict(outcome.standardOutput);
        result.succeeded = true;
        return result;
    }
    result.error = Shell::decodeStrict(outcome.standardError);
    result.cancelled = AuthorizationManager::isCancellationText(result.error);
    return result;
}

QFuture<ExecResult> startPrivilegedRun(const QString& commandLine)
{
    const QString runner = platform::SystemLocations::shared().scriptRunner;
    const QByteArray script = AuthorizationManager::appleScript(commandLine).toUtf8();
    // The runner waits for the user in the password dialog; that wait belongs on a worker,
    // in the administrator lane so that busy unprivileged commands never hold it up.
    return QtConcurrent::run(&Shell::privilegedPool(), [runner, script] { return runScriptRunner(runner, script); });
}

// The root command of a streamed run. Root writes only into a folder it makes itself in the
// system's temporary directory: `mkdir` without -p fails on anything already there (a link
// included), the sticky bit keeps others from renaming the folder and its mode from writing
// into it, and noclobber keeps root from opening a file it did not just create. The command's
// status comes back on the runner's standard output. The folder is removed a minute later by
// a detached job whose descriptors are all redirected, so the runner does not wait for it;
// the program opens the output as soon as it exists, at the latest right after the run, and
// an open descriptor stays readable after the removal.
QString streamingCommandLine(const QString& commandLine, const QString& folder)
{
    const QString quotedFolder = Quote::singleQuoted(folder);
    return QStringLiteral("umask 022; set -C; /bin/mkdir -m 755 ") + quotedFolder + QStringLiteral(" || exit 1; /bin/sh -c ")
         + Quote::singleQuoted(commandLine) + QStringLiteral(" </dev/null >")
         + Quote::singleQuoted(folder + QStringLiteral("/output"))
         + QStringLiteral(" 2>&1; S=$?; (/bin/sleep 60; /bin/rm -rf ") + quotedFolder
         + QStringLiteral(") </dev/null >/dev/null 2>&1 & echo \"$S\"");
}

// `do shell script` reports line breaks as carriage returns.
QString normalisedLineBreaks(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

// A first-come, first-served lock for coroutines on the main thread: administrator runs
// take turns in call order, and a waiting caller is suspended, not blocked.
class AuthorizationManager::RunQueue {
public:
    explicit RunQueue(QObject* context) : context_(context) {}

    class Turn {
    public:
        explicit Turn(RunQueue* queue) : queue_(queue) {}
        Turn(Turn&& other) noexcept : queue_(std::exchange(other.queue_, nullptr)) {}
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;
        Turn& operator=(Turn&&) = delete;
        ~Turn()
        {
            if (queue_)
                queue_->release();
        }

    private:
        RunQueue* queue_;
    };

    struct Awaiter {
        RunQueue* queue;
        bool await_ready()
        {
            if (queue->busy_)
                return false;
            queue->busy_ = true;
            return true;
        }
        void await_suspend(std::coroutine_handle<> waiter) { queue->waiters_.push_back(waiter); }
        Turn await_resume() { return Turn(queue); }
    };

    Awaiter acquire() { return Awaiter{this}; }

private:
    void release()
    {
        if (waiters_.empty()) {
            busy_ = false;
            return;
        }
        // The turn passes straight to the next caller (busy_ stays set); it resumes from the
        // event loop so the one finishing now completes first.
        const std::coroutine_handle<> next = waiters_.front();
        waiters_.pop_front();
        QTimer::singleShot(0, context_, [next] { next.resume(); });
    }

    QObject* context_;
    bool busy_ = false;
    std::deque<std::coroutine_handle<>> waiters_;
};

AuthorizationManager::AuthorizationManager(QObject* parent)
    : QObject(parent), queue_(std::make_unique<RunQueue>(this))
{
}

AuthorizationManager::~AuthorizationManager() = default;

AuthorizationManager& AuthorizationManager::systemDefault()
{
    static AuthorizationManager* manager = new AuthorizationManager;
    return *manager;
}

void AuthorizationManager::setAuthorized(bool authorized)
{
    if (isAuthorized_ == authorized)
        return;
    isAuthorized_ = authorized;
    emit isAuthorizedChanged(authorized);
}

bool AuthorizationManager::isCancellationText(const QString& errorText)
{
    return errorText.contains(QLatin1String("User canceled"))
        || errorText.contains(QStringLiteral("ユーザーによってキャンセルされました"))
        || errorText.contains(QLatin1String("-128"));
}

QString AuthorizationManager::appleScript(const QString& commandLine)
{
    return QStringLiteral("do shell script \"") + Quote::forAppleScript(commandLine)
         + QStringLiteral("\" with administrator privileges");
}

QCoro::Task<QString> AuthorizationManager::runPrivilegedShell(QString commandLine)
{
    RunQueue::Awaiter acquire = queue_->acquire();
    const RunQueue::Turn turn = co_await acquire;
    QFuture<ExecResult> run = startPrivilegedRun(commandLine);
    const ExecResult result = co_await run;
    if (result.succeeded)
        co_return normalisedLineBreaks(result.output);
    if (result.cancelled)
        throw AuthError::userCancelled();
    throw AuthError::commandFailed(result.error);
}

QCoro::Task<int> AuthorizationManager::runPrivilegedStreaming(QString commandLine,
                                                              std::function<void(const QString&)> onLine)
{
    RunQueue::Awaiter acquire = queue_->acquire();
    // The turn covers the administrator dialog only: once root has made the output folder the
    // user has answered, and a run of many minutes (an installer's expansion, writing a disk)
    // must not make every other root action wait silently behind it.
    std::optional<RunQueue::Turn> turn;
    turn.emplace(co_await acquire);

    // An unpredictable name: nobody can have made the folder before root does.
    const QString folder = platform::SystemLocations::shared().systemTemporaryDirectory
                         + QStringLiteral("/TessarinStream-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString rootCommand = streamingCommandLine(commandLine, folder);

    platform::RootWrittenFile output;
    bool refused = false;
    LineSplitter splitter;
    // Opens the output once root has made it, then hands on every line completed since.
    const auto follow = [&] {
        if (!output.isOpen() && !refused)
            refused = output.open(folder, QStringLiteral("output")) == platform::RootWrittenFile::Opening::refused;
        if (!output.isOpen() || !onLine)
            return;
        const QStringList lines = splitter.feed(output.readAvailable());
        for (const QString& line : lines)
            onLine(line);
    };

    QFuture<ExecResult> run = startPrivilegedRun(rootCommand);
    const std::chrono::milliseconds pollInterval(50);
    while (!run.isFinished()) {
        QCoro::Task<> pause = QCoro::sleepFor(pollInterval);
        co_await std::move(pause);
        follow();
        if (output.isOpen())
            turn.reset();
    }
    const ExecResult result = co_await run;
    // Everything the command wrote is in the file by now.
    follow();
    if (output.isOpen() && onLine)
        for (const QString& line : splitter.finish())
            onLine(line);

    if (!result.succeeded) {
        if (result.cancelled)
            throw AuthError::userCancelled();
        throw AuthError::commandFailed(result.error);
    }
    if (!output.isOpen())
        throw AuthError::commandFailed(QStringLiteral("root が作成した出力ファイルを確認できませんでした: ") + folder);
    bool ok = false;
    const int status = normalisedLineBreaks(result.output).trimmed().toInt(&ok);
    if (!ok)
        throw AuthError::commandFailed(QStringLiteral("終了ステータスを取得できませんでした"));
    co_return status;
}

QCoro::Task<bool> AuthorizationManager::requestAuthorization()
{
    setAuthorized(true);
    co_return true;
}

QCoro::Task<> AuthorizationManager::runStartupStep()
{
    if (isAuthorized())
        co_return;
    QCoro::Task<bool> request = requestAuthorization();
    co_await std::move(request);
}

bool AuthorizationManager::canUseTouchID() const
{
    return platform::OwnerAuthentication::shared().canUseBiometrics();
}

QCoro::Task<BiometricResult> AuthorizationManager::authenticate(QString reason)
{
    platform::OwnerAuthentication& authentication = platform::OwnerAuthentication::shared();
    if (!authentication.canEvaluateOwnerPolicy())
        co_return BiometricResult::unavailable();
    const QString cancelTitle = QStringLiteral("キャンセル");
    QCoro::Task<platform::OwnerAuthenticationReply> evaluation = authentication.evaluateOwnerPolicy(reason, cancelTitle);
    const platform::OwnerAuthenticationReply reply = co_await std::move(evaluation);
    switch (reply.outcome) {
    case platform::OwnerAuthenticationReply::Outcome::success:
        co_return BiometricResult::success();
    case platform::OwnerAuthenticationReply::Outcome::cancelled:
        co_return BiometricResult::cancelled();
    case platform::OwnerAuthenticationReply::Outcome::failedWithoutError:
        co_return BiometricResult::failed(QStringLiteral("認証に失敗しました"));
    case platform::OwnerAuthenticationReply::Outcome::error:
        break;
    }
    co_return BiometricResult::failed(reply.errorDescription);
}
