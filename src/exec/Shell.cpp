#include "exec/Shell.h"

#include "platform/Process.h"

#include <QFuture>
#include <QStringDecoder>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <qcoro/qcorofuture.h>

namespace {

class ZshRunner final : public CommandRunner {
public:
    ShellResult run(const QString& commandLine) override
    {
        platform::ProcessRequest request;
        request.program = QStringLiteral("/bin/zsh");
        request.arguments = {QStringLiteral("-c"), commandLine};
        const platform::ProcessOutcome outcome = platform::runProcess(request);
        if (!outcome.started)
            return {QString(), outcome.launchError, -1};
        // QString::trimmed drops the Unicode whitespace-and-newline set (Z*, U+0009-U+000D, U+0085).
        return {Shell::decodeStrict(outcome.standardOutput).trimmed(), Shell::decodeStrict(outcome.standardError).trimmed(),
                outcome.exitStatus};
    }
};

} // namespace

CommandRunner& CommandRunner::systemDefault()
{
    static ZshRunner runner;
    return runner;
}

namespace Shell {

QString decodeStrict(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return QString();
    // UTF-16 never needs more code units than UTF-8 has bytes; decode straight into one
    // buffer so a large output is written once.
    QString text(bytes.size(), Qt::Uninitialized);
    platform::adviseLargeBuffer(text.data(), size_t(text.size()) * sizeof(QChar));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QChar* end = decoder.appendToBuffer(text.data(), bytes);
    if (decoder.hasError())
        return QString();
    text.truncate(end - text.constData());
    return text;
}

ShellResult run(const QString& commandLine)
{
    return platform::Service<CommandRunner>::get().run(commandLine);
}

namespace {

// Commands need little stack; small stacks make starting a thread cheaper.
QThreadPool* makePool(int maxThreads)
{
    auto* pool = new QThreadPool;
    pool->setMaxThreadCount(maxThreads);
    pool->setExpiryTimeout(30000);
    pool->setStackSize(512 * 1024);
    return pool;
}

} // namespace

QThreadPool& commandPool()
{
    // Many commands at once (a screen measures eight folders in parallel, the uninstaller
    // one per application), but bounded so a burst queues instead of spawning threads.
    static QThreadPool* pool = makePool(64);
    return *pool;
}

QThreadPool& privilegedPool()
{
    // Administrator runs take turns, so one thread is busy with a dialog or a streamed root
    // command at a time; the others serve the helper's status probes and runs.
    static QThreadPool* pool = makePool(4);
    return *pool;
}

QCoro::Task<ShellResult> runAsync(QString commandLine)
{
    QFuture<ShellResult> future = QtConcurrent::run(&commandPool(), [line = std::move(commandLine)] {
        return Shell::run(line);
    });
    co_return co_await future;
}

} // namespace Shell
