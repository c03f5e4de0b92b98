#pragma once

// When a replayed result counts as the same as the recorded one: equal code,
// and replies equal as JSON (member order ignored, numbers compared as
// numbers, strings exactly) but for the members the ignore list names.
// Replies that are not JSON are compared as text.

#include <QtGlobal>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessel {

// The comparison recurses; replies nested deeper are compared as text, and
// run lines nested deeper are refused.
constexpr int maxNesting = 256;

// The offset of the first '{' or '[' beyond `limit` levels of nesting
// (strings skipped), or npos when there is none. A scan, not a parse.
std::size_t nestedBeyond(std::string_view text, int limit = maxNesting);

// Members left out of the comparison. A bare name ("time") matches a member
// of that name at any depth; a dotted path ("status.time") matches exactly
// that member, counted from the reply's top level. Array elements do not
// count as a step: "list.name" matches the "name" of every element of "list".
class IgnoreRule
{
public:
    IgnoreRule() = default;
    explicit IgnoreRule(const std::vector<std::string>& entries) { add(entries); }

    void add(const std::string& entry);
    void add(const std::vector<std::string>& entries);
    bool empty() const { return names.empty() && paths.empty(); }
    // `memberPath`: the member names from the top level down to the member.
    bool ignores(const std::vector<std::string>& memberPath) const;

private:
    std::vector<std::string> names;
    std::vector<std::string> paths;
};

// Splits "a,b, c" into its entries; blanks around them go, empty ones too.
std::vector<std::string> splitIgnoreList(std::string_view text);

// One member that differs. `path` is "volumeInfo.ratio", "list[2].name",
// "$" for the reply as a whole, "code" for the result code, or "results" for
// the number of results; with several results it starts "#2 " for the second.
// A value is its compact JSON (the text itself for replies that are not
// JSON), or "(无)" where the member is absent.
struct Difference
{
    std::string path;
    std::string recorded;
    std::string current;
};

// Shown in place of a member that one side lacks.
extern const char* const absentValue;

// A differing value as a difference shows it: past 1000 bytes cut at a whole
// UTF-8 character, with "…".
std::string shownValue(std::string text);

std::vector<Difference> replyDifferences(std::string_view recorded, std::string_view current,
                                         const IgnoreRule& ignore);

struct ResultRecord
{
    int code = 0;
    std::string reply;
    qint64 ms = 0;
};

// A reply over the history's limit is recorded cut, ending with the
// history's mark; the length of the part it kept, or npos when it is whole.
std::size_t keptPartOf(std::string_view reply);
bool anyReplyCut(const std::vector<ResultRecord>& results);
// Said of an outcome where a recorded reply was cut.
extern const char* const replyCutNote;

// All differences between the recorded results and the new ones; empty when
// they are the same. With nothing recorded, the first new result must have
// code 0 and the rest do not count. A recorded reply that was cut is compared
// on the part it kept: a new reply that starts with it is the same, and as
// JSON, what the cut left out is no difference.
std::vector<Difference> resultDifferences(const std::vector<ResultRecord>& recorded,
                                          const std::vector<ResultRecord>& current, const IgnoreRule& ignore);

} // namespace tessel
