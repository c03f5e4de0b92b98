// tessel-run: requests per second beside a bare loop over the simulator, and
// peak memory for a long run file beside a short one.
#include "bench/benchprocess.h"
#include "simulator/simulator.h"
#include "tessel/tesselcoreasync.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// getVolume() of the terminal a host is logged in to, with its recorded answer.
const char* const request = R"({"sn":"BZWA17422J1X20000093"})";
const char* const line =
    R"j({"operation":"getVolume()","request":"{\"sn\":\"BZWA17422J1X20000093\"}","results":[{"code":0,"reply":"{\"ratio\":50.0}"}]})j";

std::string writeRunFile(long lines)
{
    const std::string path =
        "/tmp/bench_replay_" + std::to_string(getpid()) + "_" + std::to_string(lines) + ".jsonl";
    std::ofstream out(path);
    for (long i = 0; i < lines; ++i)
        out << line << '\n';
    return path;
}

// Keeps `window` calls open at once, as tessel-run does with --concurrency.
double bareLoopPerSecond(long requests, int window)
{
    std::mutex mutex;
    std::condition_variable answered;
    long open = 0, done = 0;
    const auto start = Clock::now();
    for (long i = 0; i < requests; ++i) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            answered.wait(lock, [&] { return open < window; });
            ++open;
        }
        TesselCoreAsync::tsGetVolumeAsync(request, [&](unsigned short, const char*) {
            std::lock_guard<std::mutex> lock(mutex);
            --open;
            ++done;
            answered.notify_all();
        });
    }
    std::unique_lock<std::mutex> lock(mutex);
    answered.wait(lock, [&] { return done == requests; });
    return double(requests) / std::chrono::duration<double>(Clock::now() - start).count();
}

benchprocess::Finished runTool(const std::vector<std::string>& arguments)
{
    return benchprocess::runToEnd(TESSEL_RUN_EXE, arguments);
}

} // namespace

int main(int argc, char** argv)
{
    const long requests = argc > 1 ? std::atol(argv[1]) : 10000;
    const long longRun = argc > 2 ? std::atol(argv[2]) : 100000;
    constexpr int rounds = 3;
    setenv("TESSEL_SIM_LATENCY_MS", "0", 1);
    unsetenv("TESSEL_SIM_FLEET");
    tesselsim::setLatency(std::chrono::milliseconds(0));

    const std::string runFile = writeRunFile(requests);
    std::printf("tessel-run over %ld requests at latency 0 (grace 0), best of %d, beside a bare loop in this "
                "process\n",
                requests, rounds);
    for (const int concurrency : {1, 16}) {
        double bare = 0, tool = 0;
        int exitCode = -1;
        for (int round = 0; round < rounds; ++round) {
            bare = std::max(bare, bareLoopPerSecond(requests, concurrency));
            const benchprocess::Finished child =
                runTool({runFile, "--grace", "0", "--concurrency", std::to_string(concurrency)});
            exitCode = child.exitCode;
            if (child.seconds > 0)
                tool = std::max(tool, double(requests) / child.seconds);
        }
        std::printf("  concurrency %2d: bare loop %8.0f/s, tessel-run %8.0f/s (exit %d), ratio %.2f\n",
                    concurrency, bare, tool, exitCode, tool / bare);
    }

    const std::string shortFile = writeRunFile(1000);
    const std::string longFile = writeRunFile(longRun);
    long shortPeak = 0, longPeak = 0;
    for (int round = 0; round < rounds; ++round) {
        const benchprocess::Finished a = runTool({shortFile, "--grace", "0"});
        const benchprocess::Finished b = runTool({longFile, "--grace", "0"});
        shortPeak = shortPeak ? std::min(shortPeak, a.peakKiB) : a.peakKiB;
        longPeak = longPeak ? std::min(longPeak, b.peakKiB) : b.peakKiB;
    }
    std::printf(
        "peak memory of tessel-run (least of %d): 1,000 lines %ld KiB, %ld lines %ld KiB, ratio %.2f\n",
        rounds, shortPeak, longRun, longPeak, double(longPeak) / double(shortPeak));
    std::remove(runFile.c_str());
    std::remove(shortFile.c_str());
    std::remove(longFile.c_str());
    return 0;
}
