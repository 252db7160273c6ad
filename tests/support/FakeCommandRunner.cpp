#include "support/FakeCommandRunner.h"

#include <QMutexLocker>

FakeCommandRunner::FakeCommandRunner()
    : override_(*this)
{
}

FakeCommandRunner::~FakeCommandRunner() = default;

void FakeCommandRunner::on(const QString& commandLine, ShellResult result)
{
    QMutexLocker lock(&mutex_);
    exact_.append({commandLine, std::move(result)});
}

void FakeCommandRunner::onMatch(const QRegularExpression& pattern, ShellResult result)
{
    QMutexLocker lock(&mutex_);
    patterns_.append({pattern, std::move(result)});
}

void FakeCommandRunner::otherwise(std::function<ShellResult(const QString&)> answer)
{
    QMutexLocker lock(&mutex_);
    fallback_ = std::move(answer);
}

QStringList FakeCommandRunner::commands() const
{
    QMutexLocker lock(&mutex_);
    return commands_;
}

void FakeCommandRunner::clear()
{
    QMutexLocker lock(&mutex_);
    commands_.clear();
}

ShellResult FakeCommandRunner::run(const QString& commandLine)
{
    QMutexLocker lock(&mutex_);
    commands_.append(commandLine);
    for (const auto& [line, result] : exact_)
        if (line == commandLine)
            return result;
    for (const auto& [pattern, result] : patterns_)
        if (pattern.match(commandLine).hasMatch())
            return result;
    if (fallback_)
        return fallback_(commandLine);
    return {};
}
