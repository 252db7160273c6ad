// Command-runner costs:
//   * Shell::run("true") against a bare posix_spawn of `/bin/zsh -c true` (overhead ratio, target <= 1.10)
//   * draining 64 MiB from each stream against cat reading the same bytes through pipes (target <= 1.5)
//   * the longest stall of the main event loop while 200 runAsync commands run at once (target < 16 ms)
#include "exec/Shell.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <qcoro/qcorotask.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <vector>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

QString g_blob;   // 64 MiB of text

void spawnAndWait(const char* script)
{
    const char* argv[] = {"/bin/zsh", "-c", script, nullptr};
    pid_t pid;
    if (posix_spawn(&pid, "/bin/zsh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        std::abort();
    int status;
    waitpid(pid, &status, 0);
}

double millisecondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Baseline and candidate alternate inside one loop, so load from elsewhere on the machine
// falls on both alike; the counters carry the medians and their ratio.
void compare(benchmark::State& state, const std::function<void()>& baseline, const std::function<void()>& candidate)
{
    std::vector<double> base, cand;
    for (auto _ : state) {
        base.push_back(millisecondsOf(baseline));
        cand.push_back(millisecondsOf(candidate));
    }
    state.counters["baseline_ms"] = median(base);
    state.counters["tessarin_ms"] = median(cand);
    state.counters["ratio"] = median(cand) / median(base);
}

void BM_ShellRunOverBareSpawn(benchmark::State& state)
{
    compare(state, [] { spawnAndWait("true"); }, [] { benchmark::DoNotOptimize(Shell::run(QStringLiteral("true"))); });
}

void BM_DrainOverCat(benchmark::State& state)
{
    // The same bytes, each stream read to its end by another cat.
    const QByteArray script = QStringLiteral("cat '%1' | cat > /dev/null; cat '%1' | cat > /dev/null").arg(g_blob).toLocal8Bit();
    const QString line = QStringLiteral("cat '%1'; cat '%1' >&2").arg(g_blob);
    compare(state, [&] { spawnAndWait(script.constData()); }, [&] {
        const ShellResult result = Shell::run(line);
        if (result.output.size() != 64 * 1024 * 1024 || result.error.size() != 64 * 1024 * 1024)
            std::abort();
    });
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ratios;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (auto it = run.counters.find("ratio"); it != run.counters.end())
                ratios[run.run_name.function_name] = it->second;
    }
};

double longestStallMs(int commands)
{
    int finished = 0;
    qint64 longest = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceTick.nsecsElapsed());
        sinceTick.restart();
    });
    sinceTick.start();
    ticker.start();
    for (int i = 0; i < commands; ++i) {
        [](int& done) -> QCoro::Task<> {
            QString line = QStringLiteral("echo tick; sleep 0.01");
            QCoro::Task<ShellResult> run = Shell::runAsync(std::move(line));
            const ShellResult result = co_await std::move(run);
            benchmark::DoNotOptimize(result);
            ++done;
        }(finished);
    }
    while (finished < commands)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    ticker.stop();
    return double(longest) / 1e6;
}

} // namespace

BENCHMARK(BM_ShellRunOverBareSpawn)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_DrainOverCat)->Unit(benchmark::kMillisecond)->Iterations(15);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    g_blob = dir.filePath(QStringLiteral("blob"));
    Shell::run(QStringLiteral("head -c 67108864 /dev/zero | tr '\\0' 'x' > '%1'").arg(g_blob));

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nShell::run overhead over a bare spawn: %.3f (target <= 1.10)\n", reporter.ratios["BM_ShellRunOverBareSpawn"]);
    std::printf("Drain of 64 MiB per stream against cat:  %.3f (target <= 1.5)\n", reporter.ratios["BM_DrainOverCat"]);
    double stall = 0;
    for (int round = 0; round < 3; ++round)
        stall = std::max(stall, longestStallMs(200));
    std::printf("Longest main-loop stall, 200 runAsync at once: %.2f ms (target < 16)\n", stall);
    return 0;
}
