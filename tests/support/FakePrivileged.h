#pragma once

#include "exec/AuthorizationManager.h"
#include "exec/CleanerHelper.h"

#include <QList>
#include <QRegularExpression>
#include <QStringList>
#include <qcoro/qcorotask.h>

#include <exception>
#include <functional>
#include <optional>
#include <type_traits>
#include <variant>

// What a fake administrator run answers: the output, or the error it throws.
struct PrivilegedAnswer {
    QString output;
    std::optional<AuthError> error;

    static PrivilegedAnswer ok(const QString& output = QString()) { return {output, std::nullopt}; }
    static PrivilegedAnswer fail(const AuthError& error) { return {QString(), error}; }
};

// What a fake streaming run answers: the lines it delivers and the exit status, or the error.
struct StreamingAnswer {
    QStringList lines;
    int exitStatus = 0;
    std::optional<AuthError> error;
};

// Stands in for AuthorizationManager::shared() for its lifetime. Records every root command
// line, in order, and answers from a table (exact lines first, then patterns in insertion
// order, then the fallback; with nothing matching: empty output). Runs complete at once.
class FakeAuthorization final : public AuthorizationManager {
    Q_OBJECT
public:
    FakeAuthorization();
    ~FakeAuthorization() override;

    void on(const QString& commandLine, PrivilegedAnswer answer);
    void onMatch(const QRegularExpression& pattern, PrivilegedAnswer answer);
    void otherwise(std::function<PrivilegedAnswer(const QString&)> answer);
    // Every administrator run fails with `error` (overrides the table).
    void failAll(const AuthError& error) { failAll_ = error; }
    // A streaming run of `commandLine` delivers the answer's lines (others: none, status 0).
    void onStreaming(const QString& commandLine, StreamingAnswer answer);
    void setBiometricResult(const BiometricResult& result) { biometric_ = result; }

    // Root command lines of runPrivilegedShell, in call order.
    QStringList commands() const { return commands_; }
    // Command lines of runPrivilegedStreaming, in call order.
    QStringList streamingCommands() const { return streamingCommands_; }
    // Reason texts of authenticate(), in call order.
    QStringList authenticationReasons() const { return reasons_; }
    int authorizationRequests() const { return authorizationRequests_; }
    void clear();

    QCoro::Task<QString> runPrivilegedShell(QString commandLine) override;
    QCoro::Task<int> runPrivilegedStreaming(QString commandLine, std::function<void(const QString&)> onLine) override;
    QCoro::Task<bool> requestAuthorization() override;
    bool canUseTouchID() const override { return true; }
    QCoro::Task<BiometricResult> authenticate(QString reason) override;

private:
    PrivilegedAnswer answerFor(const QString& commandLine) const;

    QList<std::pair<QString, PrivilegedAnswer>> exact_;
    QList<std::pair<QRegularExpression, PrivilegedAnswer>> patterns_;
    std::function<PrivilegedAnswer(const QString&)> fallback_;
    std::optional<AuthError> failAll_;
    QList<std::pair<QString, StreamingAnswer>> streaming_;
    BiometricResult biometric_ = BiometricResult::success();
    QStringList commands_;
    QStringList streamingCommands_;
    QStringList reasons_;
    int authorizationRequests_ = 0;
    platform::Service<AuthorizationManager>::Override override_;
};

// Stands in for CleanerHelper::shared() for its lifetime. refreshStatus() publishes the
// scripted status; run() records the action and reason and returns the scripted lines (or
// throws the scripted error); install() and uninstall() count, optionally throw, and on
// success move the status to installed / missing.
class FakeCleanerHelper final : public CleanerHelper {
    Q_OBJECT
public:
    FakeCleanerHelper();
    ~FakeCleanerHelper() override;

    void setScriptedStatus(CleanerHelperStatus status) { scriptedStatus_ = status; }
    void setRunLines(const QStringList& lines) { runLines_ = lines; }
    void setRunError(std::optional<CleanerError> error) { runError_ = std::move(error); }
    void setInstallError(std::optional<AuthError> error) { installError_ = std::move(error); }
    void setUninstallError(std::optional<AuthError> error) { uninstallError_ = std::move(error); }

    QList<CleanerAction> actions() const { return actions_; }
    QStringList reasons() const { return reasons_; }
    int refreshCount() const { return refreshCount_; }
    int installCount() const { return installCount_; }
    int uninstallCount() const { return uninstallCount_; }

    QCoro::Task<CleanerHelperStatus> refreshStatus() override;
    QCoro::Task<> install() override;
    QCoro::Task<> uninstall() override;
    QCoro::Task<QStringList> run(CleanerAction action, QString reason) override;

private:
    CleanerHelperStatus scriptedStatus_ = CleanerHelperStatus::missing;
    QStringList runLines_;
    std::optional<CleanerError> runError_;
    std::optional<AuthError> installError_;
    std::optional<AuthError> uninstallError_;
    QList<CleanerAction> actions_;
    QStringList reasons_;
    int refreshCount_ = 0;
    int installCount_ = 0;
    int uninstallCount_ = 0;
    platform::Service<CleanerHelper>::Override override_;
};

// The end of one task, value or exception, for tests that must see both: QCoro::waitFor
// never returns for a task that throws, so the task is awaited inside a catching coroutine.
template <typename T>
struct Settled {
    using Value = std::conditional_t<std::is_void_v<T>, std::monostate, T>;
    std::optional<Value> value;
    std::exception_ptr error;

    bool succeeded() const { return value.has_value(); }
    template <typename E>
    std::optional<E> errorAs() const
    {
        if (!error)
            return std::nullopt;
        try {
            std::rethrow_exception(error);
        } catch (const E& e) {
            return e;
        } catch (...) {
        }
        return std::nullopt;
    }
    // LocalizedError::describe of the exception, "" without one.
    QString errorText() const
    {
        if (!error)
            return QString();
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            return LocalizedError::describe(e);
        } catch (...) {
        }
        return QStringLiteral("unknown exception");
    }
};

namespace detail {
template <typename T>
QCoro::Task<> settleInto(QCoro::Task<T> task, Settled<T>& out)
{
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(task);
            out.value = std::monostate{};
        } else {
            out.value = co_await std::move(task);
        }
    } catch (...) {
        out.error = std::current_exception();
    }
}
} // namespace detail

// Runs the event loop until `task` has ended.
template <typename T>
Settled<T> settle(QCoro::Task<T> task)
{
    Settled<T> out;
    QCoro::waitFor(detail::settleInto(std::move(task), out));
    return out;
}
