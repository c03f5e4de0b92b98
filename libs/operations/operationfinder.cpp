#include "operations/operationfinder.h"

#include "operations/catalogue.h"

#include <array>
#include <unordered_set>

namespace tessel {

namespace {

enum Rank
{
    namePrefix,
    nameWordPrefix,
    nameWordStarts,
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

// Whether `query` splits into parts that each begin a word of `text`, in
// order and without overlap ("gvol" in "get|Volume"; not in "setTimingVolume",
// where the g ends a word). `failed` remembers (query position, text
// position) pairs already tried, so that no pair is tried twice.
bool matchesWordStarts(const QString& query, int from, const QString& text, int at,
                       const std::vector<bool>& starts, std::vector<bool>& failed)
{
    if (from == query.size())
        return true;
    const std::size_t tried = static_cast<std::size_t>(from) * static_cast<std::size_t>(text.size() + 1) +
                              static_cast<std::size_t>(at);
    if (failed[tried])
        return false;
    for (int start = at; start < text.size(); ++start) {
        if (!starts[static_cast<std::size_t>(start)] || text[start] != query[from])
            continue;
        // The longest part first: it leaves the least to place after it.
        int length = 1;
        while (from + length < query.size() && start + length < text.size() &&
               text[start + length] == query[from + length])
            ++length;
        for (; length > 0; --length)
            if (matchesWordStarts(query, from + length, text, start + length, starts, failed))
                return true;
    }
    failed[tried] = true;
    return false;
}

bool matchesWordStarts(const QString& query, const FinderEntry& entry)
{
    std::vector<bool> failed(static_cast<std::size_t>(query.size() + 1) *
                             static_cast<std::size_t>(entry.nameKey.size() + 1));
    return matchesWordStarts(query, 0, entry.nameKey, 0, entry.wordStarts, failed);
}

// Whether `query` stands whole at the start of a word ("rss" in "(RSS)").
bool startsAWord(const QString& query, const FinderEntry& entry)
{
    for (int at = entry.nameKey.indexOf(query); at >= 0; at = entry.nameKey.indexOf(query, at + 1))
        if (entry.wordStarts[static_cast<std::size_t>(at)])
            return true;
    return false;
}

int rankOf(const QString& query, const FinderEntry& entry)
{
    if (entry.nameKey.startsWith(query))
        return namePrefix;
    if (startsAWord(query, entry))
        return nameWordPrefix;
    if (matchesWordStarts(query, entry))
        return nameWordStarts;
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
            entries.push_back(
                {text, label, module, index, text.toLower(), label.toLower(), wordStartsOf(text)});
        }
    }
    return entries;
}

} // namespace

std::vector<bool> wordStartsOf(const QString& name)
{
    std::vector<bool> starts(static_cast<std::size_t>(name.size()), false);
    for (int at = 0; at < name.size(); ++at) {
        const QChar c = name[at];
        if (!c.isLetterOrNumber())
            continue;
        if (at == 0) {
            starts[0] = true;
            continue;
        }
        const QChar before = name[at - 1];
        const bool nextIsSmall = at + 1 < name.size() && name[at + 1].isLower();
        starts[static_cast<std::size_t>(at)] =
            !before.isLetterOrNumber() || (c.isUpper() && (before.isLower() || before.isDigit())) ||
            (c.isUpper() && before.isUpper() && nextIsSmall) || (c.isDigit() && before.isLetter());
    }
    return starts;
}

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
