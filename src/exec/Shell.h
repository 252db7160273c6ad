#pragma once

#include "platform/Service.h"

#include <QFuture>
#include <QMetaType>
#include <QPromise>
#include <QString>
#include <qcoro/qcorotask.h>

#include <functional>
#include <memory>
#include <type_traits>

class QThreadPool;

// The outcome of one finished command line. Both texts are strict UTF-8 (an invalid
// stream becomes "") trimmed of Unicode whitespace and newlines.
struct ShellResult {
    QString output;
    QString error;
    int exitCode = 0;           // -1 when the process could not be started

    bool operator==(const ShellResult&) const = default;
};
Q_DECLARE_METATYPE(ShellResult)

// Where command lines actually go. The system one hands them to "/bin/zsh -c"; tests
// install a fake (tests/support/FakeCommandRunner.h) for the length of one test.
class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    virtual ShellResult run(const QString& commandLine) = 0;

    static CommandRunner& systemDefault();
};

namespace Shell {

// Runs one command line through "/bin/zsh" "-c" and blocks until it has ended and both
// streams are read. Never throws; a launch failure comes back as exit code -1.
ShellResult run(const QString& commandLine);

// The same, off the calling thread: the command occupies one thread of a bounded pool and
// the awaiting coroutine resumes on its own thread (the main thread for screens).
QCoro::Task<ShellResult> runAsync(QString commandLine);

// The bounded pool runAsync uses (also for other blocking work that must leave the main thread).
QThreadPool& commandPool();

// The lane of administrator runs and the cleanup helper's sudo calls, apart from
// commandPool(): commands that never end can fill that pool, and must not keep the
// administrator dialog or the helper from starting.
QThreadPool& privilegedPool();

// Runs start(0) … start(count - 1), at most `width` at a time, each begun as soon as an
// earlier one ends, so a list of a thousand neither floods the main thread with a thousand
// starts at once nor waits behind one slow item. Stops beginning new ones once `keepGoing`
// (when given) says no; those already begun run to their end.
QCoro::Task<> forEachInParallel(qsizetype count, std::function<QCoro::Task<>(qsizetype)> start,
                                std::function<bool()> keepGoing = {}, qsizetype width = 64);

namespace detail {
void feed(QThreadPool& pool, std::function<void()> job);
}

// Runs `work` on `pool` and returns its future (an exception it throws comes back through
// the future). A feeder thread hands the work to the pool, so a burst of hundreds never has
// the calling thread, usually the main one, start the pool's threads itself.
template <typename F>
auto inPool(QThreadPool& pool, F work) -> QFuture<std::invoke_result_t<F&>>
{
    using R = std::invoke_result_t<F&>;
    auto promise = std::make_shared<QPromise<R>>();
    QFuture<R> future = promise->future();
    detail::feed(pool, [promise, work = std::move(work)]() mutable {
        promise->start();
        try {
            if constexpr (std::is_void_v<R>)
                work();
            else
                promise->addResult(work());
        } catch (...) {
            promise->setException(std::current_exception());
        }
        promise->finish();
    });
    return future;
}

// Strict UTF-8 without trimming, as every runner decodes; "" for invalid bytes.
QString decodeStrict(const QByteArray& bytes);

} // namespace Shell
