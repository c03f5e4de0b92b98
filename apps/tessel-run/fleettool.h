#pragma once

#include "fleet/fleetjunit.h"
#include "fleet/fleetrun.h"
#include "searchcheck/searchprogress.h"
#include "tessel-run/runarguments.h"
#include "tessel-run/toolbase.h"

#include <QObject>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace tessel {

// What tessel-run does with --targets or --all: reads the checklist and the
// targets, checks both, runs the checklist on every terminal and reports
// each as it finishes. Ends with `done(exit code)`.
class FleetTool : public ToolBase
{
    Q_OBJECT

public:
    FleetTool(RunArguments arguments, std::FILE* out, std::FILE* err, bool progress,
              QObject* parent = nullptr);
    ~FleetTool() override;

    void start();
    // Ctrl+C: starts nothing more, reports what finished, writes the report.
    void interrupt();

private:
    bool openOutputs();
    bool readChecklist();
    void search();
    void searchReply(int code, const std::string& reply);
    void chosen();
    void terminalDone(const TerminalReport& report);
    void record(const TerminalReport& report);
    void finish(bool stopped);
    void showProgress();
    void clearProgress();

    RunArguments arguments;
    std::vector<RunLine> lines;
    std::vector<Target> targets;
    std::vector<Target> rows;            // as read, for --failed
    std::vector<std::size_t> failedRows; // their indexes, for --failed
    std::unique_ptr<SearchProgress> searching;
    std::unique_ptr<FleetRun> run;
    std::unique_ptr<FleetJUnit> junit;
    std::vector<std::size_t> passedPerLine;
    std::size_t byVerdict[4] = {};
    std::size_t notRecorded = 0;
    std::string outputFault; // a record file that could not be written
    bool interrupted = false;
    std::chrono::steady_clock::time_point startedAt;
};

} // namespace tessel
