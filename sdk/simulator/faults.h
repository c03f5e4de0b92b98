#pragma once

// Fault injection: chosen operations of the simulated SDK fail with a chosen
// code and text, or answer late, so that error handling can be rehearsed.
// The start-up fleet file may list faults; reset() restores those.

#include <chrono>
#include <string>
#include <vector>

namespace tesselsim {

struct Fault
{
    std::string operation;              // SDK operation, e.g. "tsGetVolumeAsync"
    unsigned short code = 0;            // non-zero: every call fails with it and `text`
    std::string text;                   // reply text of the failure
    std::chrono::milliseconds delay{0}; // added before the first reply
};

// Replaces the faults in force until the next reset(). Scripted replies
// (scriptReplies) take precedence over a fault.
void setFaults(std::vector<Fault> faults);
std::vector<Fault> faults();

} // namespace tesselsim
