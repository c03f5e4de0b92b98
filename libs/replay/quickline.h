#pragma once

#include "replay/runfile.h"

#include <string>
#include <string_view>
#include <vector>

namespace tessel {

// The members a run line may hold, and those of one of its results: the one
// list that the quick and the full reading go by.
enum class RunMember : unsigned
{
    Operation,
    Request,
    Results,
    Ignore,
    Time,
    Sn,
    Batch,
    Expect, // a checklist's: "expect", "expectCode", "capture", "until"
    ExpectCode,
    Capture,
    Until,
    Code,
    Reply,
    Ms,
    None
};
RunMember lineMember(std::string_view name);
RunMember resultMember(std::string_view name);

// Reads the usual run line (texts for the request and the replies, whole
// numbers, no member twice, no \u escape, no checklist member) in one pass over its bytes, without
// building a document: lines are read twice per run, and this is most of the
// time spent on them. Anything else, a fault included, is left to the full
// reading, which has the final word and words the fault.
class QuickLine
{
public:
    explicit QuickLine(std::string_view text) : at(text.data()), end(text.data() + text.size()) {}

    // False when the line is not of the usual kind; `line` is then partly filled.
    bool read(RunLine& line);

private:
    void skipBlank();
    bool take(char c);
    template <typename Value>
    bool object(RunMember (*which)(std::string_view), unsigned& seen, Value&& value);
    bool utf8(std::string& out);
    bool text(std::string& out);
    bool texts(std::vector<std::string>& out);
    bool whole(qint64& value);
    bool results(std::vector<ResultRecord>& out);

    const char* at;
    const char* end;
};

} // namespace tessel
