#include "searchcheck/rangecheck.h"

#include "requests/records.h"

#include <cstdlib>

namespace tessel {
namespace {

void split(const std::string& address, std::size_t& dot, std::string& host, std::string& net)
{
    dot = address.rfind('.');
    if (dot == std::string::npos) {
        host = address;
        net = address;
    } else {
        host = address.substr(dot + 1);
        net = address.substr(0, dot);
    }
}

} // namespace

std::string dialogAddress(const std::string& text)
{
    tsc::SerchAppointIpRequest request;
    if (recordFromJson(text, request))
        return request.ip;
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

RangeCheck checkRange(const std::string& start, const std::string& end)
{
    RangeCheck check;
    check.start = start;
    check.end = end;
    split(start, check.startDot, check.startHost, check.startNet);
    split(end, check.endDot, check.endHost, check.endNet);
    // atoi of a number that does not fit is undefined; strtol saturates, and
    // the cast keeps atoi's usual wrap-around for the unsigned compare below.
    check.startHostValue = static_cast<std::int32_t>(std::strtol(check.startHost.c_str(), nullptr, 10));
    check.endHostValue = static_cast<std::int32_t>(std::strtol(check.endHost.c_str(), nullptr, 10));
    if (check.startNet != check.endNet)
        check.verdict = RangeCheck::DifferentNet;
    else if (static_cast<std::uint32_t>(check.startHostValue) >
             static_cast<std::uint32_t>(check.endHostValue))
        check.verdict = RangeCheck::StartAfterEnd;
    else if (start == end)
        check.verdict = RangeCheck::SameAddress;
    else
        check.verdict = RangeCheck::Range;
    return check;
}

} // namespace tessel
