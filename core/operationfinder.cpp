#include "core/operationfinder.h"

#include "core/catalogue.h"

#include <array>
#include <unordered_set>

namespace tessel {

namespace {

enum Rank
{
    namePrefix,
    nameSubstring,
    nameSubsequence,
    labelPrefix,
    labelSubstring,
    rankCount
};

bool isSubsequence(const QString& query, const QString& text)
{
    int at = 0;
    for (const QChar c : query) {
        at = text.indexOf(c, at);
        if (at < 0)
            return false;
        ++at;
    }
    return true;
}

int rankOf(const QString& query, const FinderEntry& entry)
{
    if (entry.nameKey.startsWith(query))
        return namePrefix;
    if (entry.nameKey.contains(query))
        return nameSubstring;
    if (isSubsequence(query, entry.nameKey))
        return nameSubsequence;
    if (entry.labelKey.startsWith(query))
        return labelPrefix;
    if (entry.labelKey.contains(query))
        return labelSubstring;
    return rankCount;
}

std::vector<FinderEntry> buildEntries()
{
    std::vector<FinderEntry> entries;
    std::unordered_set<std::string> seen;
    const std::vector<ApiModule>& modules = apiModules();
    for (int module = 1; module < static_cast<int>(modules.size()); ++module) {
        const ApiModule& source = modules[static_cast<std::size_t>(module)];
        for (int index = 0; index < static_cast<int>(source.names.size()); ++index) {
            const char* name = source.names[static_cast<std::size_t>(index)];
            if (!seen.insert(name).second)
                continue;
            const QString text = QString::fromUtf8(name);
            const QString label = QString::fromUtf8(source.label);
            entries.push_back({text, label, module, index, text.toLower(), label.toLower()});
        }
    }
    return entries;
}

} // namespace

const std::vector<FinderEntry>& finderEntries()
{
    static const std::vector<FinderEntry> entries = buildEntries();
    return entries;
}

std::vector<int> rankOperations(const QString& query)
{
    const std::vector<FinderEntry>& entries = finderEntries();
    const QString key = query.trimmed().toLower();
    std::vector<int> ranked;
    ranked.reserve(entries.size());
    if (key.isEmpty()) {
        for (int index = 0; index < static_cast<int>(entries.size()); ++index)
            ranked.push_back(index);
        return ranked;
    }
    // One pass sorts into buckets, which keeps catalogue order within a rank.
    std::array<std::vector<int>, rankCount> buckets;
    for (int index = 0; index < static_cast<int>(entries.size()); ++index) {
        const int rank = rankOf(key, entries[static_cast<std::size_t>(index)]);
        if (rank < rankCount)
            buckets[static_cast<std::size_t>(rank)].push_back(index);
    }
    for (const std::vector<int>& bucket : buckets)
        ranked.insert(ranked.end(), bucket.begin(), bucket.end());
    return ranked;
}

} // namespace tessel
