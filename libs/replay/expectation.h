#pragma once

// What a checklist line expects of its reply, and the values it captures.

#include "replay/replycompare.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessel {

// What differs between `expect` (JSON: an object or a list) with its code and
// the first of `results`; empty when the expectation holds. The reply must
// contain the expectation: every member an object names is present and its
// value contains the expected one (members it does not name are ignored); a
// list's items contain the expected ones by position (the reply's list may
// be longer); any other value is equal as the replay compares replies
// (numbers as numbers, strings exactly). The differences read as the
// replay's: `recorded` is the expected value, `current` the reply's (or
// absentValue); "code" for a code that differs, "results" when nothing came,
// "$" when the reply is not JSON. Members the ignore rule names are left out.
std::vector<Difference> expectationDifferences(std::string_view expect, int expectCode,
                                               const std::vector<ResultRecord>& results,
                                               const IgnoreRule& ignore);

// A dotted path: names separated by '.', none empty; a name of digits alone
// steps into a list ("programs.0.name").
bool isDottedPath(std::string_view path);

// The value at `path` in the JSON `reply`: a string as its text, any other
// value as its compact JSON; nothing when the reply is not JSON or lacks it.
std::optional<std::string> valueAtPath(std::string_view reply, std::string_view path);

} // namespace tessel
