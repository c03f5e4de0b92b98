#pragma once

// Figures of the running process read from /proc, for the timed headless run
// and the benchmark programs. Plain C++, no Qt, so that a minimal program can
// link it without pulling in anything else.

#include <optional>

namespace tessel {

// Milliseconds since this process was started by the kernel (before the
// dynamic loader ran), from /proc/self/stat. The kernel keeps the start time
// in clock ticks, so the figure is exact to one tick (10 ms on most systems).
std::optional<double> msSinceProcessStart();

// Peak resident memory of this process so far (VmHWM of /proc/self/status).
std::optional<long> peakMemoryKiB();

} // namespace tessel
