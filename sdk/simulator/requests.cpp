#include "simulator/requests.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

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

constexpr std::size_t shownBytes = 200; // enough to recognise a text
constexpr char replacementCharacter[] = "\xEF\xBF\xBD";

// Length of the UTF-8 character starting at `at`, or 0 when none starts there.
std::size_t characterLength(const std::string& text, std::size_t at)
{
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned char>(text[i]);
    };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // overlong
        if (lead == 0xED)
            high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90; // overlong
        if (lead == 0xF4)
            high = 0x8F; // beyond U+10FFFF
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    return length;
}

// The first bytes of `text`, whole characters only, bad bytes replaced.
std::string cut(const std::string& text)
{
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t length = characterLength(text, at);
        if (at + std::max<std::size_t>(length, 1) > shownBytes)
            return out + "...";
        // A reply ends at its first NUL, so a NUL shows as U+FFFD too.
        if (length == 0 || text[at] == '\0') {
            out += replacementCharacter;
            ++at;
        } else {
            out.append(text, at, length);
            at += length;
        }
    }
    return out;
}

int nestingDepth(const std::string& text, int limit)
{
    int depth = 0, deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size() && deepest <= limit; ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
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
    return "\"" + cut(text) + "\"";
}

std::string shown(const Json& value)
{
    return cut(compact(value));
}

std::optional<std::size_t> firstNonUtf8Byte(const std::string& text)
{
    for (std::size_t at = 0; at < text.size();) {
        // ASCII, the common case, eight bytes at a time.
        std::uint64_t word = 0;
        if (text.size() - at >= sizeof word) {
            std::memcpy(&word, text.data() + at, sizeof word);
            if ((word & 0x8080808080808080u) == 0) {
                at += sizeof word;
                continue;
            }
        }
        const std::size_t length = characterLength(text, at);
        if (length == 0)
            return at;
        at += length;
    }
    return std::nullopt;
}

std::optional<Refusal> unreadable(const std::string& request)
{
    if (nestingDepth(request, maxNesting) > maxNesting)
        return Refusal{RequestNotJson, "request nests deeper than " + std::to_string(maxNesting) +
                                           " levels of arrays and objects: " + quoted(request)};
    if (const auto bad = firstNonUtf8Byte(request))
        return Refusal{RequestNotJson, "request is not UTF-8 (byte " + std::to_string(*bad) +
                                           " is not part of a character): " + quoted(request)};
    return std::nullopt;
}

Replies success(const Json& reply)
{
    return {Reply{Success, compact(reply)}};
}

Json requestObject(const std::string& request, bool blankIsEmpty)
{
    if (blankIsEmpty && request.find_first_not_of(" \t\r\n") == std::string::npos)
        return Json::object();
    if (auto refusal = unreadable(request))
        throw std::move(*refusal);
    Json value = Json::parse(request, nullptr, /*allow_exceptions=*/false);
    if (value.is_discarded() || !value.is_object())
        refuse(RequestNotJson, "request is not a JSON object: " + quoted(request));
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
        refuse(InvalidMember, std::string("member \"") + name + "\" must be a text, not " + shown(value));
    return value.get<std::string>();
}

long long integerMember(const Json& request, const char* name)
{
    const Json& value = member(request, name);
    if (!value.is_number_integer())
        refuse(InvalidMember, std::string("member \"") + name + "\" must be an integer, not " + shown(value));
    return value.get<long long>();
}

const Json& objectMember(const Json& request, const char* name)
{
    const Json& value = member(request, name);
    if (!value.is_object())
        refuse(InvalidMember, std::string("member \"") + name + "\" must be an object, not " + shown(value));
    return value;
}

Terminal& namedTerminal(FleetState& state, const Json& request)
{
    const auto sn = request.find("sn");
    if (sn == request.end())
        refuse(MissingMember, "request names no terminal: member \"sn\" is missing");
    if (!sn->is_string())
        refuse(InvalidMember,
               "member \"sn\" must be a terminal's serial number as a text, not " + shown(*sn));
    const std::string serial = sn->get<std::string>();
    if (serial.empty())
        refuse(MissingMember, "request names no terminal: member \"sn\" is empty");
    Terminal* terminal = state.find(serial);
    if (!terminal)
        refuse(UnknownTerminal, "no terminal with serial number " + quoted(serial));
    return *terminal;
}

Terminal& loggedInTerminal(FleetState& state, const Json& request)
{
    Terminal& terminal = namedTerminal(state, request);
    if (!terminal.hostLoggedIn)
        refuse(NotLoggedIn, "terminal " + terminal.sn + " is not logged in: log in to it first");
    return terminal;
}

} // namespace tesselsim::detail
