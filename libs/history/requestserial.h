#pragma once

// The one reader of a request's top-level "sn" member: the history files it
// with each send, the runner names it in a result's line, a batch needs it
// to aim at each terminal and the console rewrites it where it is written.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessel {

// Token helpers for scanning a text already known to be JSON.
inline bool isJsonBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
// `at` is at an opening quote; the position after the closing one (escapes
// skipped), or the text's size when there is none.
std::size_t jsonStringEnd(std::string_view text, std::size_t at);

// A top-level "sn" member: where its value is written, and the value itself
// when it is a text.
struct SerialMember
{
    std::size_t begin = 0;
    std::size_t end = 0;
    std::optional<std::string> text;
};

// Every top-level "sn" member of `text`, in order, none unless `text` is an
// object. `text` must be one valid JSON value: the caller checks it first.
std::vector<SerialMember> serialMembers(std::string_view text);

// What a request holds at its top-level "sn". As with the parsed document,
// the last "sn" member counts; a text that is not valid JSON is no object.
struct RequestSerial
{
    bool object = false;
    std::optional<std::string> text;
};
RequestSerial readRequestSerial(std::string_view text);

} // namespace tessel
