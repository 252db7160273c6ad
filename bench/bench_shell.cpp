// Command-runner costs:
//   * Shell::run("true") against a bare posix_spawn of `/bin/zsh -c true` (overhead ratio, target <= 1.10)
//   * draining 64 MiB from each stream against cat reading the same bytes through pipes (target <= 1.5)
//   * the longest stall of the main event loop while 200 runAsync commands run at once (target < 16 ms)
#include "BenchSupport.h"
#include "exec/Shell.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <qcoro/qcorotask.h>

#include <memory>
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

// The longest stall, and how much of it the main thread itself ran.
std::pair<double, double> longestStallMs(int commands)
{
    int finished = 0;
    StallMeter meter;
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
    return {meter.longestMs(), meter.longestCpuMs()};
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
    CounterReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nShell::run overhead over a bare spawn: %.3f (target <= 1.10)\n", reporter.counters["BM_ShellRunOverBareSpawn"]["ratio"]);
    std::printf("Drain of 64 MiB per stream against cat:  %.3f (target <= 1.5)\n", reporter.counters["BM_DrainOverCat"]["ratio"]);
    // What bounds the drain: the result is 2 x 64 MiB of text as UTF-16, 256 MiB of fresh
    // memory that every run must fault in and fill, whatever reads the pipes.
    std::vector<double> fill;
    for (int round = 0; round < 5; ++round)
        fill.push_back(millisecondsOf([] {
            std::unique_ptr<char[]> memory(new char[256u << 20]);
            for (size_t at = 0; at < (256u << 20); at += 4096)
                memory[at] = 'x';
            benchmark::DoNotOptimize(memory.get());
        }));
    std::printf("Faulting in the result's 256 MiB alone: %.1f ms, against the whole cat baseline's %.1f ms\n", median(fill),
                reporter.counters["BM_DrainOverCat"]["baseline_ms"]);
    std::pair<double, double> stall{0, 0};
    for (int round = 0; round < 3; ++round)
        stall = std::max(stall, longestStallMs(200));
    std::printf("Longest main-loop stall, 200 runAsync at once: %.2f ms (target < 16), of which the main thread ran %.2f ms\n",
                stall.first, stall.second);
    return 0;
}
