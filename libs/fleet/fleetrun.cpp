#include "fleet/fleetrun.h"

#include "replay/expectation.h"
#include "replay/placeholders.h"
#include "requests/records.h"
#include "requests/requesttarget.h"

#include <QDateTime>
#include <QDir>

#include <algorithm>
#include <utility>

namespace tessel {

// 0.5 s, 1 s, 2 s …, never more than a minute.
int FleetRun::retryPause(int retriesBefore) const
{
    const qint64 pause = qint64(options.firstRetryPauseMs) << std::min(retriesBefore, 16);
    return static_cast<int>(std::min<qint64>(pause, 60000));
}

FleetRun::FleetRun(RequestRunner& runner, TerminalActions& actions, std::vector<RunLine> lines,
                   std::vector<Target> targets, FleetOptions options, QObject* parent)
    : QObject(parent), runner(runner), actions(actions), lines(std::move(lines)), targets(std::move(targets)),
      options(std::move(options))
{
    this->options.parallel = std::clamp(this->options.parallel, 1, 256);
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &FleetRun::fire);
    connect(&runner, &RequestRunner::result, this, &FleetRun::take);
}

FleetRun::~FleetRun()
{
    for (const auto& entry : byRequest)
        runner.release(entry.first);
}

void FleetRun::start()
{
    if (running || finishing)
        return;
    running = true;
    waveEnd = options.wave ? options.wave->of(targets.size()) : targets.size();
    startMore();
}

void FleetRun::stop()
{
    if (!running)
        return;
    running = false;
    std::vector<std::uint64_t> keys;
    keys.reserve(active.size());
    for (const auto& entry : active)
        keys.push_back(entry.first);
    // In the targets' order, as a report reads best.
    std::sort(keys.begin(), keys.end(), [this](std::uint64_t a, std::uint64_t b) {
        return active.at(a).report.index < active.at(b).report.index;
    });
    for (const std::uint64_t key : keys) {
        Active& terminal = active.at(key);
        notRun(terminal, "not run: the run was interrupted");
        finishTerminal(key, "interrupted");
    }
    skipRest();
    timer.stop();
    finishSoon(true);
}

bool FleetRun::overBudget() const
{
    return options.maxFail && failedTerminals > options.maxFail->of(targets.size());
}

// Starts terminals while fewer than `parallel` run, within the wave and the
// failure budget; ends the run once nothing runs and nothing can start.
void FleetRun::startMore()
{
    if (starting || !running)
        return;
    starting = true;
    while (running && nextTarget < targets.size() && !overBudget()) {
        if (nextTarget == waveEnd) {
            if (!active.empty())
                break; // the next wave waits for this one to end
            waveEnd = std::min(targets.size(), waveEnd + options.wave->of(targets.size()));
        }
        if (active.size() >= static_cast<std::size_t>(options.parallel))
            break;
        begin(nextTarget++);
    }
    starting = false;
    if (running && active.empty()) {
        skipRest();
        running = false;
        timer.stop();
        finishSoon(false);
    }
}

void FleetRun::skipRest()
{
    while (nextTarget < targets.size()) {
        TerminalReport report;
        report.index = nextTarget;
        report.target = std::move(targets[nextTarget]);
        for (auto& variable : report.target.variables)
            if (isSecretColumn(variable.first))
                variable.second = "******";
        report.message = overBudget() ? "not started: more terminals failed than --max-fail allows"
                                      : "not started: the run was interrupted";
        ++nextTarget;
        emit terminalDone(report);
    }
}

void FleetRun::begin(std::size_t index)
{
    const std::uint64_t key = nextKey++;
    Active& terminal = active[key];
    terminal.key = key;
    terminal.startedAt = Clock::now();
    TerminalReport& report = terminal.report;
    report.index = index;
    // The terminal's row is needed no more once it has started: a long fleet
    // holds only the rows still to come.
    report.target = std::move(targets[index]);
    report.startedAtMs = QDateTime::currentMSecsSinceEpoch();
    report.lines.reserve(lines.size());
    terminal.mask.add(options.password.toStdString());
    for (const auto& variable : report.target.variables)
        if (isSecretColumn(variable.first))
            terminal.mask.add(variable.second);

    if (!options.baselineDir.isEmpty()) {
        const QString path = QDir(options.baselineDir).filePath(runFileNameOf(report.target.sn));
        if (QFileInfo::exists(path)) {
            RunFileReader reader;
            std::string error;
            RunLine line;
            RunFileFault fault;
            RunFileReader::Step step = RunFileReader::Step::End;
            if (reader.open(path, error)) {
                while ((step = reader.next(line, fault)) == RunFileReader::Step::Line &&
                       terminal.baseline.size() <= lines.size())
                    terminal.baseline.push_back(std::move(line));
            }
            std::string why;
            if (!error.empty())
                why = "cannot read " + path.toStdString() + ": " + error;
            else if (step == RunFileReader::Step::Fault)
                why = path.toStdString() + ": " + fault.text();
            else if (terminal.baseline.size() != lines.size())
                why = path.toStdString() + " does not hold one line per line of the checklist";
            for (std::size_t i = 0; why.empty() && i < lines.size(); ++i)
                if (terminal.baseline[i].operation != lines[i].operation)
                    why = path.toStdString() + ": line " + std::to_string(terminal.baseline[i].lineNumber) +
                          " is " + terminal.baseline[i].operation + ", the checklist's line " +
                          std::to_string(lines[i].lineNumber) + " " + lines[i].operation;
            if (!why.empty()) {
                notRun(terminal, "not sent: its baseline cannot be used");
                return finishTerminal(key, why);
            }
        }
    }
    if (options.login)
        return logIn(terminal);
    sendLine(terminal);
}

void FleetRun::logIn(Active& terminal)
{
    const Target& target = terminal.report.target;
    const std::optional<std::string> user = target.variable("user");
    const std::optional<std::string> password = target.variable("password");
    terminal.phase = Phase::LoggingIn;
    const std::uint64_t key = terminal.key, generation = ++terminal.generation;
    TerminalActions::Listener listener;
    listener.receiver = this;
    listener.answer = [this, key, generation](int code, const std::string& reply) {
        loggedIn(key, generation, code, reply);
    };
    actions.logIn(TerminalActions::LoginKind::User, target.sn,
                  user ? QString::fromStdString(*user) : options.user,
                  password ? QString::fromStdString(*password) : options.password, std::move(listener));
    due(terminal, Phase::LoggingIn, options.timeoutMs);
}

void FleetRun::loggedIn(std::uint64_t key, std::uint64_t generation, int code, const std::string& reply)
{
    const auto found = active.find(key);
    if (found == active.end() || found->second.generation != generation ||
        found->second.phase != Phase::LoggingIn)
        return; // a second answer, or one after the timeout
    Active& terminal = found->second;
    ++terminal.generation;
    if (isUnreachedCode(code) && terminal.retriesUsed < options.retries) {
        const int pause = retryPause(terminal.retriesUsed++);
        return due(terminal, Phase::PausingLogIn, pause);
    }
    tsc::LoginReplyData data;
    if (code != 0 || !recordFromJson(reply, data) || !data.logined) {
        notRun(terminal, "not sent: the log-in failed");
        terminal.report.verdict = TerminalVerdict::Failed;
        return finishTerminal(key, "log-in refused: code " + std::to_string(code) + ", " + reply);
    }
    terminal.retriesUsed = 0;
    sendLine(terminal);
}

void FleetRun::sendLine(Active& terminal)
{
    while (terminal.line < lines.size()) {
        const RunLine& line = lines[terminal.line];
        LineReport& report = terminal.current;
        if (report.tries == 0) {
            report = LineReport{};
            report.outcome.number = static_cast<qint64>(terminal.line) + 1;
            report.outcome.line = line;
            if (!terminal.baseline.empty()) {
                // The terminal's own recorded results and checks.
                RunLine& own = terminal.baseline[terminal.line];
                report.outcome.line.results = std::move(own.results);
                report.outcome.line.expect = std::move(own.expect);
                report.outcome.line.expectCode = own.expectCode;
            }
        }
        const Target& target = terminal.report.target;
        const VariableLookup lookup = [&terminal,
                                       &target](std::string_view name) -> std::optional<std::string> {
            for (auto it = terminal.captured.rbegin(); it != terminal.captured.rend(); ++it)
                if (it->first == name)
                    return it->second;
            return target.variable(name);
        };
        const auto unfilled = [&terminal](const std::string& name) {
            const auto why = terminal.uncaptured.find(name);
            return "not sent: {{" + name + "}} has no value" +
                   (why == terminal.uncaptured.end() ? std::string() : ": " + why->second);
        };
        std::string missing;
        const std::optional<std::string> request = fillRequest(line.request, lookup, missing);
        const std::optional<std::string>& expectation = report.outcome.line.expect;
        std::optional<std::string> expect;
        if (request && expectation)
            expect = fillExpectation(*expectation, lookup, missing);
        std::string error;
        if (!request || (expectation && !expect))
            error = unfilled(missing);
        else if (!RequestRunner::startsOperation(line.operation))
            error = "\"" + line.operation + "\" starts no SDK operation: not sent";
        ReplayOutcome& outcome = report.outcome;
        if (error.empty()) {
            outcome.sentRequest = requesttarget::withSerial(*request, target.sn);
            outcome.sentAtMs = QDateTime::currentMSecsSinceEpoch();
            outcome.results.clear();
            const RequestRunner::Sent sent = runner.send(QByteArray::fromStdString(line.operation),
                                                         QByteArray::fromStdString(outcome.sentRequest));
            if (sent) {
                ++report.tries;
                terminal.expect = expect.value_or(std::string());
                terminal.request = sent.id;
                terminal.expected = std::max<std::size_t>(1, outcome.line.results.size());
                byRequest[sent.id] = terminal.key;
                ++terminal.generation;
                return due(terminal, Phase::Waiting, options.timeoutMs);
            }
            error = sent.refusal.toStdString();
        }
        outcome.verdict = Verdict::Error;
        outcome.message = error;
        for (const auto& capture : line.capture)
            terminal.uncaptured[capture.first] = "line " + std::to_string(outcome.number) + " was not sent";
        LineReport done = std::move(report);
        report = LineReport{};
        done.run = done.tries > 0;
        terminal.report.lines.push_back(std::move(done));
        ++terminal.line;
    }
    finishTerminal(terminal.key);
}

void FleetRun::take(RequestRunner::Id id, int code, const QString& reply, qint64 ms)
{
    const auto found = byRequest.find(id);
    if (found == byRequest.end())
        return; // another user's request, or one settled already
    Active& terminal = active.at(found->second);
    ReplayOutcome& outcome = terminal.current.outcome;
    outcome.results.push_back(ResultRecord{code, reply.toStdString(), ms});
    outcome.ms = ms;
    if (outcome.results.size() < terminal.expected)
        return;
    if (options.graceMs <= 0)
        return settle(terminal);
    ++terminal.generation; // each further result starts the grace period again
    due(terminal, Phase::Grace, options.graceMs);
}

void FleetRun::settle(Active& terminal)
{
    byRequest.erase(terminal.request);
    runner.release(terminal.request);
    terminal.request = 0;
    ++terminal.generation;
    if (terminal.dueAt) {
        dues.erase(*terminal.dueAt);
        terminal.dueAt.reset();
    }
    LineReport& report = terminal.current;
    ReplayOutcome& outcome = report.outcome;
    const RunLine& line = outcome.line;
    const bool complete = outcome.results.size() >= terminal.expected;
    const bool unreached = outcome.results.empty() || isUnreachedCode(outcome.results.front().code);

    IgnoreRule ignore = options.ignore;
    ignore.add(line.ignore);
    outcome.differences.clear();
    std::vector<Difference> expected;
    if (line.expect)
        expected = expectationDifferences(terminal.expect, line.expectCode, outcome.results, ignore);
    // A line with an expectation and no recorded results is judged by the
    // expectation alone; recorded results compare as a replay compares them.
    if (!line.expect || !line.results.empty())
        outcome.differences = resultDifferences(line.results, outcome.results, ignore);
    const bool holds = complete && expected.empty();

    if (line.untilTries > 0 && line.expect && !holds && report.tries < line.untilTries)
        return due(terminal, Phase::Pausing, line.untilEveryMs);
    if (line.untilTries == 0 && unreached && terminal.retriesUsed < options.retries) {
        const int pause = retryPause(terminal.retriesUsed++);
        return due(terminal, Phase::Pausing, pause);
    }
    outcome.differences.insert(outcome.differences.end(), expected.begin(), expected.end());
    if (!complete) {
        outcome.verdict = Verdict::Timeout;
        outcome.ms = options.timeoutMs;
    } else {
        outcome.verdict = outcome.differences.empty() ? Verdict::Same : Verdict::Different;
    }
    for (const auto& capture : line.capture) {
        std::optional<std::string> value;
        if (!outcome.results.empty())
            value = valueAtPath(outcome.results.front().reply, capture.second);
        if (value) {
            terminal.captured.emplace_back(capture.first, std::move(*value));
            terminal.uncaptured.erase(capture.first);
            continue;
        }
        terminal.uncaptured[capture.first] =
            "line " + std::to_string(outcome.number) + " found no " + capture.second + " in its reply";
        if (complete) {
            outcome.differences.push_back(Difference{capture.second, "(captured)", absentValue});
            outcome.verdict = Verdict::Different;
        }
    }
    report.run = true;
    LineReport done = std::move(report);
    report = LineReport{};
    terminal.retriesUsed = 0;
    ++terminal.line;
    lineDone(terminal, std::move(done));
}

void FleetRun::lineDone(Active& terminal, LineReport line)
{
    const bool silent = line.outcome.verdict == Verdict::Timeout && line.outcome.results.empty();
    terminal.report.lines.push_back(std::move(line));
    if (silent) {
        // A terminal that did not answer at all would make every line wait
        // for its timeout: the rest are not sent.
        notRun(terminal, "not sent: the terminal did not answer line " +
                             std::to_string(terminal.report.lines.back().outcome.number));
        return finishTerminal(terminal.key);
    }
    sendLine(terminal);
}

// The lines from the one in hand on, as not run.
void FleetRun::notRun(Active& terminal, const std::string& why)
{
    if (terminal.request) {
        byRequest.erase(terminal.request);
        runner.release(terminal.request);
        terminal.request = 0;
    }
    for (; terminal.line < lines.size(); ++terminal.line) {
        LineReport report;
        report.outcome.number = static_cast<qint64>(terminal.line) + 1;
        report.outcome.line = lines[terminal.line];
        report.outcome.verdict = Verdict::Error;
        report.outcome.message = why;
        terminal.report.lines.push_back(std::move(report));
    }
}

void FleetRun::finishTerminal(std::uint64_t key, const std::string& message)
{
    const auto found = active.find(key);
    if (found == active.end())
        return;
    Active& terminal = found->second;
    if (terminal.dueAt)
        dues.erase(*terminal.dueAt);
    TerminalReport report = std::move(terminal.report);
    const SecretMask mask = std::move(terminal.mask);
    report.ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - terminal.startedAt).count();
    active.erase(found);

    concludeReport(report, mask, message);
    if (report.verdict != TerminalVerdict::Passed)
        ++failedTerminals;
    emit terminalDone(report);
    if (running)
        startMore();
}

void FleetRun::due(Active& terminal, Phase phase, int ms)
{
    terminal.phase = phase;
    if (terminal.dueAt)
        dues.erase(*terminal.dueAt);
    terminal.dueAt = dues.emplace(Clock::now() + std::chrono::milliseconds(ms), terminal.key);
    schedule();
}

void FleetRun::fire()
{
    timerDue.reset();
    const auto now = Clock::now();
    while (running && !dues.empty() && dues.begin()->first <= now) {
        const std::uint64_t key = dues.begin()->second;
        dues.erase(dues.begin());
        Active& terminal = active.at(key);
        terminal.dueAt.reset();
        switch (terminal.phase) {
        case Phase::LoggingIn:
            ++terminal.generation;
            if (terminal.retriesUsed < options.retries) {
                const int pause = retryPause(terminal.retriesUsed++);
                due(terminal, Phase::PausingLogIn, pause);
            } else {
                notRun(terminal, "not sent: the log-in was not answered");
                finishTerminal(key, "log-in: no answer within " + std::to_string(options.timeoutMs) + " ms");
            }
            break;
        case Phase::Waiting:
        case Phase::Grace:
            settle(terminal);
            break;
        case Phase::PausingLogIn:
            logIn(terminal);
            break;
        case Phase::Pausing:
            sendLine(terminal);
            break;
        }
    }
    schedule();
}

void FleetRun::schedule()
{
    if (dues.empty()) {
        timer.stop();
        timerDue.reset();
        return;
    }
    const Clock::time_point next = dues.begin()->first;
    // A timer that fires no later than needed is left running: restarting it
    // for every result costs more than one early wake-up.
    if (timer.isActive() && timerDue && *timerDue <= next)
        return;
    timerDue = next;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
    timer.start(static_cast<int>(std::max<decltype(wait)>(0, wait)));
}

void FleetRun::finishSoon(bool stopped)
{
    if (finishing)
        return;
    finishing = true;
    running = false;
    // Queued, so that whoever called is done before the run is over.
    QMetaObject::invokeMethod(
        this, [this, stopped] { emit finished(stopped); }, Qt::QueuedConnection);
}

} // namespace tessel
