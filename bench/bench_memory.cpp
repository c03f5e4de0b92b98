// Peak memory (VmHWM) of the console with 1,000 terminals listed, beside that
// of an empty QWidget program. Each runs as a process, offscreen, and reports
// its own peak when it is done: the console once all 1,000 rows of its
// start-up search are in the table, the empty program once its window is
// exposed. Median of three runs each.

#include "bench/benchprocess.h"

#include <QFile>
#include <QTemporaryDir>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int terminalCount = 1000;
constexpr int runs = 3;

QByteArray fleetFile()
{
    nlohmann::json terminals = nlohmann::json::array();
    for (int i = 0; i < terminalCount; ++i) {
        char sn[32];
        std::snprintf(sn, sizeof sn, "BZSA0719BENCH%07d", i);
        terminals.push_back(
            {{"sn", sn},
             {"name", "终端 " + std::to_string(i + 1)},
             {"ip", "192.168." + std::to_string(1 + i / 250) + "." + std::to_string(1 + i % 250)},
             {"width", 1920},
             {"height", 1080},
             {"hostLoggedIn", i % 7 == 0}});
    }
    return QByteArray::fromStdString(nlohmann::json{{"terminals", terminals}}.dump());
}

// Median peak of `runs` runs, or -1 when a run did not report.
double peakKiB(const char* program, const benchprocess::Environment& environment)
{
    std::vector<double> peaks;
    for (int i = 0; i < runs; ++i) {
        const std::optional<benchprocess::Run> run = benchprocess::run(program, environment);
        const std::optional<long> peak = run ? benchprocess::peakMemoryKiB(run->firstLine) : std::nullopt;
        if (!run || run->exitCode != 0 || !peak) {
            std::fprintf(stderr, "bench_memory: %s did not report its peak memory\n", program);
            return -1;
        }
        peaks.push_back(static_cast<double>(*peak));
    }
    return benchprocess::median(peaks);
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("fleet.json");
    QFile file(path);
    const QByteArray fleet = fleetFile();
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(fleet) != fleet.size()) {
        std::fprintf(stderr, "bench_memory: cannot write the fleet file\n");
        return 1;
    }
    file.close();

    const benchprocess::Environment fullFleet{{{"QT_QPA_PLATFORM", "offscreen"},
                                               {"TESSEL_SIM_LATENCY_MS", "0"},
                                               {"TESSEL_SIM_FLEET", path.toStdString()},
                                               {"TESSEL_EXIT_AFTER_ROWS", std::to_string(terminalCount)}},
                                              {"TESSEL_SNAPSHOT"}};
    const benchprocess::Environment builtIn{
        {{"QT_QPA_PLATFORM", "offscreen"}, {"TESSEL_SIM_LATENCY_MS", "0"}, {"TESSEL_EXIT_AFTER_ROWS", "1"}},
        {"TESSEL_SIM_FLEET", "TESSEL_SNAPSHOT"}};
    const benchprocess::Environment empty{{{"QT_QPA_PLATFORM", "offscreen"}}, {}};

    const double console = peakKiB(TESSEL_CONSOLE_EXE, fullFleet);
    const double firstRow = peakKiB(TESSEL_CONSOLE_EXE, builtIn);
    const double emptyWidget = peakKiB(EMPTYWIDGET_EXE, empty);
    if (console < 0 || firstRow < 0 || emptyWidget < 0)
        return 1;
    std::printf("Peak memory (VmHWM), offscreen, median of %d runs\n", runs);
    const std::string listed = "tessel-console, " + std::to_string(terminalCount) + " terminals listed";
    std::printf("  %-46s %8.0f KiB\n", listed.c_str(), console);
    std::printf("  %-46s %8.0f KiB\n", "tessel-console, first row in (built-in fleet)", firstRow);
    std::printf("  %-46s %8.0f KiB\n", "empty QWidget, window shown", emptyWidget);
    std::printf("  %-46s %8.2f\n", "ratio, terminals listed / empty widget", console / emptyWidget);
    return 0;
}
