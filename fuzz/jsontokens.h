#pragma once

// The tokens of a text already accepted as JSON, spelled exactly as written:
// strings with their quotes and escapes, numbers, literals and the six marks.
// Blanks between tokens are left out. Written apart from the program's own
// scanning so that the fuzz checks do not share its mistakes.

#include <cstddef>
#include <string_view>
#include <vector>

namespace fuzzsupport {

inline bool isJsonSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

inline bool isJsonMark(char c)
{
    return c == '{' || c == '}' || c == '[' || c == ']' || c == ':' || c == ',';
}

inline std::vector<std::string_view> rawTokens(std::string_view text)
{
    std::vector<std::string_view> tokens;
    std::size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (isJsonSpace(c)) {
            ++at;
            continue;
        }
        std::size_t end = at + 1;
        if (c == '"') {
            while (end < text.size() && text[end] != '"')
                end += text[end] == '\\' ? 2 : 1;
            end = end < text.size() ? end + 1 : text.size();
        } else if (!isJsonMark(c)) {
            while (end < text.size() && !isJsonSpace(text[end]) && !isJsonMark(text[end]) && text[end] != '"')
                ++end;
        }
        tokens.push_back(text.substr(at, end - at));
        at = end;
    }
    return tokens;
}

} // namespace fuzzsupport
