#pragma once

// Run files: JSON Lines, one request per line, as the history's export
// writes them. A line needs "operation" and "request"; "results" (what the
// replay expects) and "ignore" (reply members left out of the comparison)
// are optional, "time", "sn" and "batch" are informative. Blank lines are
// skipped; a member given twice, nesting beyond the comparison's depth and a
// line longer than the reader's cap are faults.
// Files are read as a stream, one line at a time, however long they are.

#include "replay/replycompare.h"

#include <QFile>
#include <QString>

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessel {

struct HistoryEntry;

struct RunLine
{
    qint64 lineNumber = 0; // in its file, from 1; 0 for lines not from a file
    std::string operation;
    std::string request;
    std::vector<ResultRecord> results; // recorded; none: the first new result must have code 0
    std::vector<std::string> ignore;
    qint64 recordedAtMs = 0; // when the request was sent (ms since the epoch); 0 when unknown

    // What a checklist line adds; a history export has none of it.
    // "expect": the compact JSON of an object or a list the first reply must
    // contain (see expectation.h); "expectCode": the code it must have.
    std::optional<std::string> expect;
    int expectCode = 0;
    // "capture": {"variable": "dotted.path"}: values of the first reply that
    // become variables of the terminal for later lines, in the line's order.
    std::vector<std::pair<std::string, std::string>> capture;
    // "until": {"tries": N, "every": MS}: sent again, up to N times in all,
    // MS apart, until the expectation holds. 0 tries: sent once.
    int untilTries = 0;
    int untilEveryMs = 0;
};

// Where and why a line could not be read. Line and column count from 1; the
// column counts characters.
struct RunFileFault
{
    qint64 line = 0;
    int column = 1;
    std::string message;
    std::string text() const; // "line 3, column 17: ..."
};

// One line of a run file (without its line end); the fault's line is left 0.
std::optional<RunLine> parseRunLine(std::string_view text, RunFileFault& fault);
// The same through a whole JSON document: the reading that has the final
// word. parseRunLine tries a quicker one first, for lines of the usual kind.
std::optional<RunLine> parseRunLineFully(std::string_view text, RunFileFault& fault);

// The run line of a history request, its results as the recorded ones.
RunLine runLineOf(const HistoryEntry& entry);
// The same for each, in their order: a replay of history requests.
std::vector<RunLine> runLinesOf(const std::vector<HistoryEntry>& entries);

// A run-file line (with its line end): the request as sent, these results,
// the time of `sentAtMs` (ms since the epoch) and the line's ignore list.
std::string runFileLine(const RunLine& line, const std::string& request,
                        const std::vector<ResultRecord>& results, qint64 sentAtMs);

class RunFileReader
{
public:
    enum class Step
    {
        Line,
        End,
        Fault
    };

    // A longer line is a fault, found without holding more of it than this.
    static constexpr std::size_t defaultLongestLine = std::size_t(512) << 20;

    bool open(const QString& path, std::string& error);
    void setLongestLine(std::size_t bytes) { longestLine = bytes; }
    // The next line that is not blank, the end of the file, or the first fault.
    Step next(RunLine& line, RunFileFault& fault);

private:
    bool fill(); // appends the next chunk of the file; false at its end or on an error
    Step tooLong(qint64 line, RunFileFault& fault) const;

    QFile file;
    std::string buffer; // read, not yet taken from `start` on
    std::size_t start = 0;
    bool readError = false;
    qint64 lineNumber = 0;
    std::size_t longestLine = defaultLongestLine;
};

// A first pass over the whole file, so that nothing is sent from a file with
// a damaged line. With `withSerials`, collects the distinct top-level "sn"
// texts of the requests (up to `maxSerials`; beyond that `tooManySerials` is
// set). With `cancel`, gives up as soon as it is set (`cancelled`).
struct RunFileCheck
{
    std::string openError; // the file could not be opened
    std::optional<RunFileFault> fault;
    qint64 requests = 0;
    std::vector<std::string> serials;
    bool tooManySerials = false;
    qint64 checklistLine = 0; // the first line with "expect", "capture" or "until"; 0: none
    bool cancelled = false;
    bool ok() const { return openError.empty() && !fault; }
};

constexpr std::size_t maxSerials = 1000;
RunFileCheck checkRunFile(const QString& path, bool withSerials = true,
                          const std::atomic<bool>* cancel = nullptr);

} // namespace tessel
