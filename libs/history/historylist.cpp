#include "history/historylist.h"

#include <iterator>
#include <utility>

namespace tessel {

void HistoryList::add(HistoryEntry entry)
{
    indexOfId.insert(entry.id, endIndex());
    entries.push_back(std::move(entry));
    trim();
}

qint64 HistoryList::addResult(const QString& id, HistoryResult result)
{
    const auto found = indexOfId.constFind(id);
    if (found == indexOfId.constEnd())
        return -1;
    entries[static_cast<std::size_t>(*found - first)].results.push_back(std::move(result));
    return *found;
}

void HistoryList::prependOlder(HistoryEntries older)
{
    older.insert(older.end(), std::make_move_iterator(entries.begin()),
                 std::make_move_iterator(entries.end()));
    entries = std::move(older);
    first = 0;
    while (entries.size() > static_cast<std::size_t>(cap))
        entries.pop_front();
    reindex();
}

HistoryEntries HistoryList::takeAll()
{
    HistoryEntries taken = std::move(entries);
    entries.clear();
    indexOfId.clear();
    first = 0;
    return taken;
}

void HistoryList::trim()
{
    while (entries.size() > static_cast<std::size_t>(cap)) {
        indexOfId.remove(entries.front().id);
        entries.pop_front();
        ++first;
    }
}

void HistoryList::reindex()
{
    indexOfId.clear();
    indexOfId.reserve(static_cast<int>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i)
        indexOfId.insert(entries[i].id, first + static_cast<qint64>(i));
}

} // namespace tessel
