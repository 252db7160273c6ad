#pragma once

#include "exec/AuthorizationManager.h"
#include "exec/CleanerHelper.h"
#include "support/FakeCommandRunner.h"

#include <variant>

struct PrivilegedAnswer {
    QString output;
    std::optional<AuthError> error;
    int status = 0;   // of a streamed run

    static PrivilegedAnswer ok(const QString& output = QString()) { return {output, std::nullopt}; }
    static PrivilegedAnswer fail(const AuthError& error) { return {QString(), error}; }
};

// Stands in for AuthorizationManager::shared(), answering root lines from its table at once;
// a streamed run prints the answer's output line by line and ends with its status.
class FakeAuthorization final : public AuthorizationManager, public AnswerTable<PrivilegedAnswer> {
    Q_OBJECT
public:
    void failAll(const AuthError& error) { failAll_ = error; }   // whatever the table says

    QCoro::Task<QString> runPrivilegedShell(QString commandLine) override { co_return answerOrThrow(commandLine).output; }
    QCoro::Task<int> runPrivilegedStreaming(QString commandLine, std::function<void(const QString&)> onLine) override
    {
        const PrivilegedAnswer scripted = answerOrThrow(commandLine);
        for (const QString& line : scripted.output.split('\n', Qt::SkipEmptyParts))
            onLine(line);
        co_return scripted.status;
    }
    bool canUseTouchID() const override { return true; }

private:
    PrivilegedAnswer answerOrThrow(const QString& commandLine)
    {
        const PrivilegedAnswer scripted = answer(commandLine);
        if (failAll_)
            throw *failAll_;
        if (scripted.error)
            throw *scripted.error;
        return scripted;
    }

    std::optional<AuthError> failAll_;
    platform::Service<AuthorizationManager>::Override override_{*this};
};

// Stands in for CleanerHelper::shared(), recording runs and answering with the scripted outcome.
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
    QStringList runLines_, reasons_;
    std::optional<CleanerError> runError_;
    std::optional<AuthError> installError_, uninstallError_;
    QList<CleanerAction> actions_;
    int refreshCount_ = 0, installCount_ = 0, uninstallCount_ = 0;
    platform::Service<CleanerHelper>::Override override_{*this};
};

// The end of one task, value or exception: QCoro::waitFor never returns for a task that throws.
template <typename T>
struct Settled {
    std::optional<std::conditional_t<std::is_void_v<T>, std::monostate, T>> value;
    std::exception_ptr error;

    template <typename E>
    std::optional<E> errorAs() const
    {
        try {
            return error ? (std::rethrow_exception(error), std::nullopt) : std::nullopt;
        } catch (const E& e) {
            return e;
        } catch (...) {
            return std::nullopt;
        }
    }
    QString errorText() const
    {
        try {
            return error ? (std::rethrow_exception(error), QString()) : QString();
        } catch (const std::exception& e) {
            return LocalizedError::describe(e);
        }
    }
};

namespace detail {
template <typename T>
QCoro::Task<> settleInto(QCoro::Task<T> task, Settled<T>& out)
{
    try {
        if constexpr (std::is_void_v<T>)
            co_await std::move(task), out.value.emplace();
        else
            out.value = co_await std::move(task);
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
    return QCoro::waitFor(detail::settleInto(std::move(task), out)), out;
}
