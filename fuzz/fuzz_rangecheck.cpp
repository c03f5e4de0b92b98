// The IP-range dialog's check: dialogAddress of each typed text, then
// checkRange of the two addresses; the split and the verdict must agree with
// each other whatever was typed.
//
// Input: the start field's text, a line feed, the end field's text.

#include "core/rangecheck.h"
#include "core/records.h"
#include "fuzz/fuzzsupport.h"

#include <cstddef>
#include <cstdint>
#include <string>

using tessel::checkRange;
using tessel::dialogAddress;
using tessel::RangeCheck;

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void checkAddress(const std::string& text, const std::string& address)
{
    tsc::SerchAppointIpRequest request;
    if (recordFromJson(text, request)) {
        FUZZ_CHECK(address == request.ip);
        return;
    }
    // A bare address: the text less its surrounding blanks.
    FUZZ_CHECK(text.find(address) != std::string::npos);
    FUZZ_CHECK(address.empty() || (!isBlank(address.front()) && !isBlank(address.back())));
    if (address.empty())
        FUZZ_CHECK(text.find_first_not_of(" \t\r\n") == std::string::npos);
}

void checkSplit(const std::string& address, std::size_t dot, const std::string& host, const std::string& net)
{
    FUZZ_CHECK(dot == address.rfind('.'));
    if (dot == std::string::npos) {
        FUZZ_CHECK(host == address && net == address);
    } else {
        FUZZ_CHECK(net + "." + host == address);
        FUZZ_CHECK(host.find('.') == std::string::npos);
    }
}

// A host part of at most nine digits reads as its number.
void checkValue(const std::string& host, std::int32_t value)
{
    if (host.empty() || host.size() > 9 || host.find_first_not_of("0123456789") != std::string::npos)
        return;
    FUZZ_CHECK(value == std::stol(host));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto [startText, endText] = fuzzsupport::splitAt(fuzzsupport::asText(data, size), "\n");
    const std::string startTyped(startText), endTyped(endText);
    const std::string start = dialogAddress(startTyped);
    const std::string end = dialogAddress(endTyped);
    checkAddress(startTyped, start);
    checkAddress(endTyped, end);

    const RangeCheck check = checkRange(start, end);
    FUZZ_CHECK(check.start == start && check.end == end);
    checkSplit(start, check.startDot, check.startHost, check.startNet);
    checkSplit(end, check.endDot, check.endHost, check.endNet);
    checkValue(check.startHost, check.startHostValue);
    checkValue(check.endHost, check.endHostValue);

    const bool sameNet = check.startNet == check.endNet;
    const bool startAfterEnd =
        static_cast<std::uint32_t>(check.startHostValue) > static_cast<std::uint32_t>(check.endHostValue);
    switch (check.verdict) {
    case RangeCheck::DifferentNet:
        FUZZ_CHECK(!sameNet);
        break;
    case RangeCheck::StartAfterEnd:
        FUZZ_CHECK(sameNet && startAfterEnd);
        break;
    case RangeCheck::SameAddress:
        FUZZ_CHECK(sameNet && !startAfterEnd && start == end);
        break;
    case RangeCheck::Range:
        FUZZ_CHECK(sameNet && !startAfterEnd && start != end);
        break;
    }
    return 0;
}
