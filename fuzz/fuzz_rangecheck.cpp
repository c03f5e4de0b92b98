// The IP-range dialog's check: dialogAddress of each typed text, the address
// check of each, then checkRange of the two addresses; the split and the
// verdict must agree with each other whatever was typed, and an accepted
// address must be four numbers the terminals read.
//
// Input: the start field's text, a line feed, the end field's text.

#include "fuzz/fuzzsupport.h"
#include "requests/records.h"
#include "searchcheck/addresscheck.h"
#include "searchcheck/rangecheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
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

// An accepted address reads, blanks aside, as four numbers of up to three
// digits, none above 255; a refused one names a part that exists.
void checkForm(const std::string& address)
{
    const tessel::AddressCheck check = tessel::checkAddress(address);
    if (check.fault != tessel::AddressCheck::Valid) {
        FUZZ_CHECK(check.part <= 4 && check.part <= check.parts);
        FUZZ_CHECK(address.find(check.partText) != std::string::npos);
        return;
    }
    unsigned parts[4] = {};
    char end = 0;
    const std::size_t first = address.find_first_not_of(" \t\r\n");
    FUZZ_CHECK(first != std::string::npos);
    const std::string bare = address.substr(first, address.find_last_not_of(" \t\r\n") - first + 1);
    FUZZ_CHECK(bare.size() <= 15);
    FUZZ_CHECK(std::sscanf(bare.c_str(), "%3u.%3u.%3u.%3u%c", &parts[0], &parts[1], &parts[2], &parts[3],
                           &end) == 4);
    FUZZ_CHECK(bare.find_first_not_of("0123456789.") == std::string::npos);
    for (unsigned part : parts)
        FUZZ_CHECK(part <= 255);
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
    checkForm(start);
    checkForm(end);

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
