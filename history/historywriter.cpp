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
        queued += writes.size();
        queue.push_back(std::move(writes));
        large = queued >= largeBatch;
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
    std::vector<std::vector<HistoryWrite>> taken;
    int busyAtExit = 0;
    for (;;) {
        bool last = false;
        {
            std::unique_lock<std::mutex> lock(mutex);
            // Wait for work, then let more gather unless asked to hurry.
            wake.wait(lock, [&] { return stopping || syncWanted || queued > 0 || !batch.empty(); });
            wake.wait_for(lock, batch.empty() ? gatherTime : busyRetry,
                          [&] { return stopping || syncWanted || queued >= largeBatch; });
            syncWanted = false;
            taken.swap(queue);
            queued = 0;
            last = stopping;
        }
        for (std::vector<HistoryWrite>& part : taken)
            batch.insert(batch.end(), std::make_move_iterator(part.begin()),
                         std::make_move_iterator(part.end()));
        taken.clear();
        const std::size_t count = batch.size();
        bool keep = false;
        if (writable && count > 0) {
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
                settledCount += count;
                batch.clear();
            }
            if (stopping && queued == 0 && batch.empty())
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
