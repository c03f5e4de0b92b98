#pragma once

// Reading requests and writing replies for the operation behaviours. A
// handler refuses a request by throwing Refusal; the behaviour dispatcher
// turns it into the failure reply, so no refusal can escape to the SDK caller.

#include "simulator/behaviourstate.h"
#include "simulator/engine.h"
#include "simulator/errors.h"

#include <cstddef>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tesselsim::detail {

using Replies = std::vector<Reply>;

// The one way a request is refused: the failure's code and its text.
class Refusal : public std::exception
{
public:
    Refusal(unsigned short code, std::string text) : code(code), text(std::move(text)) {}
    const char* what() const noexcept override { return text.c_str(); }

    unsigned short code;
    std::string text;
};

[[noreturn]] void refuse(unsigned short code, std::string text);

// Compact JSON; invalid UTF-8 inside a request must not make the simulator throw.
std::string compact(const Json& value);
// For request texts and values inside failure texts: cut after a few hundred
// bytes (marked "..."), so that no failure grows with its request, and with
// bytes that are not UTF-8 replaced, so that every reply is UTF-8.
std::string quoted(const std::string& text);
std::string shown(const Json& value);

// Arrays and objects nested deeper than this are refused before parsing:
// copying and writing a value recurse once per level.
constexpr int maxNesting = 256;

// Offset of the first byte of `text` that is not part of a UTF-8 character.
std::optional<std::size_t> firstNonUtf8Byte(const std::string& text);

// Why a request text cannot be read as JSON at all (not UTF-8, nested too
// deep); nothing when it may be parsed.
std::optional<Refusal> unreadable(const std::string& request);
Replies success(const Json& reply);

// The request as a JSON object. With `blankIsEmpty` a blank request reads as
// {}, for operations whose members all have a meaning of their own.
Json requestObject(const std::string& request, bool blankIsEmpty);

const Json& member(const Json& request, const char* name);
std::string textMember(const Json& request, const char* name);
long long integerMember(const Json& request, const char* name);
const Json& objectMember(const Json& request, const char* name);

// The terminal named by the request's "sn", known to the fleet.
Terminal& namedTerminal(FleetState& state, const Json& request);
// The same, and logged in to by a host.
Terminal& loggedInTerminal(FleetState& state, const Json& request);

} // namespace tesselsim::detail
