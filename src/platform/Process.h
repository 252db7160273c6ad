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
    // When set, output is handed here as it arrives (on the calling thread, between reads)
    // instead of being collected into the outcome, so the caller can work in step with the writer.
    std::function<void(bool fromStandardError, const char* data, qsizetype size)> onOutput = {};
};

struct ProcessOutcome {
    bool started = false;
    QString launchError;                  // the system's description when the process could not start
    QByteArray standardOutput;            // everything read (merged streams land here); empty with onOutput
    QByteArray standardError;             // empty when merged or with onOutput
    int exitStatus = -1;                  // exit status; for a process ended by a signal, the signal number
    bool endedBySignal = false;
};

// Runs a process to its end, draining both output streams (and feeding standard input)
// while it runs, so a process that writes more than a pipe holds never stalls.
// Blocks the calling thread; safe to call from any number of threads at once.
ProcessOutcome runProcess(const ProcessRequest& request);

// Puts the calling thread, and every process it starts from now on, behind the user interface
// in the scheduler's order, so that commands fanned out by the hundred leave the window smooth.
void lowerThreadPriority();

} // namespace platform
