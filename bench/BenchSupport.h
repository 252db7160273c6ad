#pragma once
// What the benchmarks share: timing, the alternating comparison, the summary reporter and
// the main-loop stall meter.
#include <QElapsedTimer>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

inline double millisecondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Baseline and candidate alternate inside one loop, so load from elsewhere on the machine
// falls on both alike; the counters carry the medians and their ratio.
inline void compare(benchmark::State& state, const std::function<void()>& baseline, const std::function<void()>& candidate)
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

// The console report, keeping every run's counters for the summary lines.
class CounterReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, std::map<std::string, double>> counters;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            for (const auto& [name, counter] : run.counters)
                counters[run.run_name.function_name][name] = counter.value;
    }
};

// The longest time the main event loop went without running a 1 ms timer while it lived.
class StallMeter {
public:
    StallMeter()
    {
        QObject::connect(&ticker_, &QTimer::timeout, [this] {
            const qint64 gap = sinceTick_.nsecsElapsed();
            const double cpu = threadCpuMs();
            if (gap > longest_)
                longest_ = gap, longestCpuMs_ = cpu - lastCpuMs_;
            lastCpuMs_ = cpu;
            sinceTick_.restart();
        });
        ticker_.setInterval(1);
        sinceTick_.start();
        ticker_.start();
    }
    double longestMs() const { return double(std::max(longest_, sinceTick_.nsecsElapsed())) / 1e6; }
    // The main thread's own processor time within the longest stall: near the stall itself
    // when the thread was busy, near zero when it waited for a processor.
    double longestCpuMs() const { return longestCpuMs_; }

private:
    static double threadCpuMs()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    }

    QTimer ticker_;
    QElapsedTimer sinceTick_;
    qint64 longest_ = 0;
    double lastCpuMs_ = threadCpuMs();
    double longestCpuMs_ = 0;
};
