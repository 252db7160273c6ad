#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace platform {

// What to start. The environment and working directory are always the application's own.
struct ProcessRequest {
    QString program;                      // absolute path of the executable
    QStringList arguments;                // argv[1...]; argv[0] is the program
    std::optional<QByteArray> input;      // written to standard input, then closed; none: stdin is inherited
    bool nullInput = false;               // standard input is /dev/null (ignored when `input` is set)
    bool mergeOutput = false;             // standard error goes into the standard-output stream
};

struct ProcessOutcome {
    bool started = false;
    QString launchError;                  // the system's description when the process could not start
    QByteArray standardOutput;            // everything read (merged streams land here)
    QByteArray standardError;             // empty when merged
    int exitStatus = -1;                  // exit status; for a process ended by a signal, the signal number
    bool endedBySignal = false;
};

// Runs a process to its end, draining both output streams (and feeding standard input)
// while it runs, so a process that writes more than a pipe holds never stalls.
// Blocks the calling thread; safe to call from any number of threads at once.
ProcessOutcome runProcess(const ProcessRequest& request);
// The same, handing every chunk of standard output to `onOutput` as it is read (on the
// calling thread) instead of collecting it, so a long run can be followed while it goes on.
ProcessOutcome runProcess(const ProcessRequest& request, const std::function<void(const char* data, qsizetype size)>& onOutput);

// Hints that a freshly allocated, not yet written buffer of `size` bytes will be filled
// whole (huge pages where the system offers them). Harmless for any buffer.
void adviseLargeBuffer(void* data, size_t size);

} // namespace platform
