// Architecture scan speed over 5,000 generated application bundles (arm64, x86_64, i386,
// universal, PowerPC, scripts; at depths 1 to 3; XML and binary Info.plists):
//   * ArchScanner::scan (walk + Info.plist + header of every bundle) against `file` run
//     over the same executables, 1,000 paths per process (target: at least 5x the bundles
//     per second of `file`)
//   * ArchScanner::inspect over the already-found bundle list, against the same baseline
//   * the pure header reader over in-memory headers
// Baseline and candidate alternate inside one loop, so load from elsewhere on the machine
// falls on both alike; the counters carry medians and the speed-up, in elapsed time
// ("speedup") and in processor time ("cpu_speedup": `file`'s processes against this one).
#include "cleanup/ArchScanner.h"
#include "platform/Process.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <plist/plist.h>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int bundleCount = 5000;
constexpr int filePathsPerProcess = 1000;
constexpr qsizetype executableSize = 16 * 1024;

QString g_root;
QStringList g_bundles;
QStringList g_executables;
qsizetype g_expectedListed = 0;
std::vector<QByteArray> g_headers;

// ---- generating the bundles ----------------------------------------------------------

void put32(QByteArray& bytes, quint32 value, bool bigEndian)
{
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 24 - 8 * i : 8 * i;
        bytes.append(char((value >> shift) & 0xFF));
    }
}

QByteArray thin(quint32 cpu, bool bigEndian, bool is64)
{
    QByteArray bytes;
    put32(bytes, is64 ? 0xFEEDFACF : 0xFEEDFACE, bigEndian);
    for (quint32 field : {cpu, 3u, 2u, 0u, 0u, 0x00200085u})
        put32(bytes, field, bigEndian);
    if (is64)
        put32(bytes, 0, bigEndian);
    return bytes;
}

QByteArray fat(const QList<quint32>& cpus)
{
    QByteArray bytes;
    put32(bytes, 0xCAFEBABE, true);
    put32(bytes, quint32(cpus.size()), true);
    for (qsizetype i = 0; i < cpus.size(); ++i)
        for (quint32 field : {cpus[i], 3u, quint32(4096 * (i + 1)), 4096u, 12u})
            put32(bytes, field, true);
    bytes.append(QByteArray(4096 - bytes.size(), '\0'));
    for (quint32 cpu : cpus) {
        const bool ppc = cpu == 18;
        QByteArray slice = thin(cpu, ppc, (cpu & 0x01000000) != 0);
        slice.append(QByteArray(4096 - slice.size(), '\0'));
        bytes.append(slice);
    }
    return bytes;
}

QByteArray infoPlist(const QString& name, int index, bool binary)
{
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "CFBundleName", plist_new_string(name.toUtf8().constData()));
    plist_dict_set_item(dict, "CFBundleIdentifier",
                        plist_new_string(QStringLiteral("com.example.app%1").arg(index).toUtf8().constData()));
    plist_dict_set_item(dict, "CFBundleShortVersionString", plist_new_string("1.2.3"));
    plist_dict_set_item(dict, "CFBundleVersion", plist_new_string("123"));
    plist_dict_set_item(dict, "CFBundleExecutable", plist_new_string("Main"));
    plist_dict_set_item(dict, "CFBundlePackageType", plist_new_string("APPL"));
    plist_dict_set_item(dict, "LSMinimumSystemVersion", plist_new_string("10.13"));
    plist_dict_set_item(dict, "NSHighResolutionCapable", plist_new_bool(1));
    char* data = nullptr;
    uint32_t length = 0;
    QByteArray bytes;
    if (binary) {
        plist_to_bin(dict, &data, &length);
        bytes = QByteArray(data, qsizetype(length));
        plist_to_bin_free(data);
    } else {
        plist_to_xml(dict, &data, &length);
        bytes = QByteArray(data, qsizetype(length));
        plist_to_xml_free(data);
    }
    plist_free(dict);
    return bytes;
}

void writeOrDie(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(path.left(path.lastIndexOf(QLatin1Char('/'))));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::abort();
}

void generate(const QString& root)
{
    // 40 % arm64, 20 % universal, 15 % x86_64, 5 % i386 + x86_64, 5 % 32-bit i386,
    // 5 % PowerPC, 5 % PowerPC + i386, 5 % scripts.
    for (int i = 0; i < bundleCount; ++i) {
        QByteArray exe;
        bool listed = false;
        switch (i % 20) {
        case 0: case 1: case 2: case 3: case 4: case 5: case 6: case 7:
            exe = thin(0x0100000C, false, true);
            break;
        case 8: case 9: case 10: case 11:
            exe = fat({0x01000007, 0x0100000C});
            break;
        case 12: case 13: case 14:
            exe = thin(0x01000007, false, true);
            listed = true;
            break;
        case 15:
            exe = fat({0x01000007, 7});
            listed = true;
            break;
        case 16:
            exe = thin(7, false, false);
            listed = true;
            break;
        case 17:
            exe = thin(18, true, false);
            listed = true;
            break;
        case 18:
            exe = fat({18, 7});
            listed = true;
            break;
        default:
            exe = QByteArrayLiteral("#!/bin/sh\nexec /usr/bin/true\n");
            break;
        }
        if (exe.size() < executableSize)
            exe.append(QByteArray(executableSize - exe.size(), '\0'));
        if (listed)
            ++g_expectedListed;

        // A third at depth 1, a third in a folder, a third two folders down.
        QString folder = root;
        if (i % 3 == 1)
            folder += QStringLiteral("/Group %1").arg(i % 50);
        else if (i % 3 == 2)
            folder += QStringLiteral("/Suite %1/Tools").arg(i % 40);
        const QString name = QStringLiteral("App %1").arg(i, 4, 10, QLatin1Char('0'));
        const QString bundle = folder + QLatin1Char('/') + name + QStringLiteral(".app");
        writeOrDie(bundle + QStringLiteral("/Contents/Info.plist"), infoPlist(name, i, i % 2 == 0));
        writeOrDie(bundle + QStringLiteral("/Contents/MacOS/Main"), exe);
        writeOrDie(bundle + QStringLiteral("/Contents/Resources/en.lproj/InfoPlist.strings"), "\"CFBundleName\" = \"x\";\n");
        g_executables << bundle + QStringLiteral("/Contents/MacOS/Main");
        g_headers.push_back(exe.left(4096));
    }
}

// ---- measuring -----------------------------------------------------------------------

void runFileOverAll()
{
    for (qsizetype start = 0; start < g_executables.size(); start += filePathsPerProcess) {
        platform::ProcessRequest request;
        request.program = QStringLiteral("/usr/bin/file");
        request.arguments = QStringList{QStringLiteral("-b")} + g_executables.mid(start, filePathsPerProcess);
        request.nullInput = true;
        const platform::ProcessOutcome outcome = platform::runProcess(request);
        if (!outcome.started || outcome.exitStatus != 0 || outcome.standardOutput.count('\n') != request.arguments.size() - 1)
            std::abort();
    }
}

double millisecondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// User plus system time of this process (`who` RUSAGE_SELF) or of its waited-for children.
double cpuMilliseconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    auto ms = [](const timeval& t) { return double(t.tv_sec) * 1000.0 + double(t.tv_usec) / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void compareWithFile(benchmark::State& state, const std::function<void()>& candidate)
{
    std::vector<double> base, cand, baseCpu, candCpu;
    for (auto _ : state) {
        const double childrenBefore = cpuMilliseconds(RUSAGE_CHILDREN);
        base.push_back(millisecondsOf(runFileOverAll));
        baseCpu.push_back(cpuMilliseconds(RUSAGE_CHILDREN) - childrenBefore);
        const double selfBetween = cpuMilliseconds(RUSAGE_SELF);
        cand.push_back(millisecondsOf(candidate));
        candCpu.push_back(cpuMilliseconds(RUSAGE_SELF) - selfBetween);
    }
    const double baseMs = median(base);
    const double candMs = median(cand);
    // Processor time does not depend on what else the machine runs meanwhile.
    state.counters["file_cpu_ms"] = median(baseCpu);
    state.counters["tessarin_cpu_ms"] = median(candCpu);
    state.counters["cpu_speedup"] = median(baseCpu) / median(candCpu);
    state.counters["file_ms"] = baseMs;
    state.counters["tessarin_ms"] = candMs;
    state.counters["file_bundles_per_s"] = bundleCount / (baseMs / 1000.0);
    state.counters["tessarin_bundles_per_s"] = bundleCount / (candMs / 1000.0);
    state.counters["speedup"] = baseMs / candMs;
}

void BM_ScanOverFile(benchmark::State& state)
{
    compareWithFile(state, [] {
        const ScanResult result = ArchScanner::scan({g_root});
        if (result.totalScanned != bundleCount || result.intelApps.size() != g_expectedListed)
            std::abort();
    });
}

void BM_InspectOverFile(benchmark::State& state)
{
    compareWithFile(state, [] {
        qsizetype listed = 0;
        for (const QString& bundle : g_bundles)
            listed += ArchScanner::inspect(bundle).has_value() ? 1 : 0;
        if (listed != g_expectedListed)
            std::abort();
    });
}

void BM_AppBundlesOnly(benchmark::State& state)
{
    for (auto _ : state) {
        if (ArchScanner::appBundles({g_root}).size() != bundleCount)
            std::abort();
    }
    state.SetItemsProcessed(state.iterations() * bundleCount);
}

void BM_ScanOnly(benchmark::State& state)
{
    for (auto _ : state) {
        if (ArchScanner::scan({g_root}).intelApps.size() != g_expectedListed)
            std::abort();
    }
    state.SetItemsProcessed(state.iterations() * bundleCount);
}

void BM_HeaderBytes(benchmark::State& state)
{
    for (auto _ : state) {
        for (const QByteArray& header : g_headers)
            benchmark::DoNotOptimize(ArchScanner::machOCPUTypes(QByteArrayView(header)));
    }
    state.SetItemsProcessed(state.iterations() * qint64(g_headers.size()));
}

} // namespace

BENCHMARK(BM_ScanOverFile)->Iterations(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InspectOverFile)->Iterations(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppBundlesOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeaderBytes)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    g_root = dir.filePath(QStringLiteral("Applications"));
    std::fprintf(stderr, "generating %d bundles in %s ...\n", bundleCount, qPrintable(g_root));
    generate(g_root);
    g_bundles = ArchScanner::appBundles({g_root});
    if (g_bundles.size() != bundleCount)
        return 1;
    // Warm the file-system cache for both sides alike.
    runFileOverAll();
    (void)ArchScanner::scan({g_root});

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
