#include "support/FakePrivileged.h"

FakeAuthorization::FakeAuthorization()
    : override_(*this)
{
}

FakeAuthorization::~FakeAuthorization() = default;

void FakeAuthorization::on(const QString& commandLine, PrivilegedAnswer answer)
{
    exact_.append({commandLine, std::move(answer)});
}

void FakeAuthorization::onMatch(const QRegularExpression& pattern, PrivilegedAnswer answer)
{
    patterns_.append({pattern, std::move(answer)});
}

void FakeAuthorization::otherwise(std::function<PrivilegedAnswer(const QString&)> answer)
{
    fallback_ = std::move(answer);
}

void FakeAuthorization::onStreaming(const QString& commandLine, StreamingAnswer answer)
{
    streaming_.append({commandLine, std::move(answer)});
}

void FakeAuthorization::clear()
{
    commands_.clear();
    streamingCommands_.clear();
    reasons_.clear();
}

PrivilegedAnswer FakeAuthorization::answerFor(const QString& commandLine) const
{
    if (failAll_)
        return PrivilegedAnswer::fail(*failAll_);
    for (const auto& [line, answer] : exact_)
        if (line == commandLine)
            return answer;
    for (const auto& [pattern, answer] : patterns_)
        if (pattern.match(commandLine).hasMatch())
            return answer;
    if (fallback_)
        return fallback_(commandLine);
    return {};
}

QCoro::Task<QString> FakeAuthorization::runPrivilegedShell(QString commandLine)
{
    commands_.append(commandLine);
    const PrivilegedAnswer answer = answerFor(commandLine);
    if (answer.error)
        throw *answer.error;
    co_return answer.output;
}

QCoro::Task<int> FakeAuthorization::runPrivilegedStreaming(QString commandLine,
                                                           std::function<void(const QString&)> onLine)
{
    streamingCommands_.append(commandLine);
    StreamingAnswer answer;
    for (const auto& [line, scripted] : streaming_)
        if (line == commandLine) {
            answer = scripted;
            break;
        }
    if (failAll_)
        answer.error = failAll_;
    if (answer.error)
        throw *answer.error;
    for (const QString& line : std::as_const(answer.lines))
        if (onLine)
            onLine(line);
    co_return answer.exitStatus;
}

QCoro::Task<bool> FakeAuthorization::requestAuthorization()
{
    ++authorizationRequests_;
    setAuthorized(true);
    co_return true;
}

QCoro::Task<BiometricResult> FakeAuthorization::authenticate(QString reason)
{
    reasons_.append(reason);
    co_return biometric_;
}

FakeCleanerHelper::FakeCleanerHelper()
    : override_(*this)
{
}

FakeCleanerHelper::~FakeCleanerHelper() = default;

QCoro::Task<CleanerHelperStatus> FakeCleanerHelper::refreshStatus()
{
    ++refreshCount_;
    setStatus(scriptedStatus_);
    co_return scriptedStatus_;
}

QCoro::Task<> FakeCleanerHelper::install()
{
    ++installCount_;
    if (installError_)
        throw *installError_;
    scriptedStatus_ = CleanerHelperStatus::installed;
    setStatus(scriptedStatus_);
    co_return;
}

QCoro::Task<> FakeCleanerHelper::uninstall()
{
    ++uninstallCount_;
    if (uninstallError_)
        throw *uninstallError_;
    scriptedStatus_ = CleanerHelperStatus::missing;
    setStatus(scriptedStatus_);
    co_return;
}

QCoro::Task<QStringList> FakeCleanerHelper::run(CleanerAction action, QString reason)
{
    actions_.append(action);
    reasons_.append(reason);
    if (runError_)
        throw *runError_;
    co_return runLines_;
}
