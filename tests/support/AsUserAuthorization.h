#pragma once

#include "exec/AuthorizationManager.h"
#include "exec/Shell.h"

#include <QMutex>

// Stands in for AuthorizationManager::shared() by running each root line through the real zsh
// as the current user, so that real tools act on a test's own tree: the output on success,
// AuthError::commandFailed with the error output on a non-zero status.
class AsUserAuthorization final : public AuthorizationManager {
public:
    QStringList commands() const { return commands_; }

    QCoro::Task<QString> runPrivilegedShell(QString commandLine) override
    {
        commands_ << commandLine;
        QCoro::Task<ShellResult> run = Shell::runAsync(commandLine);
        const ShellResult result = co_await std::move(run);
        if (result.exitCode != 0)
            throw AuthError::commandFailed(result.error.isEmpty() ? QStringLiteral("status %1").arg(result.exitCode) : result.error);
        co_return result.output;
    }

private:
    QStringList commands_;
    platform::Service<AuthorizationManager>::Override override_{*this};
};
