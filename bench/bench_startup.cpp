// Start-up of the whole window, offscreen, as a fresh process each time:
//   * from the moment the process is spawned to the first painted frame of the dashboard,
//     without waiting for its commands (target <= 300 ms)
//   * resident memory once the dashboard's commands have ended (target <= 80 MB)
// The child runs with a temporary home, so the user's settings are never read or written.
#include "app/ui/MainWindow.h"
#include "app/ui/TessarinApp.h"
#include "exec/Shell.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPaintEvent>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

double monotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double residentMB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

// Notes the first paint of the dashboard's screen.
class FirstFrame final : public QObject {
public:
    double at = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (at == 0 && event->type() == QEvent::Paint && std::strcmp(watched->metaObject()->className(), "DashboardView") == 0)
            at = monotonicMs();
        return false;
    }
};

int child(int argc, char* argv[])
{
    QApplication app(argc, argv);
    FirstFrame frame;
    app.installEventFilter(&frame);
    const std::unique_ptr<MainWindow> window = TessarinApp::openWindow();
    // Settled: the first frame is painted and no command has run for half a second.
    int quiet = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        quiet = Shell::commandPool().activeThreadCount() == 0 && frame.at > 0 ? quiet + 1 : 0;
        if (quiet >= 10)
            app.quit();
    });
    poll.start(50);
    QTimer::singleShot(20000, &app, &QApplication::quit);
    app.exec();
    std::printf("%.3f %.1f\n", frame.at, residentMB());
    return frame.at > 0 ? 0 : 1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0)
        return child(argc, argv);

    QTemporaryDir home;
    setenv("HOME", home.path().toLocal8Bit().constData(), 1);
    setenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit().constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::vector<double> frames, memory;
    for (int run = 0; run < 10; ++run) {
        int fds[2];
        if (pipe(fds) != 0)
            return 1;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        const char* childArgv[] = {argv[0], "--child", nullptr};
        pid_t pid = 0;
        const double spawned = monotonicMs();
        if (posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, const_cast<char**>(childArgv), environ) != 0)
            return 1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        char buffer[128] = {};
        const ssize_t got = read(fds[0], buffer, sizeof buffer - 1);
        close(fds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        double frameAt = 0, rss = 0;
        if (got <= 0 || std::sscanf(buffer, "%lf %lf", &frameAt, &rss) != 2 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return std::fprintf(stderr, "run %d: the child reported nothing\n", run), 1;
        frames.push_back(frameAt - spawned);
        memory.push_back(rss);
    }
    std::printf("Process start to the dashboard's first frame, median of %zu: %.1f ms (target <= 300)\n", frames.size(), median(frames));
    std::printf("Resident memory once the dashboard has settled, median: %.1f MB (target <= 80)\n", median(memory));
    return 0;
}
