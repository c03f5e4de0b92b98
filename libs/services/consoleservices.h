#pragma once

#include "history/historyrecorder.h"
#include "requests/requestrunner.h"
#include "terminalactions/terminalactions.h"
#include "tessel/tesselcommon.h"

#include <QString>

#include <memory>
#include <vector>

namespace tessel {

// What the windows and tools of one program share: the history of sends, the
// request runner that records into it, the terminals the searches found and
// the terminal actions. Made once by the program (or by a main window that
// gets none) and handed to whoever needs it; it outlives them all.
class ConsoleServices
{
public:
    struct Options
    {
        // Without a history nothing is recorded and no database is opened.
        bool keepHistory = true;
        QString historyPath; // empty: HistoryRecorder::defaultFilePath()
        RequestRunner::Memory memory = RequestRunner::Memory::Latest;
    };

    ConsoleServices();
    explicit ConsoleServices(Options options);
    ~ConsoleServices();
    ConsoleServices(const ConsoleServices&) = delete;
    ConsoleServices& operator=(const ConsoleServices&) = delete;

    // nullptr when made without a history.
    HistoryRecorder* historyRecorder() { return recorder.get(); }
    RequestRunner& requestRunner() { return runner; }
    // Every window that lists the terminals found shows these.
    std::vector<tsc::SearchResponseData>& terminals() { return found; }
    TerminalActions& terminalActions() { return actions; }

private:
    // The recorder goes last: the runner's late results still reach it.
    std::unique_ptr<HistoryRecorder> recorder;
    RequestRunner runner;
    std::vector<tsc::SearchResponseData> found;
    TerminalActions actions;
};

} // namespace tessel
