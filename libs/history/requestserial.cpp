#include "history/requestserial.h"

#include <nlohmann/json.hpp>

namespace tessel {
namespace {

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

bool namesSerial(std::string_view key)
{
    // Only an escaped key needs decoding to tell.
    return key.find('\\') == std::string_view::npos ? key == "\"sn\"" : decodedText(key) == "sn";
}

} // namespace

std::size_t jsonStringEnd(std::string_view text, std::size_t at)
{
    for (++at; at < text.size(); ++at) {
        if (text[at] == '\\')
            ++at;
        else if (text[at] == '"')
            return at + 1;
    }
    return text.size();
}

std::vector<SerialMember> serialMembers(std::string_view text)
{
    std::vector<SerialMember> members;
    std::size_t i = skipBlanks(text, 0);
    if (i >= text.size() || text[i] != '{')
        return members;
    i = skipBlanks(text, i + 1);
    while (i < text.size() && text[i] == '"') {
        const std::size_t keyEnd = jsonStringEnd(text, i);
        const std::string_view key = text.substr(i, keyEnd - i);
        const std::size_t valueBegin = skipBlanks(text, skipBlanks(text, keyEnd) + 1); // past the colon
        const std::size_t end = valueEnd(text, valueBegin);
        if (namesSerial(key)) {
            SerialMember member{valueBegin, end, std::nullopt};
            if (text[valueBegin] == '"')
                member.text = decodedText(text.substr(valueBegin, end - valueBegin));
            members.push_back(std::move(member));
        }
        i = skipBlanks(text, end);
        if (i >= text.size() || text[i] != ',')
            break;
        i = skipBlanks(text, i + 1);
    }
    return members;
}

RequestSerial readRequestSerial(std::string_view text)
{
    RequestSerial serial;
    if (!nlohmann::json::accept(text.begin(), text.end()))
        return serial;
    const std::size_t first = skipBlanks(text, 0);
    serial.object = first < text.size() && text[first] == '{';
    const std::vector<SerialMember> members = serialMembers(text);
    if (!members.empty())
        serial.text = members.back().text;
    return serial;
}

} // namespace tessel
