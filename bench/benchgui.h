#pragma once

// Shared by the benchmarks that run windows: the yardstick that watches the
// GUI thread (a 1 ms timer ticking on it while work goes on), and a quiet log.

#include <functional>

namespace benchgui {

struct Ticks
{
    double elapsedMs = 0;
    double longestGapMs = 0;  // between two ticks, wall clock
    double longestWorkMs = 0; // the thread's own CPU time between two ticks
    int gapsOver16 = 0;
    bool done = false; // `done` held, rather than the deadline passing
};

// This thread's CPU time so far.
double threadCpuMs();

// Runs the event loop with the timer until `done` holds after a tick, or
// `deadlineMs` passes. `start` runs once the ticks have begun.
Ticks tickUntil(const std::function<bool()>& done, const std::function<void()>& start = {},
                int deadlineMs = 120000);

// Drops debug, info and warning messages until the program ends: the
// windows log every search reply and Qt warns of what the offscreen platform
// lacks, and a terminal would then measure its own speed. Critical messages pass.
void dropChatter();

} // namespace benchgui
