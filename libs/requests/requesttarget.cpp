#include "requests/requesttarget.h"

#include "requests/jsontext.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <functional>
#include <vector>

namespace tessel::requesttarget {
namespace {

// The scan below runs only over texts that the request check accepts as JSON, so
// it only needs to find where tokens end, not to check them.

std::size_t skipBlanks(std::string_view text, std::size_t i)
{
    while (i < text.size() && isJsonBlank(text[i]))
        ++i;
    return i;
}

// `i` is at the first character of a value; returns the position after it.
// Nesting is counted, not recursed, so deep values cost no stack.
std::size_t valueEnd(std::string_view text, std::size_t i)
{
    if (text[i] == '"')
        return jsonStringEnd(text, i);
    if (text[i] != '{' && text[i] != '[') {
        while (i < text.size() && !isJsonBlank(text[i]) && text[i] != ',' && text[i] != '}' && text[i] != ']')
            ++i;
        return i;
    }
    std::size_t depth = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"') {
            i = jsonStringEnd(text, i);
            continue;
        }
        if (c == '{' || c == '[')
            ++depth;
        else if ((c == '}' || c == ']') && --depth == 0)
            return i + 1;
        ++i;
    }
    return text.size();
}

std::string decodedText(std::string_view token)
{
    return nlohmann::json::parse(token).get<std::string>();
}

struct Span
{
    std::size_t begin, end;
};

// Where the values of the top-level "sn" members that are texts lie, in order.
std::vector<Span> textSerials(std::string_view text)
{
    std::vector<Span> spans;
    if (findJsonFault(text)) // the console's check: a NUL character is part of the text
        return spans;
    std::size_t i = skipBlanks(text, 0);
    if (i >= text.size() || text[i] != '{')
        return spans;
    i = skipBlanks(text, i + 1);
    while (i < text.size() && text[i] == '"') {
        const std::size_t keyEnd = jsonStringEnd(text, i);
        const std::string_view key = text.substr(i, keyEnd - i);
        const std::size_t valueBegin = skipBlanks(text, skipBlanks(text, keyEnd) + 1); // past the colon
        const std::size_t end = valueEnd(text, valueBegin);
        if (text[valueBegin] == '"' && decodedText(key) == "sn")
            spans.push_back(Span{valueBegin, end});
        i = skipBlanks(text, end);
        if (i >= text.size() || text[i] != ',')
            break;
        i = skipBlanks(text, i + 1);
    }
    return spans;
}

std::string replaced(std::string_view request, const std::string& sn,
                     const std::function<bool(const std::string&)>& wanted)
{
    // The new value is written as JSON would write it, escapes and all.
    const std::string value =
        nlohmann::json(sn).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::string result;
    std::size_t copied = 0;
    for (const Span& span : textSerials(request)) {
        if (!wanted(decodedText(request.substr(span.begin, span.end - span.begin))))
            continue;
        result.append(request.substr(copied, span.begin - copied));
        result.append(value);
        copied = span.end;
    }
    result.append(request.substr(copied));
    return result;
}

} // namespace

std::string withSerial(std::string_view request, const std::string& sn)
{
    return replaced(request, sn, [](const std::string&) { return true; });
}

std::string retargeted(std::string_view request, const std::string& previous, const std::string& next)
{
    return replaced(request, next, [&previous](const std::string& value) { return value == previous; });
}

} // namespace tessel::requesttarget
