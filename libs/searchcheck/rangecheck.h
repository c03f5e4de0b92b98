#pragma once

// The check of the IP-range dialog, apart from the window so that it can be
// exercised on its own.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessel {

struct RangeCheck
{
    enum Verdict
    {
        SameAddress,  // start and end are equal: search that one address
        Range,        // search from start to end
        DifferentNet, // the parts before the last dot differ
        StartAfterEnd // the start's host number is greater than the end's
    };

    std::string start, end; // the two addresses as read from the dialog
    std::size_t startDot = std::string::npos, endDot = std::string::npos;
    std::string startHost, endHost;
    std::string startNet, endNet;
    std::int32_t startHostValue = 0, endHostValue = 0;
    Verdict verdict = Range;
};

// The address a dialog text stands for: the address of the address record when
// the text is its JSON form, otherwise the text itself with surrounding white
// space removed (people type bare addresses).
std::string dialogAddress(const std::string& text);

// Splits both addresses at their last dot and compares them: networks as
// text, host numbers as atoi reads them, compared without sign.
RangeCheck checkRange(const std::string& start, const std::string& end);

} // namespace tessel
