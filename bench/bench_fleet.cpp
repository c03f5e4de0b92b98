// tessel-run over a fleet: 1,000 terminals × 10 lines at the simulator's
// 30 ms latency beside the ideal schedule, and peak memory for 10,000
// terminals × 3 lines beside 100 × 3.
#include "bench/benchprocess.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string scratch(const std::string& name)
{
    return "/tmp/bench_fleet_" + std::to_string(getpid()) + "_" + name;
}

// A fleet file of `count` terminals a host is logged in to, so that no
// log-in round comes before the checklist; and their targets file.
void writeFleet(long count, const std::string& fleetPath, const std::string& targetsPath)
{
    std::ofstream fleet(fleetPath), targets(targetsPath);
    fleet << "{\"terminals\":[\n";
    targets << "sn,name,room\n";
    for (long i = 0; i < count; ++i) {
        char sn[32];
        std::snprintf(sn, sizeof sn, "BENCH%015ld", i);
        fleet << (i ? ",\n" : "") << R"({"sn":")" << sn << R"(","name":"screen )" << i
              << R"(","ip":"10.0.0.1","width":1920,"height":1080,"hostLoggedIn":true})";
        targets << sn << ",screen " << i << ",hall " << i % 7 << "\n";
    }
    fleet << "\n]}\n";
}

// `lines` lines alternating a set and a read-back with an expectation.
void writeChecklist(int lines, const std::string& path)
{
    std::ofstream out(path);
    for (int i = 0; i < lines; ++i) {
        if (i % 2 == 0)
            out << R"j({"operation":"setVolume()","request":{"sn":"x","volumeInfo":{"ratio":40}}})j"
                << "\n";
        else
            out << R"j({"operation":"getVolume()","request":{"sn":"x"},"expect":{"ratio":40}})j"
                << "\n";
    }
}

benchprocess::Finished runFleet(const std::string& checklist, const std::string& targets, int parallel)
{
    return benchprocess::runToEnd(TESSEL_RUN_EXE, {checklist, "--targets", targets, "--parallel",
                                                   std::to_string(parallel), "--grace", "0"});
}

} // namespace

int main(int argc, char** argv)
{
    const long terminals = argc > 1 ? std::atol(argv[1]) : 1000;
    const long manyTerminals = argc > 2 ? std::atol(argv[2]) : 10000;
    constexpr int lines = 10, parallel = 64, latencyMs = 30, rounds = 3;
    setenv("TESSEL_SIM_LATENCY_MS", std::to_string(latencyMs).c_str(), 1);

    const std::string fleet = scratch("fleet.json"), targets = scratch("targets.csv");
    const std::string checklist = scratch("checklist.jsonl");
    writeFleet(terminals, fleet, targets);
    writeChecklist(lines, checklist);
    setenv("TESSEL_SIM_FLEET", fleet.c_str(), 1);
    double best = 0, cpu = 0;
    int exitCode = -1;
    for (int round = 0; round < rounds; ++round) {
        const benchprocess::Finished run = runFleet(checklist, targets, parallel);
        exitCode = run.exitCode;
        if (best == 0 || run.seconds < best) {
            best = run.seconds;
            cpu = run.cpuSeconds;
        }
    }
    const double waves = std::ceil(double(terminals) / parallel);
    const double ideal = waves * lines * latencyMs / 1000.0;
    std::printf(
        "tessel-run, %ld terminals x %d lines, --parallel %d, latency %d ms (best of %d, exit %d):\n"
        "  %.2f s, ideal %.0f rounds x %d ms = %.2f s, ratio %.2f; CPU %.0f us per line (%.2f s in all)\n",
        terminals, lines, parallel, latencyMs, rounds, exitCode, best, waves * lines, latencyMs, ideal,
        best / ideal, cpu * 1e6 / (double(terminals) * lines), cpu);

    // Memory: latency 0, so that the large fleet takes seconds, not minutes.
    // The floor is the same program replaying the lines to one terminal of
    // the same simulated fleet: the simulator's own terminals are in both.
    setenv("TESSEL_SIM_LATENCY_MS", "0", 1);
    writeChecklist(3, checklist);
    long peak[2] = {0, 0}, floor[2] = {0, 0};
    const long counts[2] = {100, manyTerminals};
    const auto least = [](long& kept, long kiB) {
        kept = kept ? std::min(kept, kiB) : kiB;
    };
    for (int which = 0; which < 2; ++which) {
        writeFleet(counts[which], fleet, targets);
        for (int round = 0; round < rounds; ++round) {
            least(peak[which], runFleet(checklist, targets, parallel).peakKiB);
            least(floor[which],
                  benchprocess::runToEnd(TESSEL_RUN_EXE,
                                         {checklist, "--sn", "BENCH000000000000000", "--grace", "0"})
                      .peakKiB);
        }
    }
    std::printf(
        "peak memory (least of %d), 3 lines: %ld terminals %ld KiB, %ld terminals %ld KiB, ratio %.2f\n",
        rounds, counts[0], peak[0], counts[1], peak[1], double(peak[1]) / double(peak[0]));
    std::printf("  beside one terminal of the same simulated fleet (%ld KiB, %ld KiB): ratio %.2f and %.2f; "
                "the fleet "
                "run adds %.0f bytes per terminal\n",
                floor[0], floor[1], double(peak[0]) / double(floor[0]), double(peak[1]) / double(floor[1]),
                double((peak[1] - floor[1]) - (peak[0] - floor[0])) * 1024.0 / double(counts[1] - counts[0]));
    std::remove(fleet.c_str());
    std::remove(targets.c_str());
    std::remove(checklist.c_str());
    return 0;
}
