#pragma once

// Reading requests and writing replies for the operation behaviours. A
// handler refuses a request by throwing Refusal; the behaviour dispatcher
// turns it into the failure reply, so no refusal can escape to the SDK caller.

#include "simulator/behaviourstate.h"
#include "simulator/engine.h"
#include "simulator/errors.h"

#include <string>
#include <vector>

namespace tesselsim::detail {

using Replies = std::vector<Reply>;

struct Refusal
{
    unsigned short code;
    std::string text;
};

[[noreturn]] void refuse(unsigned short code, std::string text);

// Compact JSON; invalid UTF-8 inside a request must not make the simulator throw.
std::string compact(const Json& value);
std::string quoted(const std::string& text); // for texts inside error messages
Replies success(const Json& reply);

// The request as a JSON object. With `blankIsEmpty` a blank request reads as
// {}, for operations whose members all have a meaning of their own.
Json requestObject(const std::string& request, bool blankIsEmpty);

const Json& member(const Json& request, const char* name);
std::string textMember(const Json& request, const char* name);
long long integerMember(const Json& request, const char* name);
const Json& objectMember(const Json& request, const char* name);

// The terminal named by the request's "sn": known, and logged in to by a host.
Terminal& loggedInTerminal(FleetState& state, const Json& request);

} // namespace tesselsim::detail
