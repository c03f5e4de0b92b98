#pragma once

#include "mailbox/lifeline.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class QTimer;

namespace tessel {

// One terminal a batch may address.
struct BatchTarget
{
    QString name;
    QString serial;
    QString ip;
};

// One answer to one send; a send may be answered several times.
struct BatchResult
{
    int code = 0;
    QString reply;
    qint64 ms = 0;
};

enum class BatchState
{
    Idle,      // not part of the run
    Waiting,   // 等待
    Sending,   // 发送中
    Succeeded, // 成功
    Failed,    // 失败
    TimedOut,  // 超时
    Skipped,   // nothing to do, not a failure (a terminal a host has logged in to)
    NotSent,   // 未发送: its run was stopped before its turn
};

struct BatchRow
{
    BatchTarget target;
    BatchState state = BatchState::Idle;
    QString note; // shown instead of the state's own text when set
    bool answered = false;
    BatchResult last;                 // on show in the row
    std::vector<BatchResult> results; // every answer to the row's sends, in arrival order
    std::uint64_t attempt = 0;        // the row's latest send
    QString request;                  // the request of the row's latest run
};

// Sends one request per terminal with at most `concurrency` sends waiting for
// their first answer, and a timeout per terminal after which its slot goes to
// the next one. Widget-free and single-threaded: `deliver` runs on the
// engine's thread (the caller posts the SDK's answers there). A timed-out
// send may still answer; its result then replaces 超时.
class BatchEngine : public QObject
{
    Q_OBJECT

public:
    using Attempt = std::uint64_t;
    // Starts one send to `row`'s terminal; every answer must come back as
    // deliver(attempt, ...). A non-empty return says why nothing was sent.
    using Starter = std::function<QString(int row, Attempt attempt)>;
    // Whether an answer counts as success; by default code 0 does. May set a note.
    using Judge = std::function<BatchState(const BatchResult& result, QString& note)>;

    static constexpr int defaultConcurrency = 8;
    static constexpr int maxConcurrency = 64;
    static constexpr int defaultTimeoutMs = 10000;

    explicit BatchEngine(std::vector<BatchTarget> targets, QObject* parent = nullptr);
    ~BatchEngine() override;

    void setStarter(Starter starter) { start = std::move(starter); }
    void setJudge(Judge judge) { judgeResult = std::move(judge); }
    // The tag the batch's sends carry into the history.
    const QString& tag() const { return batchTag; }
    // What the batch sends, for the exports: the operation's name, and the
    // request that the rows of the next run are given.
    void setOperation(const QString& name) { operationName = name; }
    const QString& operation() const { return operationName; }
    void setRequest(const QString& text) { requestText = text; }

    // Runs the rows given; rows not given stay as they are. Refused (with a
    // message) while a run is going or with settings out of range.
    QString run(const std::vector<int>& rows, int concurrency, int timeoutMs);
    // The failed, timed-out and unsent rows, again.
    QString retryFailed(int concurrency, int timeoutMs);
    std::vector<int> retryRows() const;
    // Why retryFailed() would send nothing, settings aside, or nothing.
    QString retryRefusal() const;
    // Starts no more sends; those under way finish and are shown, the rows
    // not yet sent show 未发送.
    void stop();
    // Marks a row as needing nothing before a run (it is then not sent).
    void skip(int row, const QString& note);

    void deliver(Attempt attempt, int code, const QString& reply, qint64 ms);
    // An SDK result callback for `attempt`, callable on any thread, as often
    // as the SDK answers: each answer reaches deliver() in one posted call,
    // or nowhere once the engine is gone.
    std::function<void(unsigned short code, const char* reply)> callbackFor(Attempt attempt);

    bool running() const { return isRunning; }
    bool stopped() const { return stopRequested; }
    int rowCount() const { return static_cast<int>(rows.size()); }
    const BatchRow& row(int index) const { return rows.at(static_cast<std::size_t>(index)); }
    int inFlight() const { return static_cast<int>(flying.size()); }
    int done() const { return doneCount; }
    int total() const { return static_cast<int>(runRows.size()); }
    int failedCount() const;
    int notSentCount() const;
    // The line that sums up the batch once no run is going.
    QString endLine() const;

    static QString stateText(BatchState state);
    static QString settingsFault(int concurrency, int timeoutMs);

signals:
    // A run was accepted; its first send starts right after.
    void runStarting();
    void rowChanged(int row);
    void progress(int done, int total);
    void finished();

private:
    struct Flight
    {
        int row = 0;
        QTimer* timer = nullptr;
    };

    void pump();
    void land(Attempt attempt);
    void timedOut(Attempt attempt);
    void settle(int row, BatchState state);
    bool isFinal(BatchState state) const;
    void finishIfDone();

    std::vector<BatchRow> rows;
    std::vector<int> runRows; // the rows of the current run, in sending order
    std::size_t nextToStart = 0;
    std::unordered_map<Attempt, Flight> flying;  // waiting for their first answer
    std::unordered_map<Attempt, int> attemptRow; // every send of this batch, for late answers
    Starter start;
    Judge judgeResult;
    QString batchTag;
    QString operationName;
    QString requestText;
    Attempt nextAttempt = 1;
    int limit = defaultConcurrency;
    int timeout = defaultTimeoutMs;
    int doneCount = 0;
    bool isRunning = false;
    bool stopRequested = false;
    std::shared_ptr<Lifeline<BatchEngine>> lifeline;
};

} // namespace tessel
