#include "exec/Shell.h"

#include "platform/Process.h"

#include <QFuture>
#include <QStringDecoder>
#include <QThreadPool>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>
#include <qcoro/qcorofuture.h>

namespace {

// Strict UTF-8 decoded chunk by chunk as a process writes, so decoding overlaps the writer
// instead of following it. A sequence cut by a chunk boundary waits for the next chunk; any
// invalid or unfinished sequence makes the whole text "".
class StrictUtf8 {
public:
    void append(const char* data, qsizetype size)
    {
        if (!pending_.isEmpty() && !failed_) {
            // Complete the cut sequence first; its lead byte tells how long it is.
            const qsizetype take = std::min(size, sequenceLength(uchar(pending_[0])) - pending_.size());
            pending_.append(data, take);
            data += take, size -= take;
            if (pending_.size() < sequenceLength(uchar(pending_[0])))
                return;
            decode(pending_.constData(), pending_.size());
            pending_.clear();
        }
        if (failed_ || size <= 0)
            return;
        const qsizetype whole = wholePrefix(data, size);
        decode(data, whole);
        pending_.append(data + whole, size - whole);
    }

    QString finish() &&
    {
        if (failed_ || !pending_.isEmpty())
            return QString();
        text_.truncate(used_);
        return std::move(text_);
    }

private:
    static qsizetype sequenceLength(uchar lead) { return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1; }

    // The longest prefix that does not end inside a multi-byte sequence.
    static qsizetype wholePrefix(const char* data, qsizetype size)
    {
        for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
            const uchar byte = uchar(data[size - back]);
            if ((byte & 0xC0) != 0x80)
                return sequenceLength(byte) > back ? size - back : size;
        }
        return size;
    }

    void decode(const char* data, qsizetype size)
    {
        if (size <= 0)
            return;
        // UTF-16 never needs more code units than UTF-8 has bytes.
        if (text_.size() - used_ < size)
            text_.resize(std::max(used_ + size, text_.size() * 2));
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QChar* end = decoder.appendToBuffer(text_.data() + used_, QByteArrayView(data, size));
        failed_ = decoder.hasError();
        used_ = end - text_.constData();
    }

    QString text_;
    qsizetype used_ = 0;
    QByteArray pending_;
    bool failed_ = false;
};

class ZshRunner final : public CommandRunner {
public:
    ShellResult run(const QString& commandLine) override
    {
        StrictUtf8 output, error;
        platform::ProcessRequest request;
        request.program = QStringLiteral("/bin/zsh");
        request.arguments = {QStringLiteral("-c"), commandLine};
        request.onOutput = [&](bool fromError, const char* data, qsizetype size) { (fromError ? error : output).append(data, size); };
        const platform::ProcessOutcome outcome = platform::runProcess(request);
        if (!outcome.started)
            return {QString(), outcome.launchError, -1};
        // QString::trimmed drops the Unicode whitespace-and-newline set (Z*, U+0009-U+000D, U+0085).
        return {std::move(output).finish().trimmed(), std::move(error).finish().trimmed(), outcome.exitStatus};
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
    StrictUtf8 text;
    text.append(bytes.constData(), bytes.size());
    return std::move(text).finish();
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

namespace detail {

void feed(QThreadPool& pool, std::function<void()> job)
{
    struct Feeder {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<std::pair<QThreadPool*, std::function<void()>>> jobs;
    };
    // Never destroyed: pool work may still be handed on while the process exits.
    static Feeder* feeder = [] {
        auto* f = new Feeder;
        std::thread([f] {
            for (;;) {
                std::unique_lock lock(f->mutex);
                f->wake.wait(lock, [f] { return !f->jobs.empty(); });
                auto [target, next] = std::move(f->jobs.front());
                f->jobs.pop_front();
                lock.unlock();
                target->start([job = std::move(next)] {
                    static thread_local const bool lowered = (platform::lowerThreadPriority(), true);
                    (void)lowered;
                    job();
                });
            }
        }).detach();
        return f;
    }();
    {
        const std::lock_guard lock(feeder->mutex);
        feeder->jobs.emplace_back(&pool, std::move(job));
    }
    feeder->wake.notify_one();
}

} // namespace detail

namespace {

struct ParallelRun {
    qsizetype next = 0;
    qsizetype count = 0;
    std::function<QCoro::Task<>(qsizetype)> start;
    std::function<bool()> keepGoing;
};

QCoro::Task<> parallelWorker(std::shared_ptr<ParallelRun> run)
{
    while (run->next < run->count && (!run->keepGoing || run->keepGoing())) {
        QCoro::Task<> item = run->start(run->next++);
        co_await std::move(item);
    }
}

} // namespace

QCoro::Task<> forEachInParallel(qsizetype count, std::function<QCoro::Task<>(qsizetype)> start, std::function<bool()> keepGoing,
                                qsizetype width)
{
    auto run = std::make_shared<ParallelRun>(ParallelRun{0, count, std::move(start), std::move(keepGoing)});
    std::vector<QCoro::Task<>> workers;
    for (qsizetype i = 0; i < std::min(width, count); ++i)
        workers.push_back(parallelWorker(run));
    for (QCoro::Task<>& worker : workers)
        co_await std::move(worker);
}

QCoro::Task<ShellResult> runAsync(QString commandLine)
{
    QFuture<ShellResult> future = inPool(commandPool(), [line = std::move(commandLine)] { return Shell::run(line); });
    co_return co_await future;
}

} // namespace Shell
