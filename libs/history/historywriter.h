#pragma once

#include "history/historystore.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tessel {

// The history database's own thread: it opens and reads the database, then
// writes what it is given in batches, one transaction each, at least once a
// second. While another copy keeps the database locked it keeps what it was
// given and tries again; at exit it waits a bounded time for the lock, then
// says how much it could not save. Nothing of it runs on the GUI thread, where SQL could stall the
// window; the callbacks run on the writer's thread.
class HistoryWriter
{
public:
    using Loaded = std::function<void(HistoryLoad)>;
    using Failed = std::function<void(const QString& message)>; // empty: the last one no longer holds

    HistoryWriter(QString path, HistoryLimits limits, Loaded loaded, Failed failed);
    // Writes what is still waiting, then ends the thread.
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    void add(std::vector<HistoryWrite> writes);
    // Returns once everything added so far is committed (or given up on).
    void sync();

private:
    void run(const QString& path, HistoryLimits limits);

    Loaded loaded;
    Failed failed;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable settled;
    // Each add() hands over its own vector: the GUI thread never grows or
    // copies a large one, which cost it page faults in a flood.
    std::vector<std::vector<HistoryWrite>> queue;
    std::size_t queued = 0;   // writes in the queue
    quint64 addedCount = 0;   // writes handed over so far
    quint64 settledCount = 0; // of them committed or given up on
    bool syncWanted = false;
    bool stopping = false;
    std::thread thread;
};

} // namespace tessel
