// posix_spawn + poll: both macOS and Linux have them, so one launcher serves both.
#include "platform/Process.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mutex>
#include <vector>

extern char** environ;

namespace platform {
namespace {

struct Pipe {
    int read = -1;
    int write = -1;
    bool open()
    {
        int fds[2];
#ifdef __APPLE__
        // macOS has no pipe2: between pipe() and fcntl() a process spawned by another
        // thread can inherit both ends. Our own spawns cannot (they start with
        // POSIX_SPAWN_CLOEXEC_DEFAULT, below); the flags still keep other launchers off them.
        if (::pipe(fds) != 0)
            return false;
        ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
#else
        // Close-on-exec from the start: a process spawned concurrently by another thread
        // must not inherit our write end, or we would never see end-of-file.
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return false;
#endif
        read = fds[0];
        write = fds[1];
        return true;
    }
    void closeRead() { if (read >= 0) { ::close(read); read = -1; } }
    void closeWrite() { if (write >= 0) { ::close(write); write = -1; } }
    ~Pipe() { closeRead(); closeWrite(); }
};

QString describeErrno(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

ProcessOutcome launchFailure(const QString& text)
{
    ProcessOutcome outcome;
    outcome.launchError = text;
    return outcome;
}

ProcessOutcome runImpl(const ProcessRequest& request)
{
    const QByteArray program = QFile::encodeName(request.program);
    std::vector<QByteArray> argStorage;
    argStorage.reserve(size_t(request.arguments.size()) + 1);
    argStorage.push_back(program);
    for (const QString& argument : request.arguments)
        argStorage.push_back(argument.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& a : argStorage)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    Pipe out, err, in;
    const bool feedInput = request.input.has_value();
    if (feedInput) {
        // A child that exits before reading all its input must not kill the application
        // with SIGPIPE; the failed write is handled as a closed pipe instead.
        static std::once_flag ignorePipeSignal;
        std::call_once(ignorePipeSignal, [] { ::signal(SIGPIPE, SIG_IGN); });
    }
    if (!out.open() || (!request.mergeOutput && !err.open()) || (feedInput && !in.open()))
        return launchFailure(describeErrno(errno));

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (feedInput)
        posix_spawn_file_actions_adddup2(&actions, in.read, STDIN_FILENO);
    else if (request.nullInput)
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
#ifdef __APPLE__
    else   // inherited standard input has to be named, or POSIX_SPAWN_CLOEXEC_DEFAULT closes it
        posix_spawn_file_actions_addinherit_np(&actions, STDIN_FILENO);
#endif
    posix_spawn_file_actions_adddup2(&actions, out.write, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, request.mergeOutput ? out.write : err.write, STDERR_FILENO);

    // The child starts with default signal handling even if the application ignores SIGPIPE.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t noMask;
    sigemptyset(&noMask);
    posix_spawnattr_setsigmask(&attributes, &noMask);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
#ifdef __APPLE__
    // The child inherits only the descriptors the file actions name (0, 1 and 2): a pipe
    // another thread has just made, and not yet marked close-on-exec, stays out of it.
    flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
#endif
    posix_spawnattr_setflags(&attributes, flags);

    pid_t pid = -1;
    const int spawnError = ::posix_spawn(&pid, program.constData(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawnError != 0)
        return launchFailure(describeErrno(spawnError));

    out.closeWrite();
    err.closeWrite();
    in.closeRead();

    ProcessOutcome outcome;
    outcome.started = true;

    QByteArray pendingInput = feedInput ? *request.input : QByteArray();
    qsizetype inputOffset = 0;
    if (feedInput) {
        ::fcntl(in.write, F_SETFL, ::fcntl(in.write, F_GETFL) | O_NONBLOCK);
        if (pendingInput.isEmpty())
            in.closeWrite();
    }

    // A pipe holds 64 KiB, so no read returns more.
    char buffer[64 * 1024];
    auto drain = [&](Pipe& pipe, QByteArray& target) {
        const ssize_t n = ::read(pipe.read, buffer, sizeof buffer);
        if (n > 0) {
            if (request.onOutput)
                request.onOutput(&pipe == &err, buffer, n);
            else
                target.append(buffer, n);
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            pipe.closeRead();
        }
    };

    while (out.read >= 0 || err.read >= 0 || in.write >= 0) {
        pollfd fds[3];
        int count = 0;
        int outIndex = -1, errIndex = -1, inIndex = -1;
        if (out.read >= 0) { fds[count] = {out.read, POLLIN, 0}; outIndex = count++; }
        if (err.read >= 0) { fds[count] = {err.read, POLLIN, 0}; errIndex = count++; }
        if (in.write >= 0) { fds[count] = {in.write, POLLOUT, 0}; inIndex = count++; }
        if (::poll(fds, nfds_t(count), -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (outIndex >= 0 && fds[outIndex].revents)
            drain(out, outcome.standardOutput);
        if (errIndex >= 0 && fds[errIndex].revents)
            drain(err, outcome.standardError);
        if (inIndex >= 0 && fds[inIndex].revents) {
            if (fds[inIndex].revents & (POLLERR | POLLHUP)) {
                in.closeWrite();   // the child closed its standard input early
            } else {
                const ssize_t n = ::write(in.write, pendingInput.constData() + inputOffset,
                                          size_t(pendingInput.size() - inputOffset));
                if (n > 0)
                    inputOffset += n;
                else if (n < 0 && errno != EINTR && errno != EAGAIN)
                    in.closeWrite();
                if (inputOffset >= pendingInput.size())
                    in.closeWrite();
            }
        }
    }

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            outcome.exitStatus = -1;
            return outcome;
        }
    }
    if (WIFEXITED(status)) {
        outcome.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        outcome.exitStatus = WTERMSIG(status);
        outcome.endedBySignal = true;
    }
    return outcome;
}

} // namespace

void lowerThreadPriority()
{
#ifdef __APPLE__
    pthread_set_qos_class_self_np(QOS_CLASS_UTILITY, 0);
#else
    // On Linux a nice value belongs to the thread, and processes it spawns inherit it.
    ::setpriority(PRIO_PROCESS, id_t(::gettid()), 10);
#endif
}

ProcessOutcome runProcess(const ProcessRequest& request)
{
    return runImpl(request);
}

} // namespace platform
