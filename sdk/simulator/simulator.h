#pragma once

// Control of the simulated SDK, for tests and tools. The simulated SDK itself
// is reached through sdk/tessel/tesselcoreasync.h like the vendor's.

#include "tessel/tesselcoreasync.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tesselsim {

struct Terminal
{
    std::string sn, name, ip;
    std::int16_t width = 0, height = 0;
    bool hostLoggedIn = false;
    std::string user = "admin", password = "123456";
};

struct Reply
{
    unsigned short code = 0;
    std::string text;
};

struct Call
{
    std::string operation;
    std::vector<std::string> args; // text arguments in order; none for callback-only operations
};

void reset(); // default fleet and latency, no scripts, empty call log; drops invocations not yet made
void setFleet(std::vector<Terminal> terminals);
std::vector<Terminal> fleet();
void setLatency(std::chrono::milliseconds perReply);
// The next call of that operation answers exactly these, in order, on a simulator thread.
void scriptReplies(const std::string& operation, std::vector<Reply> invocations);
// The SDK calls since the last reset, in call order, tsInit included: the
// latest callLogLimit() of them, so that a long-running program does not
// grow with its calls.
std::vector<Call> calls();
constexpr std::size_t defaultCallLogLimit = 10000;
void setCallLogLimit(std::size_t latest); // until the next reset()
// True once every pending invocation has been made. It returns as soon as that
// is so; the long default only bounds a hang, and leaves a machine busy with
// other work the time it may need.
bool waitIdle(std::chrono::milliseconds timeout = std::chrono::seconds(60));

// The next call of that operation is logged but not answered: its callback is
// held until takeHeldCallback() hands it out, so that a test can invoke it from
// threads of its own, as the vendor's SDK may. reset() drops both.
void holdNextCallback(const std::string& operation);
ResultCallback takeHeldCallback(); // empty when no call was held since

} // namespace tesselsim
