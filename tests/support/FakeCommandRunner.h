#pragma once

#include "exec/Shell.h"

#include <QList>
#include <QMutex>
#include <QRegularExpression>
#include <QStringList>

#include <functional>

// Stands in for zsh for the length of one test: records every command line, in order, and
// answers from a table. A line with no answer gets an empty result with exit code 0, so a
// test sees an unexpected command in `commands()` rather than a hang.
class FakeCommandRunner final : public CommandRunner {
public:
    FakeCommandRunner();
    ~FakeCommandRunner() override;

    // Exact command line -> result.
    void on(const QString& commandLine, ShellResult result);
    // Any line matching the pattern -> result (checked after exact lines, in insertion order).
    void onMatch(const QRegularExpression& pattern, ShellResult result);
    // A computed answer for every line nothing else answers.
    void otherwise(std::function<ShellResult(const QString&)> answer);

    QStringList commands() const;
    void clear();

    ShellResult run(const QString& commandLine) override;

private:
    mutable QMutex mutex_;
    QList<std::pair<QString, ShellResult>> exact_;
    QList<std::pair<QRegularExpression, ShellResult>> patterns_;
    std::function<ShellResult(const QString&)> fallback_;
    QStringList commands_;
    platform::Service<CommandRunner>::Override override_;
};
