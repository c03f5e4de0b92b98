#pragma once

// The requests of the history in memory, oldest first, at most `cap` of them.
// Every entry has an absolute index that stays the same while it is kept:
// dropping the oldest moves firstIndex() on, adding moves endIndex() on.

#include "history/historyfile.h"

#include <QHash>
#include <QString>

namespace tessel {

class HistoryList
{
public:
    explicit HistoryList(int cap) : cap(cap > 0 ? cap : 1) {}

    qint64 firstIndex() const { return first; }
    qint64 endIndex() const { return first + static_cast<qint64>(entries.size()); }
    bool holds(qint64 absolute) const { return absolute >= firstIndex() && absolute < endIndex(); }
    const HistoryEntry& at(qint64 absolute) const
    {
        return entries[static_cast<std::size_t>(absolute - first)];
    }
    const HistoryEntries& all() const { return entries; }
    int capacity() const { return cap; }
    // The absolute index of the request with this id, or -1.
    qint64 indexOf(const QString& id) const { return indexOfId.value(id, -1); }

    // Adds the newest request, dropping the oldest beyond the cap.
    void add(HistoryEntry entry);
    // The absolute index of the request the result went to, or -1 when that
    // request is unknown or no longer kept.
    qint64 addResult(const QString& id, HistoryResult result);
    // Puts requests from before this session in front of the ones added so
    // far and renumbers from 0.
    void prependOlder(HistoryEntries older);
    HistoryEntries takeAll();

private:
    void trim();
    void reindex();

    int cap;
    qint64 first = 0;
    HistoryEntries entries;
    QHash<QString, qint64> indexOfId;
};

} // namespace tessel
