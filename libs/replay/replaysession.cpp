#include "replay/replaysession.h"

#include "requests/requesttarget.h"

#include <QDateTime>

#include <algorithm>
#include <utility>

namespace tessel {
namespace {

using Clock = std::chrono::steady_clock;

} // namespace

ReplaySession::ReplaySession(RequestRunner& runner, ReplayOptions options, Source source, QObject* parent)
    : QObject(parent), runner(runner), options(std::move(options)), source(std::move(source))
{
    this->options.concurrency = std::max(1, this->options.concurrency);
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &ReplaySession::fire);
    connect(&runner, &RequestRunner::result, this, &ReplaySession::take);
}

ReplaySession::~ReplaySession() = default;

void ReplaySession::start()
{
    if (running || finishing)
        return;
    running = true;
    pump();
}

std::vector<ReplayOutcome> ReplaySession::stop()
{
    std::vector<ReplayOutcome> dropped;
    if (!running)
        return dropped;
    for (auto& entry : pending) {
        runner.release(entry.first);
        dropped.push_back(std::move(entry.second.outcome));
    }
    pending.clear();
    if (lookahead) {
        dropped.emplace_back();
        dropped.back().line = std::move(*lookahead);
        dropped.back().number = ++taken;
    }
    lookahead.reset();
    std::sort(dropped.begin(), dropped.end(),
              [](const ReplayOutcome& a, const ReplayOutcome& b) { return a.number < b.number; });
    awaiting = 0;
    reportReady(true); // what settled is reported, gaps or not
    timeouts.clear();
    graces.clear();
    timer.stop();
    finishSoon(true);
    return dropped;
}

// Sends while fewer than `concurrency` requests wait for their results.
void ReplaySession::pump()
{
    sendMore();
    if (!running)
        return;
    // The line after is read and checked now, while the SDK works on what
    // was sent, rather than once its results are in.
    if (!sourceDone && !lookahead && pending.size() + ready.size() < limit() + maxSettling) {
        lookahead.emplace();
        if (!source(*lookahead)) {
            lookahead.reset();
            sourceDone = true;
        }
    }
    schedule();
    if (sourceDone && !lookahead && pending.empty())
        finishSoon(false);
}

void ReplaySession::sendMore()
{
    if (pumping)
        return;
    pumping = true;
    while (running && awaiting < limit() && pending.size() + ready.size() < limit() + maxSettling) {
        ReplayOutcome outcome;
        if (lookahead) {
            outcome.line = std::move(*lookahead);
            lookahead.reset();
        } else if (sourceDone || !source(outcome.line)) {
            sourceDone = true;
            break;
        }
        outcome.number = ++taken;
        outcome.sentAtMs = QDateTime::currentMSecsSinceEpoch();
        const std::string& request = outcome.line.request;
        outcome.sentRequest = options.serial.isEmpty()
                                  ? request
                                  : requesttarget::withSerial(request, options.serial.toStdString());
        if (!RequestRunner::startsOperation(outcome.line.operation)) {
            outcome.verdict = Verdict::Error;
            outcome.message = "\"" + outcome.line.operation + "\" starts no SDK operation: not sent";
            report(std::move(outcome));
            continue;
        }
        const RequestRunner::Sent sent = runner.send(QByteArray::fromStdString(outcome.line.operation),
                                                     QByteArray::fromStdString(outcome.sentRequest));
        if (!sent) {
            outcome.verdict = Verdict::Error;
            outcome.message = sent.refusal.toStdString();
            report(std::move(outcome));
            continue;
        }
        Pending& added = pending[sent.id];
        added.expected = std::max<std::size_t>(1, outcome.line.results.size());
        added.outcome = std::move(outcome);
        added.sentAt = Clock::now();
        added.deadline = added.sentAt + std::chrono::milliseconds(options.timeoutMs);
        ++awaiting;
        timeouts.push_back(Due{added.deadline, sent.id, 0});
    }
    pumping = false;
}

void ReplaySession::take(RequestRunner::Id id, int code, const QString& reply, qint64 ms)
{
    const auto found = pending.find(id);
    if (found == pending.end())
        return; // another window's request, or one settled already
    Pending& request = found->second;
    std::vector<ResultRecord>& results = request.outcome.results;
    results.push_back(ResultRecord{code, reply.toStdString(), ms});
    request.outcome.ms = ms;
    if (results.size() == request.expected)
        --awaiting;
    if (results.size() >= request.expected) {
        if (options.graceMs <= 0) {
            // The next request goes out before this one is compared and
            // reported, so that the SDK answers it meanwhile.
            sendMore();
            settle(id);
        } else {
            // Each further result starts the grace period again.
            graces.push_back(Due{Clock::now() + std::chrono::milliseconds(options.graceMs), id,
                                 ++request.graceGeneration});
        }
    }
    pump();
}

void ReplaySession::fire()
{
    const auto now = Clock::now();
    while (!timeouts.empty() && timeouts.front().at <= now) {
        const Due due = timeouts.front();
        timeouts.pop_front();
        if (pending.count(due.id))
            settle(due.id);
    }
    while (!graces.empty() && graces.front().at <= now) {
        const Due due = graces.front();
        graces.pop_front();
        const auto found = pending.find(due.id);
        if (found != pending.end() && found->second.graceGeneration == due.generation)
            settle(due.id);
    }
    pump();
}

void ReplaySession::schedule()
{
    // Entries of requests settled meanwhile are dropped from the front, so
    // that neither list grows with the run.
    while (!timeouts.empty() && !pending.count(timeouts.front().id))
        timeouts.pop_front();
    while (!graces.empty()) {
        const auto found = pending.find(graces.front().id);
        if (found != pending.end() && found->second.graceGeneration == graces.front().generation)
            break;
        graces.pop_front();
    }
    if (timeouts.empty() && graces.empty()) {
        timer.stop();
        return;
    }
    auto next = timeouts.empty() ? graces.front().at : timeouts.front().at;
    if (!graces.empty())
        next = std::min(next, graces.front().at);
    // A timer that fires no later than needed is left running: restarting it
    // for every request costs more than one early wake-up, which `fire`
    // answers by scheduling again.
    if (timer.isActive() && timerDue <= next)
        return;
    timerDue = next;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
    timer.start(static_cast<int>(std::max<decltype(wait)>(0, wait)));
}

void ReplaySession::settle(RequestRunner::Id id)
{
    const auto found = pending.find(id);
    if (found == pending.end())
        return; // dropped by a stop meanwhile
    Pending& request = found->second;
    ReplayOutcome outcome = std::move(request.outcome);
    const bool complete = outcome.results.size() >= request.expected;
    if (!complete)
        --awaiting;
    pending.erase(found);
    runner.release(id);

    if (outcome.line.ignore.empty()) {
        outcome.differences = resultDifferences(outcome.line.results, outcome.results, options.ignore);
    } else {
        IgnoreRule ignore = options.ignore;
        ignore.add(outcome.line.ignore);
        outcome.differences = resultDifferences(outcome.line.results, outcome.results, ignore);
    }
    if (!complete) {
        outcome.verdict = Verdict::Timeout;
        outcome.ms = options.timeoutMs;
    } else {
        outcome.verdict = outcome.differences.empty() ? Verdict::Same : Verdict::Different;
    }
    report(std::move(outcome));
}

void ReplaySession::report(ReplayOutcome outcome)
{
    const qint64 number = outcome.number;
    ready.emplace(number, std::move(outcome));
    reportReady(false);
}

void ReplaySession::reportReady(bool all)
{
    while (!ready.empty() && (all || ready.begin()->first == nextReported)) {
        const ReplayOutcome outcome = std::move(ready.begin()->second);
        ready.erase(ready.begin());
        nextReported = outcome.number + 1;
        emit settled(outcome);
    }
}

void ReplaySession::finishSoon(bool stopped)
{
    if (finishing)
        return;
    finishing = true;
    running = false;
    // Queued, so that whoever called is done before the session is over.
    QMetaObject::invokeMethod(
        this, [this, stopped] { emit finished(stopped); }, Qt::QueuedConnection);
}

} // namespace tessel
