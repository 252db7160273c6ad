#pragma once

#include "exec/AuthorizationManager.h"
#include "exec/CleanerHelper.h"
#include "support/FakeCommandRunner.h"

#include <qcoro/qcorotask.h>

#include <exception>
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

// Stands in for AuthorizationManager::shared() for its lifetime: logs every root command line
// (commands()) and answers from its table; runs complete at once. Streaming runs deliver no
// lines and end with status 0.
class FakeAuthorization final : public AuthorizationManager, public AnswerTable<PrivilegedAnswer> {
    Q_OBJECT
public:
    // Every run fails with `error`, whatever the table says.
    void failAll(const AuthError& error) { failAll_ = error; }
    void setBiometricResult(const BiometricResult& result) { biometric_ = result; }
    // Reason texts of authenticate(), in call order.
    QStringList authenticationReasons() const { return reasons_; }

    QCoro::Task<QString> runPrivilegedShell(QString commandLine) override
    {
        const PrivilegedAnswer scripted = answer(commandLine);
        if (failAll_ || scripted.error)
            throw failAll_ ? *failAll_ : *scripted.error;
        co_return scripted.output;
    }
    QCoro::Task<int> runPrivilegedStreaming(QString, std::function<void(const QString&)>) override
    {
        if (failAll_)
            throw *failAll_;
        co_return 0;
    }
    QCoro::Task<bool> requestAuthorization() override
    {
        setAuthorized(true);
        co_return true;
    }
    bool canUseTouchID() const override { return true; }
    QCoro::Task<BiometricResult> authenticate(QString reason) override
    {
        reasons_.append(reason);
        co_return biometric_;
    }

private:
    std::optional<AuthError> failAll_;
    BiometricResult biometric_ = BiometricResult::success();
    QStringList reasons_;
    platform::Service<AuthorizationManager>::Override override_{*this};
};

// Stands in for CleanerHelper::shared() for its lifetime. refreshStatus() publishes the
// scripted status; run() records the action and reason and returns the scripted lines (or
// throws the scripted error); install() and uninstall() count, optionally throw, and on
// success move the status to installed / missing.
class FakeCleanerHelper final : public CleanerHelper {
    Q_OBJECT
public:
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

    QCoro::Task<CleanerHelperStatus> refreshStatus() override
    {
        ++refreshCount_;
        setStatus(scriptedStatus_);
        co_return scriptedStatus_;
    }
    QCoro::Task<> install() override
    {
        ++installCount_;
        return change(installError_, CleanerHelperStatus::installed);
    }
    QCoro::Task<> uninstall() override
    {
        ++uninstallCount_;
        return change(uninstallError_, CleanerHelperStatus::missing);
    }
    QCoro::Task<QStringList> run(CleanerAction action, QString reason) override
    {
        actions_.append(action);
        reasons_.append(reason);
        if (runError_)
            throw *runError_;
        co_return runLines_;
    }

private:
    QCoro::Task<> change(std::optional<AuthError> error, CleanerHelperStatus status)
    {
        if (error)
            throw *error;
        scriptedStatus_ = status;
        setStatus(status);
        co_return;
    }

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
    platform::Service<CleanerHelper>::Override override_{*this};
};

// The end of one task, value or exception, for tests that must see both: QCoro::waitFor
// never returns for a task that throws, so the task is awaited inside a catching coroutine.
template <typename T>
struct Settled {
    std::optional<std::conditional_t<std::is_void_v<T>, std::monostate, T>> value;
    std::exception_ptr error;

    bool succeeded() const { return value.has_value(); }
    template <typename E>
    std::optional<E> errorAs() const
    {
        try {
            if (error)
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
        try {
            if (error)
                std::rethrow_exception(error);
        } catch (const std::exception& e) {
            return LocalizedError::describe(e);
        } catch (...) {
            return QStringLiteral("unknown exception");
        }
        return QString();
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
