// What the screens cost over the tools they run, on generated trees:
//   * the uninstaller's listing of 1,000 bundles (its find, the Info.plist reads, one du per
//     application) against one zsh running `du -sm` over the same bundles (target <= 1.3),
//     and the longest main-loop stall while the listing runs (target < 16 ms)
//   * the cache screen's measurement of its eight groups over 200,000 files against the same
//     du lines run by zsh directly, all at once as the screen runs them (target <= 1.2)
#include "BenchSupport.h"
#include "cleanup/CacheModel.h"
#include "cleanup/UninstallerModel.h"
#include "exec/Shell.h"
#include "platform/Process.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <qcoro/qcorotask.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int bundleCount = 1000;
constexpr int cacheFileCount = 200000;

QString g_applications;
QStringList g_bundles;
double g_uninstallerStall = 0;
double g_uninstallerStallCpu = 0;

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void makeBundles(const QString& root)
{
    g_applications = root + QStringLiteral("/Applications");
    for (int i = 0; i < bundleCount; ++i) {
        const QString bundle = g_applications + QStringLiteral("/App %1.app").arg(i);
        const QByteArray plist = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                                 "<key>CFBundleIdentifier</key><string>com.example.app" + QByteArray::number(i) + "</string>"
                                 "<key>CFBundleName</key><string>App</string></dict></plist>\n";
        if (!writeFile(bundle + "/Contents/Info.plist", plist) || !writeFile(bundle + "/Contents/MacOS/App", QByteArray(96 * 1024, 'x'))
            || !writeFile(bundle + "/Contents/Resources/a.dat", QByteArray(24 * 1024, 'y')))
            std::abort();
        g_bundles << bundle;
    }
}

// The files spread over the folders the eight groups measure, some nested in each other.
void makeCaches(const QString& home, const QString& temporary)
{
    const QStringList folders{home + "/Library/Caches/com.example", home + "/Library/Caches/com.apple.Safari", home + "/Library/Caches/Google/Chrome",
                              home + "/Library/Caches/Firefox", home + "/Library/Caches/Homebrew", home + "/Library/Developer/Xcode/DerivedData",
                              home + "/Library/Developer/Xcode/Archives", home + "/Library/Logs", home + "/.Trash", temporary + "work"};
    for (int i = 0; i < cacheFileCount; ++i)
        if (!writeFile(folders[i % folders.size()] + QStringLiteral("/%1/f%2").arg(i / 2000).arg(i), QByteArray(i % 7 == 0 ? 5000 : 100, 'c')))
            std::abort();
}

// The system runner, noting every line it is handed.
class Recording final : public CommandRunner {
public:
    QStringList lines;
    ShellResult run(const QString& line) override
    {
        {
            const QMutexLocker lock(&mutex_);
            lines << line;
        }
        return CommandRunner::systemDefault().run(line);
    }

private:
    QMutex mutex_;
};

void runZsh(const QStringList& arguments)
{
    if (platform::runProcess({QStringLiteral("/bin/zsh"), arguments, std::nullopt, true}).exitStatus != 0)
        std::abort();
}

void BM_UninstallerListingOverDu(benchmark::State& state)
{
    compare(state, [] { runZsh(QStringList{"-c", "du -sm \"$@\" > /dev/null", "zsh"} + g_bundles); }, [] {
        auto model = UninstallerModel::create({g_applications});
        StallMeter meter;
        QCoro::waitFor(model->scan());
        if (meter.longestMs() > g_uninstallerStall)
            g_uninstallerStall = meter.longestMs(), g_uninstallerStallCpu = meter.longestCpuMs();
        if (model->apps().size() != bundleCount)
            std::abort();
    });
    state.counters["stall_ms"] = g_uninstallerStall;
    state.counters["stall_cpu_ms"] = g_uninstallerStallCpu;
}

// What bounds the listing: the same per-application du lines, run by zsh 64 at a time as
// the screen runs them, cost their processes (three each) whoever starts them.
void BM_UninstallerListingOverTheSameLines(benchmark::State& state)
{
    Recording recording;
    {
        const platform::Service<CommandRunner>::Override record(recording);
        auto model = UninstallerModel::create({g_applications});
        QCoro::waitFor(model->scan());
    }
    QTemporaryFile lines;
    if (!lines.open() || lines.write(recording.lines.join(QLatin1Char('\n')).toUtf8()) <= 0 || !lines.flush())
        std::abort();
    const QString script = QStringLiteral("xargs -d '\\n' -P 64 -I{} zsh -c {} < '%1' > /dev/null").arg(lines.fileName());
    compare(state, [&] { runZsh({QStringLiteral("-c"), script}); }, [] {
        auto model = UninstallerModel::create({g_applications});
        QCoro::waitFor(model->scan());
    });
}

void BM_CacheMeasurementOverDu(benchmark::State& state)
{
    Recording recording;
    const platform::Service<CommandRunner>::Override record(recording);
    auto measured = std::make_shared<CacheModel>();
    QCoro::waitFor(measured->scan());
    // The same lines, started together by one zsh.
    QString together;
    for (const QString& line : recording.lines)
        together += QStringLiteral("{ %1 } > /dev/null &\n").arg(line);
    together += QStringLiteral("wait");
    compare(state, [&] { runZsh({QStringLiteral("-c"), together}); }, [] {
        auto model = std::make_shared<CacheModel>();
        QCoro::waitFor(model->scan());
    });
    state.counters["du_lines"] = double(recording.lines.size());
}

} // namespace

BENCHMARK(BM_UninstallerListingOverDu)->Unit(benchmark::kMillisecond)->Iterations(7);
BENCHMARK(BM_UninstallerListingOverTheSameLines)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CacheMeasurementOverDu)->Unit(benchmark::kMillisecond)->Iterations(7);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString home = dir.filePath(QStringLiteral("home")), temporary = dir.filePath(QStringLiteral("tmp/"));
    makeBundles(dir.path());
    makeCaches(home, temporary);
    // The cache groups are the real ones, over the generated home and temporary folder.
    qputenv("HOME", home.toLocal8Bit());
    qputenv("TMPDIR", temporary.toLocal8Bit());

    benchmark::Initialize(&argc, argv);
    CounterReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto& counters = reporter.counters;
    std::printf("\nUninstaller listing of %d bundles against one du -sm: %.3f (target <= 1.3)\n", bundleCount,
                counters["BM_UninstallerListingOverDu"]["ratio"]);
    std::printf("Longest main-loop stall during the listing: %.2f ms (target < 16), of which the main thread ran %.2f ms\n",
                counters["BM_UninstallerListingOverDu"]["stall_ms"], counters["BM_UninstallerListingOverDu"]["stall_cpu_ms"]);
    std::printf("The same listing against its own du lines run by zsh, 64 at a time: %.3f\n",
                counters["BM_UninstallerListingOverTheSameLines"]["ratio"]);
    std::printf("Cache measurement of %d files against the same du lines: %.3f (target <= 1.2)\n", cacheFileCount,
                counters["BM_CacheMeasurementOverDu"]["ratio"]);
    return 0;
}
