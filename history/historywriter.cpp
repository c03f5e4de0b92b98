#include "history/historywriter.h"

#include <chrono>
#include <utility>

namespace tessel {
namespace {
// Results are gathered this long before a commit: a flood then costs one
// transaction per interval, and a killed copy loses at most this much.
constexpr std::chrono::milliseconds gatherTime(250);
constexpr std::size_t largeBatch = 20000;
// A database another copy keeps busy is tried again, this long apart.
constexpr std::chrono::milliseconds busyRetry(200);
constexpr int busyAttemptsAtExit = 3;
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
    bool large = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        addedCount += writes.size();
        if (queue.empty())
            queue = std::move(writes);
        else
            queue.insert(queue.end(), std::make_move_iterator(writes.begin()),
                         std::make_move_iterator(writes.end()));
        large = queue.size() >= largeBatch;
    }
    if (large)
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
    HistoryStore store(path, limits);
    HistoryLoad load = store.open();
    bool writable = load.writable;
    loaded(std::move(load));

    std::vector<HistoryWrite> batch; // taken, not yet committed
    int busyAtExit = 0;
    for (;;) {
        bool last = false;
        {
            std::unique_lock<std::mutex> lock(mutex);
            // Wait for work, then let more gather unless asked to hurry.
            wake.wait(lock, [&] { return stopping || syncWanted || !queue.empty() || !batch.empty(); });
            wake.wait_for(lock, batch.empty() ? gatherTime : busyRetry,
                          [&] { return stopping || syncWanted || queue.size() >= largeBatch; });
            syncWanted = false;
            if (batch.empty())
                batch.swap(queue);
            else
                batch.insert(batch.end(), std::make_move_iterator(queue.begin()),
                             std::make_move_iterator(queue.end()));
            queue.clear();
            last = stopping;
        }
        const std::size_t taken = batch.size();
        bool keep = false;
        if (writable && taken > 0) {
            QString error;
            switch (store.write(batch, &error)) {
            case HistoryStore::Outcome::Written:
                break;
            case HistoryStore::Outcome::Busy:
                keep = !last || ++busyAtExit < busyAttemptsAtExit;
                if (!keep)
                    failed(QStringLiteral("历史数据库一直被占用（%1），本次最后的记录未能保存").arg(error));
                break;
            case HistoryStore::Outcome::Failed:
                writable = false;
                failed(QStringLiteral("历史无法保存（%1），本次的历史只保留在内存中").arg(error));
                break;
            }
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!keep) {
                settledCount += taken;
                batch.clear();
            }
            if (stopping && queue.empty() && batch.empty())
                last = true;
            else
                last = false;
        }
        settled.notify_all();
        if (last)
            return;
    }
}

} // namespace tessel
