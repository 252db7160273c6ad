#pragma once

#include "exec/Shell.h"

#include <QMutex>
#include <QRegularExpression>

// Answers command lines (exact, then patterns in order, then the fallback, else a default answer
// rather than a hang) and logs them; safe from the command pool's threads.
template <typename Answer>
class AnswerTable {
public:
    void on(const QString& line, Answer answer) { QMutexLocker lock(&mutex_); exact_.append({line, std::move(answer)}); }
    void onMatch(const QRegularExpression& pattern, Answer answer) { QMutexLocker lock(&mutex_); patterns_.append({pattern, std::move(answer)}); }
    void otherwise(std::function<Answer(const QString&)> answer) { QMutexLocker lock(&mutex_); fallback_ = std::move(answer); }
    QStringList commands() const { QMutexLocker lock(&mutex_); return commands_; }
    void clear() { QMutexLocker lock(&mutex_); commands_.clear(); }

protected:
    // Logs `line` and answers it; the fallback runs unlocked, since it may block on the test.
    Answer answer(const QString& line)
    {
        QMutexLocker lock(&mutex_);
        commands_.append(line);
        for (const auto& [exact, scripted] : exact_)
            if (exact == line)
                return scripted;
        for (const auto& [pattern, scripted] : patterns_)
            if (pattern.match(line).hasMatch())
                return scripted;
        const auto fallback = fallback_;
        lock.unlock();
        return fallback ? fallback(line) : Answer{};
    }

private:
    mutable QMutex mutex_;
    QList<std::pair<QString, Answer>> exact_;
    QList<std::pair<QRegularExpression, Answer>> patterns_;
    std::function<Answer(const QString&)> fallback_;
    QStringList commands_;
};

// Stands in for zsh for the length of one test.
class FakeCommandRunner final : public CommandRunner, public AnswerTable<ShellResult> {
public:
    ShellResult run(const QString& commandLine) override { return answer(commandLine); }

private:
    platform::Service<CommandRunner>::Override override_{*this};
};
