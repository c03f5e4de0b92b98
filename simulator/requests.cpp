#include "simulator/requests.h"

#include <algorithm>

namespace tesselsim::detail {

void refuse(unsigned short code, std::string text)
{
    throw Refusal{code, std::move(text)};
}

std::string compact(const Json& value)
{
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

namespace {

constexpr char replacementCharacter[] = "\xEF\xBF\xBD"; // U+FFFD

// Length of the well-formed UTF-8 character at `at`; 0 when there is none.
std::size_t characterLength(const std::string& text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned long point = 0, least = 0;
    if ((lead & 0xE0) == 0xC0)
        length = 2, point = lead & 0x1Fu, least = 0x80;
    else if ((lead & 0xF0) == 0xE0)
        length = 3, point = lead & 0x0Fu, least = 0x800;
    else if ((lead & 0xF8) == 0xF0)
        length = 4, point = lead & 0x07u, least = 0x10000;
    else
        return 0;
    if (at + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        point = (point << 6) | (next & 0x3Fu);
    }
    if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return 0;
    return length;
}

// Deeper requests are refused before anything walks them: copying or writing
// a JSON value recurses once per level, so a pasted text of a few hundred
// kilobytes of "[" would overflow the caller's stack. Real requests nest a
// handful of levels.
constexpr std::size_t maxRequestDepth = 512;

// The deepest nesting of arrays and objects in a valid JSON text.
std::size_t nestingDepth(const std::string& json)
{
    std::size_t depth = 0, deepest = 0;
    bool inString = false, escaped = false;
    for (const char c : json) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return deepest;
}

} // namespace

std::string quoted(const std::string& text)
{
    // Long requests are cut; the user sees enough to recognise the text. A
    // reply is UTF-8 and ends at its first NUL, so the cut never splits a
    // character, and a NUL or a byte that is no UTF-8 shows as U+FFFD.
    constexpr std::size_t shown = 200;
    std::string out = "\"";
    std::size_t at = 0;
    while (at < text.size() && at < shown) {
        const std::size_t length = characterLength(text, at);
        if (length == 0 || text[at] == '\0') {
            out += replacementCharacter;
            ++at;
        } else {
            out.append(text, at, length);
            at += length;
        }
    }
    if (at < text.size())
        out += "...";
    return out + "\"";
}

Replies success(const Json& reply)
{
    return {Reply{Success, compact(reply)}};
}

Json requestObject(const std::string& request, bool blankIsEmpty)
{
    if (blankIsEmpty && request.find_first_not_of(" \t\r\n") == std::string::npos)
        return Json::object();
    Json value = Json::parse(request, nullptr, /*allow_exceptions=*/false);
    if (value.is_discarded() || !value.is_object())
        refuse(RequestNotJson, "request is not a JSON object: " + quoted(request));
    if (nestingDepth(request) > maxRequestDepth)
        refuse(RequestNotJson,
               "request nests arrays and objects deeper than " + std::to_string(maxRequestDepth) + " levels");
    return value;
}

const Json& member(const Json& request, const char* name)
{
    const auto it = request.find(name);
    if (it == request.end())
        refuse(MissingMember, std::string("request lacks member \"") + name + "\"");
    return *it;
}

std::string textMember(const Json& request, const char* name)
{
    const Json& value = member(request, name);
    if (!value.is_string())
        refuse(InvalidMember, std::string("member \"") + name + "\" must be a text, not " + compact(value));
    return value.get<std::string>();
}

long long integerMember(const Json& request, const char* name)
{
    const Json& value = member(request, name);
    if (!value.is_number_integer())
        refuse(InvalidMember,
               std::string("member \"") + name + "\" must be an integer, not " + compact(value));
    return value.get<long long>();
}

const Json& objectMember(const Json& request, const char* name)
{
    const Json& value = member(request, name);
    if (!value.is_object())
        refuse(InvalidMember,
               std::string("member \"") + name + "\" must be an object, not " + compact(value));
    return value;
}

Terminal& loggedInTerminal(FleetState& state, const Json& request)
{
    const auto sn = request.find("sn");
    if (sn == request.end())
        refuse(MissingMember, "request names no terminal: member \"sn\" is missing");
    if (!sn->is_string())
        refuse(InvalidMember,
               "member \"sn\" must be a terminal's serial number as a text, not " + compact(*sn));
    const std::string serial = sn->get<std::string>();
    if (serial.empty())
        refuse(MissingMember, "request names no terminal: member \"sn\" is empty");
    Terminal* terminal = state.find(serial);
    if (!terminal)
        refuse(UnknownTerminal, "no terminal with serial number " + quoted(serial));
    if (!terminal->hostLoggedIn)
        refuse(NotLoggedIn, "terminal " + serial + " is not logged in: log in to it first");
    return *terminal;
}

} // namespace tesselsim::detail
