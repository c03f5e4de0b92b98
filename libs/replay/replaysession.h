#pragma once

#include "replay/replycompare.h"
#include "replay/runfile.h"
#include "requests/requestrunner.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tessel {

struct ReplayOptions
{
    QByteArray serial; // set as each request's top-level text "sn"; empty: as recorded
    IgnoreRule ignore; // for every line, beside the line's own list
    int timeoutMs = 10000;
    int graceMs = 500;
    int concurrency = 1; // requests waiting for their results at once
};

enum class Verdict
{
    Same,
    Different,
    Timeout,
    Error // not sent: the operation is unknown or starts no SDK operation
};

struct ReplayOutcome
{
    qint64 number = 0; // 1 for the first line taken from the source
    RunLine line;
    std::string sentRequest;
    std::vector<ResultRecord> results; // what came this time
    Verdict verdict = Verdict::Same;
    std::vector<Difference> differences;
    std::string message; // why an Error line was not sent
    qint64 sentAtMs = 0; // wall clock of the send
    qint64 ms = 0;       // from the send to the last result (to the timeout when it passed)
};

// Replays run lines through the request runner and settles each request:
// once as many results have come as were recorded (one when none were) and
// none more within the grace period, or when its timeout passes. Lines are
// taken from the source as they are needed, so a long run file is never
// held whole. Outcomes are reported in the order of the lines: one that
// settles early waits for those before it.
class ReplaySession : public QObject
{
    Q_OBJECT

public:
    // Fills the next line; false at the end.
    using Source = std::function<bool(RunLine&)>;

    // Requests past their count (in their grace period, or settled and
    // waiting for an earlier one), at most, beside those still waiting for
    // results: memory stays flat however long the run.
    static constexpr std::size_t maxSettling = 1024;

    ReplaySession(RequestRunner& runner, ReplayOptions options, Source source, QObject* parent = nullptr);
    ~ReplaySession() override;

    void start();
    // Sends nothing more and waits for nothing more; the requests not yet
    // settled are dropped and returned (their line and number), in order.
    // `finished` follows.
    std::vector<ReplayOutcome> stop();
    bool isRunning() const { return running; }

signals:
    void settled(const tessel::ReplayOutcome& outcome);
    void finished(bool stopped);

private:
    struct Pending
    {
        ReplayOutcome outcome;
        std::size_t expected = 1;
        std::chrono::steady_clock::time_point sentAt, deadline;
        std::uint64_t graceGeneration = 0;
    };
    struct Due
    {
        std::chrono::steady_clock::time_point at;
        RequestRunner::Id id;
        std::uint64_t generation; // 0: the timeout, else the grace period of that generation
    };

    void take(RequestRunner::Id id, int code, const QString& reply, qint64 ms);
    void pump();
    void sendMore();
    std::size_t limit() const { return static_cast<std::size_t>(options.concurrency); }
    void fire();
    void schedule();
    void settle(RequestRunner::Id id);
    void report(ReplayOutcome outcome);
    void reportReady(bool all);
    void finishSoon(bool stopped);

    RequestRunner& runner;
    ReplayOptions options;
    Source source;
    std::unordered_map<RequestRunner::Id, Pending> pending;
    std::map<qint64, ReplayOutcome> ready; // settled, by number, not yet reported
    qint64 nextReported = 1;
    std::size_t awaiting = 0;         // pending requests that have not reached their count
    std::deque<Due> timeouts;         // in send order, so in order of time
    std::deque<Due> graces;           // in the order they began, so in order of time
    std::optional<RunLine> lookahead; // taken from the source, not yet sent
    QTimer timer;
    std::chrono::steady_clock::time_point timerDue; // while the timer runs
    qint64 taken = 0;
    bool running = false;
    bool sourceDone = false;
    bool pumping = false;
    bool finishing = false;
};

} // namespace tessel

Q_DECLARE_METATYPE(tessel::ReplayOutcome)
