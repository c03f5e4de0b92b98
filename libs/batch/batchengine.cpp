#include "batch/batchengine.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <chrono>
#include <utility>

namespace tessel {

namespace {

QString newTag()
{
    // Unique without a counter of our own: two windows may start in the same second.
    return QStringLiteral("batch-%1-%2")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")),
             QUuid::createUuid().toString(QUuid::Id128).left(8));
}

} // namespace

BatchEngine::BatchEngine(std::vector<BatchTarget> targets, QObject* parent)
    : QObject(parent), batchTag(newTag()), lifeline(std::make_shared<Lifeline<BatchEngine>>(this))
{
    rows.reserve(targets.size());
    for (BatchTarget& target : targets) {
        BatchRow row;
        row.target = std::move(target);
        rows.push_back(std::move(row));
    }
}

BatchEngine::~BatchEngine()
{
    lifeline->sever();
}

std::function<void(unsigned short, const char*)> BatchEngine::callbackFor(Attempt attempt)
{
    const auto sentAt = std::chrono::steady_clock::now();
    return [line = lifeline, attempt, sentAt](unsigned short code, const char* reply) {
        const QString text = QString::fromUtf8(reply ? reply : "");
        const qint64 ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sentAt)
                .count();
        line->reach([&](BatchEngine& engine) {
            QMetaObject::invokeMethod(
                &engine, [&engine, attempt, code, text, ms] { engine.deliver(attempt, code, text, ms); },
                Qt::QueuedConnection);
        });
    };
}

QString BatchEngine::stateText(BatchState state)
{
    switch (state) {
    case BatchState::Idle:
        return QString();
    case BatchState::Waiting:
        return QCoreApplication::translate("BatchEngine", "等待");
    case BatchState::Sending:
        return QCoreApplication::translate("BatchEngine", "发送中");
    case BatchState::Succeeded:
        return QCoreApplication::translate("BatchEngine", "成功");
    case BatchState::Failed:
        return QCoreApplication::translate("BatchEngine", "失败");
    case BatchState::TimedOut:
        return QCoreApplication::translate("BatchEngine", "超时");
    case BatchState::Skipped:
        return QCoreApplication::translate("BatchEngine", "跳过");
    case BatchState::NotSent:
        return QCoreApplication::translate("BatchEngine", "未发送");
    }
    return QString();
}

QString BatchEngine::settingsFault(int concurrency, int timeoutMs)
{
    if (concurrency < 1 || concurrency > maxConcurrency)
        return QCoreApplication::translate("BatchEngine", "并发数须为 1 到 %1 之间的整数")
            .arg(maxConcurrency);
    if (timeoutMs <= 0)
        return QCoreApplication::translate("BatchEngine", "超时须为大于 0 的秒数");
    return QString();
}

bool BatchEngine::isFinal(BatchState state) const
{
    return state == BatchState::Succeeded || state == BatchState::Failed || state == BatchState::TimedOut ||
           state == BatchState::Skipped;
}

int BatchEngine::failedCount() const
{
    int failed = 0;
    for (const BatchRow& row : rows)
        failed += row.state == BatchState::Failed || row.state == BatchState::TimedOut;
    return failed;
}

int BatchEngine::notSentCount() const
{
    return static_cast<int>(std::count_if(
        rows.begin(), rows.end(), [](const BatchRow& row) { return row.state == BatchState::NotSent; }));
}

QString BatchEngine::endLine() const
{
    const int failed = failedCount();
    const int notSent = notSentCount();
    if (notSent == 0)
        return failed ? tr("已结束，%1 台失败或超时").arg(failed) : tr("已结束");
    return failed ? tr("已结束，%1 台失败或超时，%2 台未发送").arg(failed).arg(notSent)
                  : tr("已结束，%1 台未发送").arg(notSent);
}

void BatchEngine::skip(int index, const QString& note)
{
    BatchRow& row = rows.at(static_cast<std::size_t>(index));
    row.state = BatchState::Skipped;
    row.note = note;
    emit rowChanged(index);
}

QString BatchEngine::run(const std::vector<int>& chosen, int concurrency, int timeoutMs)
{
    if (isRunning)
        return tr("批量任务正在进行");
    if (const QString fault = settingsFault(concurrency, timeoutMs); !fault.isEmpty())
        return fault;
    if (chosen.empty())
        return tr("没有选中的终端");
    if (!start)
        return tr("没有可发送的请求");
    emit runStarting();
    limit = concurrency;
    timeout = timeoutMs;
    runRows.clear();
    doneCount = 0;
    for (int index : chosen) {
        if (index < 0 || index >= rowCount())
            continue;
        runRows.push_back(index);
        BatchRow& row = rows[static_cast<std::size_t>(index)];
        if (row.state == BatchState::Skipped) {
            ++doneCount; // counted as done, never sent
            continue;
        }
        row.state = BatchState::Waiting;
        row.note.clear();
        row.answered = false;
        row.last = BatchResult();
        row.request = requestText;
        emit rowChanged(index);
    }
    nextToStart = 0;
    isRunning = true;
    stopRequested = false;
    emit progress(doneCount, total());
    pump();
    return QString();
}

QString BatchEngine::retryFailed(int concurrency, int timeoutMs)
{
    if (const QString refusal = retryRefusal(); !refusal.isEmpty())
        return refusal;
    return run(retryRows(), concurrency, timeoutMs);
}

QString BatchEngine::retryRefusal() const
{
    if (isRunning)
        return tr("批量任务正在进行");
    if (retryRows().empty())
        return tr("没有失败的终端");
    return QString();
}

std::vector<int> BatchEngine::retryRows() const
{
    std::vector<int> again;
    for (int index = 0; index < rowCount(); ++index) {
        const BatchState state = rows[static_cast<std::size_t>(index)].state;
        if (state == BatchState::Failed || state == BatchState::TimedOut || state == BatchState::NotSent)
            again.push_back(index);
    }
    return again;
}

void BatchEngine::stop()
{
    if (!isRunning)
        return;
    stopRequested = true;
    // The rest of the run will never be sent; "等待" would say otherwise.
    for (std::size_t next = nextToStart; next < runRows.size(); ++next) {
        BatchRow& row = rows[static_cast<std::size_t>(runRows[next])];
        if (row.state == BatchState::Waiting) {
            row.state = BatchState::NotSent;
            emit rowChanged(runRows[next]);
        }
    }
    finishIfDone();
}

void BatchEngine::pump()
{
    while (!stopRequested && static_cast<int>(flying.size()) < limit && nextToStart < runRows.size()) {
        const int index = runRows[nextToStart++];
        BatchRow& row = rows[static_cast<std::size_t>(index)];
        if (row.state != BatchState::Waiting)
            continue;
        const Attempt attempt = nextAttempt++;
        row.attempt = attempt;
        row.state = BatchState::Sending;
        attemptRow[attempt] = index;
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this, attempt] { timedOut(attempt); });
        flying[attempt] = Flight{index, timer};
        timer->start(timeout);
        emit rowChanged(index);
        // The starter may refuse; it never answers synchronously through deliver.
        const QString refusal = start(index, attempt);
        if (!refusal.isEmpty()) {
            land(attempt);
            row.note = refusal;
            settle(index, BatchState::Failed);
        }
    }
    finishIfDone();
}

void BatchEngine::land(Attempt attempt)
{
    const auto found = flying.find(attempt);
    if (found == flying.end())
        return;
    delete found->second.timer;
    flying.erase(found);
}

void BatchEngine::settle(int index, BatchState state)
{
    BatchRow& row = rows[static_cast<std::size_t>(index)];
    const bool wasFinal = isFinal(row.state);
    row.state = state;
    if (!wasFinal && isRunning)
        ++doneCount;
    emit rowChanged(index);
    emit progress(doneCount, total());
}

void BatchEngine::timedOut(Attempt attempt)
{
    const auto found = flying.find(attempt);
    if (found == flying.end())
        return;
    const int index = found->second.row;
    found->second.timer->deleteLater(); // we are inside its timeout signal
    flying.erase(found);
    settle(index, BatchState::TimedOut);
    pump();
}

void BatchEngine::deliver(Attempt attempt, int code, const QString& reply, qint64 ms)
{
    const auto owner = attemptRow.find(attempt);
    if (owner == attemptRow.end())
        return; // not one of this batch's sends
    const int index = owner->second;
    BatchRow& row = rows[static_cast<std::size_t>(index)];
    const BatchResult result{code, reply, ms};
    row.results.push_back(result);
    if (row.attempt != attempt) {
        // An earlier send of a retried row: kept, but the row shows its latest send.
        emit rowChanged(index);
        return;
    }
    const bool first = flying.count(attempt) != 0;
    land(attempt);
    row.answered = true;
    row.last = result;
    row.note.clear();
    BatchState state = code == 0 ? BatchState::Succeeded : BatchState::Failed;
    if (judgeResult)
        state = judgeResult(result, row.note);
    settle(index, state);
    if (first)
        pump();
}

void BatchEngine::finishIfDone()
{
    if (!isRunning || !flying.empty())
        return;
    if (!stopRequested && nextToStart < runRows.size())
        return;
    isRunning = false;
    emit progress(doneCount, total());
    emit finished();
}

} // namespace tessel
