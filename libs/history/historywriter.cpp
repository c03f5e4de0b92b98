#include "history/historywriter.h"

#include <QtDebug>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <utility>

namespace tessel {
namespace {
// Results are gathered this long before a commit: a flood then costs one
// transaction per interval, and a killed copy loses at most this much.
constexpr std::chrono::milliseconds gatherTime(250);
constexpr std::size_t largeBatch = 20000;

// Requests and results among the writes.
std::pair<std::size_t, std::size_t> countOf(const std::vector<HistoryWrite>& writes)
{
    const auto sends =
        static_cast<std::size_t>(std::count_if(writes.begin(), writes.end(), [](const HistoryWrite& one) {
            return one.kind == HistoryWrite::Kind::Send;
        }));
    return {sends, writes.size() - sends};
}
} // namespace

HistoryWriter::HistoryWriter(QString path, HistoryLimits limits, Loaded loaded, Failed failed)
    : loaded(std::move(loaded)), failed(std::move(failed))
{
    thread = std::thread([this, path = std::move(path), limits] { run(path, limits); });
}

HistoryWriter::~HistoryWriter()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    thread.join();
}

void HistoryWriter::add(std::vector<HistoryWrite> writes)
{
    if (writes.empty())
        return;
    bool wanted = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        // The first write of a batch starts the writer's gathering time; it
        // is woken again only when a batch is large enough to go at once.
        wanted = queued == 0;
        addedCount += writes.size();
        queued += writes.size();
        queue.push_back(std::move(writes));
        wanted = wanted || queued >= largeBatch;
    }
    if (wanted)
        wake.notify_all();
}

void HistoryWriter::sync()
{
    std::unique_lock<std::mutex> lock(mutex);
    const quint64 target = addedCount;
    syncWanted = true;
    wake.notify_all();
    settled.wait(lock, [&] { return settledCount >= target; });
}

void HistoryWriter::run(const QString& path, HistoryLimits limits)
{
    using Clock = std::chrono::steady_clock;
    HistoryStore store(path, limits);
    bool opened = false;
    bool writable = false;
    QString busyError; // said once while another copy keeps the database locked
    bool busySaid = false;
    auto open = [&] {
        HistoryLoad load = store.open();
        if (load.busy) {
            busyError = load.message;
            return;
        }
        opened = true;
        writable = load.writable;
        loaded(std::move(load));
    };
    open();
    const std::chrono::milliseconds retry(limits.retryMs);
    std::optional<Clock::time_point> deadline; // at exit, when the last writes are given up

    std::vector<HistoryWrite> batch; // taken, not yet committed
    std::vector<std::vector<HistoryWrite>> taken;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            // Wait for work, then let more gather unless asked to hurry; a
            // locked database is tried again a moment later.
            const bool waiting = !opened || !batch.empty();
            wake.wait(lock, [&] { return stopping || syncWanted || queued > 0 || waiting; });
            wake.wait_for(lock, waiting ? retry : gatherTime,
                          [&] { return stopping || syncWanted || queued >= largeBatch; });
            syncWanted = false;
            taken.swap(queue);
            queued = 0;
            if (stopping && !deadline)
                deadline = Clock::now() + std::chrono::milliseconds(limits.exitWaitMs);
        }
        for (std::vector<HistoryWrite>& part : taken)
            batch.insert(batch.end(), std::make_move_iterator(part.begin()),
                         std::make_move_iterator(part.end()));
        taken.clear();
        if (deadline) {
            // At exit each attempt waits only for what is left of the time.
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now());
            store.setBusyTimeout(int(std::clamp<qint64>(left.count(), 0, limits.busyTimeoutMs)));
        }
        if (!opened)
            open();
        bool keep = !opened;
        if (opened && writable && !batch.empty()) {
            QString error;
            switch (store.write(batch, &error)) {
            case HistoryStore::Outcome::Written:
                break;
            case HistoryStore::Outcome::Busy:
                keep = true;
                busyError = error;
                break;
            case HistoryStore::Outcome::Failed:
                writable = false;
                failed(QStringLiteral("历史无法保存（%1），本次的历史只保留在内存中").arg(error));
                break;
            }
        }
        if (keep && !busyError.isEmpty() && !busySaid) {
            busySaid = true;
            failed(
                QStringLiteral("历史数据库正被占用（%1），本次的记录暂留在内存中，稍后再试").arg(busyError));
        } else if (!keep && busySaid) {
            busySaid = false;
            failed(QString()); // the line no longer holds
        }
        if (keep && deadline && Clock::now() >= *deadline) {
            // The window is gone: the line goes to the debug output and the terminal.
            const auto [sends, results] = countOf(batch);
            const QString line = QStringLiteral("历史数据库一直被占用（%1），%2 条请求和 %3 条结果未能保存")
                                     .arg(busyError)
                                     .arg(sends)
                                     .arg(results);
            qWarning().noquote() << line;
            std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
            std::fflush(stderr);
            keep = false;
        }
        bool last = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!keep) {
                settledCount += batch.size();
                batch.clear();
            }
            last = stopping && queued == 0 && batch.empty();
        }
        settled.notify_all();
        if (last)
            return;
    }
}

} // namespace tessel
