#include "requests/requesttarget.h"

#include "history/requestserial.h"
#include "requests/jsontext.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <functional>
#include <vector>

namespace tessel::requesttarget {
namespace {

// Where the values of the top-level "sn" members that are texts lie, in order.
std::vector<SerialMember> textSerials(std::string_view text)
{
    std::vector<SerialMember> members;
    if (findJsonFault(text)) // the console's check: a NUL character is part of the text
        return members;
    for (SerialMember& member : serialMembers(text))
        if (member.text)
            members.push_back(std::move(member));
    return members;
}

std::string replaced(std::string_view request, const std::string& sn,
                     const std::function<bool(const std::string&)>& wanted)
{
    // The new value is written as JSON would write it, escapes and all.
    const std::string value =
        nlohmann::json(sn).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::string result;
    std::size_t copied = 0;
    for (const SerialMember& member : textSerials(request)) {
        if (!wanted(*member.text))
            continue;
        result.append(request.substr(copied, member.begin - copied));
        result.append(value);
        copied = member.end;
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
