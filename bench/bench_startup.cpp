// Start-up time of the console beside that of an empty QWidget program: each
// runs as a process, offscreen, and is timed from just before the spawn until
// it reports on stdout (the console once the first row of its start-up search
// is in the table and its window is exposed, the empty program once its
// window is exposed). Usage: bench_startup [RUNS], 20 by default.

#include "bench/benchprocess.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Series
{
    std::vector<double> spawnMs;     // measured here, from the spawn
    std::vector<double> inProcessMs; // what the program printed, from /proc's start time
};

// The number after " after " in a program's line.
double reportedMs(const std::string& line)
{
    const std::size_t at = line.find(" after ");
    return at == std::string::npos ? -1 : std::strtod(line.c_str() + at + 7, nullptr);
}

bool runOnce(const char* program, const benchprocess::Environment& environment, Series& series)
{
    const std::optional<benchprocess::Run> run = benchprocess::run(program, environment);
    if (!run || run->exitCode != 0) {
        std::fprintf(stderr, "bench_startup: %s did not report (exit code %d)\n", program,
                     run ? run->exitCode : -1);
        return false;
    }
    series.spawnMs.push_back(run->msToFirstLine);
    series.inProcessMs.push_back(reportedMs(run->firstLine));
    return true;
}

double minimum(const std::vector<double>& values)
{
    double least = values.empty() ? 0 : values.front();
    for (double value : values)
        least = value < least ? value : least;
    return least;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 20;
    if (runs < 1 || runs > 10000) {
        std::fprintf(stderr, "usage: bench_startup [RUNS], RUNS from 1 to 10000\n");
        return 2;
    }
    const benchprocess::Environment console{
        {{"QT_QPA_PLATFORM", "offscreen"}, {"TESSEL_SIM_LATENCY_MS", "0"}, {"TESSEL_EXIT_AFTER_ROWS", "1"}},
        {"TESSEL_SIM_FLEET", "TESSEL_SNAPSHOT"}};
    const benchprocess::Environment empty{{{"QT_QPA_PLATFORM", "offscreen"}}, {}};

    // One unmeasured run each fills the page cache; then they take turns, so
    // that a busy moment of the machine falls on both alike.
    Series warmUp, consoleRuns, emptyRuns;
    if (!runOnce(TESSEL_CONSOLE_EXE, console, warmUp) || !runOnce(EMPTYWIDGET_EXE, empty, warmUp))
        return 1;
    for (int i = 0; i < runs; ++i)
        if (!runOnce(TESSEL_CONSOLE_EXE, console, consoleRuns) || !runOnce(EMPTYWIDGET_EXE, empty, emptyRuns))
            return 1;

    const double consoleMedian = benchprocess::median(consoleRuns.spawnMs);
    const double emptyMedian = benchprocess::median(emptyRuns.spawnMs);
    const double consoleMin = minimum(consoleRuns.spawnMs);
    const double emptyMin = minimum(emptyRuns.spawnMs);
    std::printf("Start-up, %d runs each, offscreen, simulator latency 0 ms\n", runs);
    std::printf("  from spawn until reported, ms              median      min\n");
    std::printf("  tessel-console, first row in the table   %8.1f %8.1f\n", consoleMedian, consoleMin);
    std::printf("  empty QWidget, window shown              %8.1f %8.1f\n", emptyMedian, emptyMin);
    std::printf("  ratio console / empty                    %8.2f %8.2f\n", consoleMedian / emptyMedian,
                consoleMin / emptyMin);
    std::printf("  (in-process figures from the kernel's start time, 10 ms ticks: median %.0f / %.0f ms)\n",
                benchprocess::median(consoleRuns.inProcessMs), benchprocess::median(emptyRuns.inProcessMs));
    return 0;
}
