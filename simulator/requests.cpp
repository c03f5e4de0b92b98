#include "simulator/requests.h"

namespace tesselsim::detail {

void refuse(unsigned short code, std::string text)
{
    throw Refusal{code, std::move(text)};
}

std::string compact(const Json& value)
{
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string quoted(const std::string& text)
{
    // Long requests are cut; the user sees enough to recognise the text.
    constexpr std::size_t shown = 200;
    return "\"" + (text.size() > shown ? text.substr(0, shown) + "..." : text) + "\"";
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
