#pragma once

// One checklist on many terminals: each terminal runs the lines in order,
// the terminals run side by side, a report per terminal as it finishes.

#include "replay/replaysession.h"
#include "replay/runfile.h"
#include "requests/requestrunner.h"
#include "targets/targets.h"
#include "terminalactions/terminalactions.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tessel {

// N terminals, or P percent of the fleet (rounded up, at least one).
struct FleetCount
{
    int value = 0;
    bool percent = false;
    std::size_t of(std::size_t total) const;
};
// "5" or "20%"; nothing, with `error` set, for anything else. `zeroAllowed`
// for a failure budget (0: the first failure stops the run).
std::optional<FleetCount> parseFleetCount(std::string_view text, bool zeroAllowed, std::string& error);

struct FleetOptions
{
    int parallel = 8;                  // terminals at once, 1 to 256
    std::optional<FleetCount> wave;    // none: the fleet is one wave
    std::optional<FleetCount> maxFail; // none: no budget
    int retries = 0;                   // resends of a line that did not reach the terminal
    int firstRetryPauseMs = 500;       // doubled for each further one
    bool login = false;                // log in to each terminal first
    QString user, password;            // a target's "user"/"password" column overrides them
    IgnoreRule ignore;
    int timeoutMs = 10000;
    int graceMs = 500;
    QString baselineDir; // SERIAL.jsonl there: that terminal's recorded results
};

enum class TerminalVerdict
{
    Passed,
    Failed, // a line differs, or the log-in was refused
    Error,  // a line not sent or not answered, or the log-in not answered
    Skipped // not started
};
const char* verdictWord(TerminalVerdict verdict);

struct LineReport
{
    bool run = false;      // false: not sent, `outcome.message` says why
    ReplayOutcome outcome; // its number is the line's place in the checklist, from 1
    int tries = 0;         // sends, retries and repeats of an "until" included
};

struct TerminalReport
{
    std::size_t index = 0; // in the targets, from 0
    Target target;         // secret columns masked
    TerminalVerdict verdict = TerminalVerdict::Skipped;
    std::vector<LineReport> lines; // one per checklist line
    std::string message;           // why the terminal failed as a whole
    qint64 startedAtMs = 0;
    qint64 ms = 0;
    std::size_t count(Verdict verdict) const; // of the lines run
};

// The first placeholder of the checklist that is malformed, or that some
// target cannot fill: neither a column of the target nor a capture of an
// earlier line ("{{width}} has no value for BZSA… (大厅主屏): …"). Nothing
// when all can be filled.
struct PlaceholderFault
{
    qint64 line = 0;        // in the checklist's file
    bool malformed = false; // else a value is missing
    std::string message;
};
std::optional<PlaceholderFault> placeholderFault(const std::vector<RunLine>& lines,
                                                 const std::vector<Target>& targets);

// The file of a terminal in a --record or --baseline folder: its serial,
// with every character but letters, digits, '-', '_' and '.' (and a leading
// '.') as '_', then ".jsonl".
QString runFileNameOf(const std::string& sn);

// The codes that say the SDK did not reach the terminal at all, so that the
// line may be sent again: the simulator's "unknown terminal" stands for it.
bool isUnreachedCode(int code);

// Every text written about a terminal has its secrets (the log-in password,
// its "password" and "secret…" columns) replaced by "******": raw, and as
// they stand inside a JSON string; wherever they stand whole, not as a part
// of a longer run of letters and digits (a serial, a number).
class SecretMask
{
public:
    void add(const std::string& secret);
    std::string apply(std::string text) const;
    bool empty() const { return secrets.empty(); }

private:
    std::vector<std::string> secrets; // longest first, so a part never masks first
};

// A finished terminal's verdict from its lines (and `message`, why it
// failed as a whole), and every text of its report with the secrets masked.
void concludeReport(TerminalReport& report, const SecretMask& mask, const std::string& message);

class FleetRun : public QObject
{
    Q_OBJECT

public:
    FleetRun(RequestRunner& runner, TerminalActions& actions, std::vector<RunLine> lines,
             std::vector<Target> targets, FleetOptions options, QObject* parent = nullptr);
    ~FleetRun() override;

    void start();
    // Starts nothing more; the terminals running are reported with their
    // remaining lines not run, those not started as skipped. `finished` follows.
    void stop();
    bool isRunning() const { return running; }

    std::size_t terminals() const { return targets.size(); }
    std::size_t started() const { return nextTarget; }
    std::size_t runningNow() const { return active.size(); }

signals:
    void terminalDone(const tessel::TerminalReport& report);
    void finished(bool stopped);

private:
    enum class Phase
    {
        LoggingIn,
        Waiting,     // for the results of the current line
        Grace,       // its results are in: further ones may follow
        Pausing,     // before a retry or the next try of an "until"
        PausingLogIn // before the log-in is tried again
    };
    using Clock = std::chrono::steady_clock;
    using Dues = std::multimap<Clock::time_point, std::uint64_t>;

    struct Active
    {
        std::uint64_t key = 0;
        TerminalReport report;
        SecretMask mask;
        Clock::time_point startedAt;
        Phase phase = Phase::Waiting;
        std::uint64_t generation = 0; // of the answer or the time awaited
        std::optional<Dues::iterator> dueAt;
        std::size_t line = 0; // the checklist line in hand
        LineReport current;   // its report so far
        std::string expect;   // its expectation, placeholders filled
        std::size_t expected = 1;
        int retriesUsed = 0;
        RequestRunner::Id request = 0;
        std::vector<std::pair<std::string, std::string>> captured; // latest last
        std::map<std::string, std::string> uncaptured;             // name: why it has no value
        std::vector<RunLine> baseline;                             // its own lines, from --baseline
    };

    void startMore();
    void begin(std::size_t index);
    void logIn(Active& terminal);
    void loggedIn(std::uint64_t key, std::uint64_t generation, int code, const std::string& reply);
    void sendLine(Active& terminal);
    void take(RequestRunner::Id id, int code, const QString& reply, qint64 ms);
    void settle(Active& terminal);
    void lineDone(Active& terminal, LineReport line);
    void notRun(Active& terminal, const std::string& why);
    void finishTerminal(std::uint64_t key, const std::string& message = {});
    void skipRest();
    void due(Active& terminal, Phase phase, int ms);
    void fire();
    void schedule();
    bool overBudget() const;
    int retryPause(int retriesBefore) const;
    void finishSoon(bool stopped);

    RequestRunner& runner;
    TerminalActions& actions;
    std::vector<RunLine> lines;
    std::vector<Target> targets;
    FleetOptions options;
    std::unordered_map<std::uint64_t, Active> active;
    std::unordered_map<RequestRunner::Id, std::uint64_t> byRequest;
    Dues dues; // one entry per terminal waiting for a time
    QTimer timer;
    std::optional<Clock::time_point> timerDue;
    std::size_t nextTarget = 0, waveEnd = 0, failedTerminals = 0;
    std::uint64_t nextKey = 1;
    bool running = false, finishing = false, starting = false;
};

} // namespace tessel

Q_DECLARE_METATYPE(tessel::TerminalReport)
