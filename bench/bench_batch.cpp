// A batch to a simulated fleet of 1,000 terminals (a fleet file written here),
// latency 30 ms per reply, concurrency 64: getVolume() to all of them.
//  - the broadcast search that lists them, and the rows in the table;
//  - the batch's time beside the ideal (1,000 / 64 rounds of 30 ms);
//  - the longest gap between ticks of a 1 ms timer on the GUI thread, and
//    the gaps over 16 ms, while the batch runs with its window open;
//  - memory per finished row: the engine's rows alone, and the whole
//    process (history of the sends included).
// Usage: bench_batch [RUNS]: 5 runs.

#include "batch/batchengine.h"
#include "batch/batchrequest.h"
#include "batchwindow/batchwindow.h"
#include "bench/benchgui.h"
#include "mainwindow/demogui.h"
#include "simulator/simulator.h"

#include <nlohmann/json.hpp>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

using benchgui::Ticks;
using benchgui::tickUntil;

constexpr int fleetSize = 1000;
constexpr int latencyMs = 30;
constexpr int concurrency = 64;

bool writeFleet(const QString& path)
{
    nlohmann::json terminals = nlohmann::json::array();
    for (int i = 0; i < fleetSize; ++i)
        terminals.push_back({{"sn", "BZSA0719BENCH" + std::to_string(1000000 + i)},
                             {"name", "终端 " + std::to_string(i + 1)},
                             {"ip", "10.1." + std::to_string(i / 250) + "." + std::to_string(1 + i % 250)},
                             {"width", 1920},
                             {"height", 1080},
                             {"hostLoggedIn", true}});
    QFile file(path);
    const QByteArray text = QByteArray::fromStdString(nlohmann::json{{"terminals", terminals}}.dump());
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// CPU time of the calling thread: the GUI thread's own work between two
// ticks, whatever else the shared machine is busy with.
long heapBytes()
{
    return static_cast<long>(mallinfo2().uordblks);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The engine's own rows: 1,000 targets answered once with a volume reply.
double engineBytesPerRow()
{
    const long before = heapBytes();
    {
        std::vector<tessel::BatchTarget> targets;
        for (int i = 0; i < fleetSize; ++i)
            targets.push_back({QStringLiteral("终端 %1").arg(i + 1), QStringLiteral("BZSA0719BENCH%1").arg(i),
                               QStringLiteral("10.1.0.%1").arg(i % 250)});
        tessel::BatchEngine engine(std::move(targets));
        std::vector<tessel::BatchEngine::Attempt> attempts;
        engine.setStarter([&](int, tessel::BatchEngine::Attempt attempt) {
            attempts.push_back(attempt);
            return QString();
        });
        std::vector<int> rows(fleetSize);
        for (int i = 0; i < fleetSize; ++i)
            rows[static_cast<std::size_t>(i)] = i;
        engine.run(rows, tessel::BatchEngine::maxConcurrency, 60000);
        for (std::size_t i = 0; i < attempts.size(); ++i)
            engine.deliver(attempts[i], 0, QStringLiteral("{\"sn\":\"BZSA0719BENCH1000000\",\"ratio\":50.0}"),
                           30);
        const long after = heapBytes();
        return double(after - before) / fleetSize;
    }
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    if (runs < 1 || runs > 100) {
        std::fprintf(stderr, "usage: bench_batch [RUNS], RUNS from 1 to 100\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir work;
    const QString fleetPath = work.filePath("fleet.json");
    if (!work.isValid() || !writeFleet(fleetPath)) {
        std::fprintf(stderr, "bench_batch: cannot write the fleet file\n");
        return 1;
    }
    qputenv("XDG_DATA_HOME", work.filePath("data").toLocal8Bit());
    qputenv("TESSEL_SIM_FLEET", fleetPath.toLocal8Bit());
    benchgui::dropChatter();
    QApplication app(argc, argv);

    // The search answers once per terminal, each after the latency; it is
    // not what is measured here, so it runs without one.
    tesselsim::setLatency(std::chrono::milliseconds(0));
    DemoGUI window; // searches by broadcast at once
    window.show();
    const Ticks search =
        tickUntil([&] { return window.terminalList().size() >= std::size_t(fleetSize); }, {}, 60000);
    std::printf("Broadcast search of %d terminals, no latency: %.0f ms, %d rows listed\n", fleetSize,
                search.elapsedMs, window.nextTableRow());
    if (!search.done)
        return 1;
    tesselsim::setLatency(std::chrono::milliseconds(latencyMs));

    const double ideal = std::ceil(double(fleetSize) / concurrency) * latencyMs;
    std::printf("getVolume() to %d terminals, concurrency %d (ideal %.0f ms; %.1f ms as 1000 / 64 x 30)\n",
                fleetSize, concurrency, ideal, fleetSize / double(concurrency) * latencyMs);
    std::printf("  %4s %10s %8s %14s %10s %15s %16s\n", "run", "ms", "x ideal", "longest gap ms", "gaps >16",
                "longest work ms", "process B/row");
    std::vector<double> times, gaps;
    for (int run = 1; run <= runs; ++run) {
        std::vector<tessel::BatchCandidate> candidates;
        for (const tsc::SearchResponseData& terminal : window.terminalList())
            candidates.push_back({{QString::fromStdString(terminal.name), QString::fromStdString(terminal.sn),
                                   QString::fromStdString(terminal.ip)},
                                  QStringLiteral("已被上位机登录"),
                                  true});
        auto* batch = new tessel::BatchWindow(QStringLiteral("getVolume()"), std::move(candidates), &window);
        tessel::sendThroughRunner(batch->engine(), window.requestRunner(), "getVolume()", R"({"sn":""})");
        batch->findChild<QLineEdit*>("concurrencyEdit")->setText(QString::number(concurrency));
        batch->show();
        QCoreApplication::processEvents();
        const long before = heapBytes();
        const Ticks ticks =
            tickUntil([&] { return batch->engine().done() == fleetSize && !batch->engine().running(); },
                      [&] { batch->startBatch(); }, 60000);
        const long after = heapBytes();
        if (!ticks.done || batch->engine().failedCount() != 0)
            std::fprintf(stderr, "bench_batch: run %d did not finish cleanly (%d failed)\n", run,
                         batch->engine().failedCount());
        std::printf("  %4d %10.0f %8.2f %14.1f %10d %15.1f %16.0f\n", run, ticks.elapsedMs,
                    ticks.elapsedMs / ideal, ticks.longestGapMs, ticks.gapsOver16, ticks.longestWorkMs,
                    double(after - before) / fleetSize);
        times.push_back(ticks.elapsedMs);
        gaps.push_back(ticks.longestGapMs);
        delete batch;
    }
    std::printf("  median %.0f ms (%.2f x ideal), median longest gap %.1f ms\n", median(times),
                median(times) / ideal, median(gaps));
    std::printf("Engine rows alone: %.0f bytes per finished row\n", engineBytesPerRow());
    return 0;
}
