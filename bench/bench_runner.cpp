// What the one request path costs: results per second of many getVolume()
// requests at latency 0, sent through the request runner (each result posted
// to the runner's thread and emitted there), beside a bare loop that calls the
// simulated SDK directly and counts the results in its callback. Rounds
// alternate; best and median of each. No history, so only the path is timed.
// Usage: bench_runner [REQUESTS]

#include "requests/requestrunner.h"
#include "simulator/simulator.h"
#include "tessel/tesselcoreasync.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int rounds = 5;
const char request[] = R"({"sn":"BZWA17422J1X20000093"})";

double bareLoop(int requests)
{
    std::atomic<int> results{0};
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < requests; ++i)
        TesselCoreAsync::tsGetVolumeAsync(request, [&results](unsigned short, const char*) { ++results; });
    while (results.load() < requests)
        tesselsim::waitIdle();
    return requests * 1000.0 / std::max<qint64>(1, timer.elapsed());
}

double throughRunner(int requests)
{
    tessel::RequestRunner runner;
    int results = 0;
    QObject::connect(&runner, &tessel::RequestRunner::result, [&results] { ++results; });
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < requests; ++i)
        runner.send("getVolume()", request);
    while (results < requests)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    return requests * 1000.0 / std::max<qint64>(1, timer.elapsed());
}

void report(const char* what, std::vector<double> figures)
{
    std::sort(figures.begin(), figures.end());
    std::printf("%-22s best %9.0f  median %9.0f results/s\n", what, figures.back(),
                figures[figures.size() / 2]);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int requests = argc > 1 ? std::atoi(argv[1]) : 100000;
    tesselsim::setLatency(std::chrono::milliseconds(0));
    std::vector<double> bare, runner;
    for (int round = 0; round < rounds; ++round) {
        bare.push_back(bareLoop(requests));
        runner.push_back(throughRunner(requests));
    }
    std::printf("%d getVolume() requests per round, latency 0, %d rounds\n", requests, rounds);
    report("bare SDK loop", bare);
    report("request runner", runner);
    std::sort(bare.begin(), bare.end());
    std::sort(runner.begin(), runner.end());
    std::printf("runner / bare (medians): %.2f\n", runner[rounds / 2] / bare[rounds / 2]);
    return 0;
}
