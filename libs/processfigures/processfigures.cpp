#include "processfigures/processfigures.h"

#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>

namespace tessel {

std::optional<double> msSinceProcessStart()
{
    std::ifstream file("/proc/self/stat");
    const std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The command name (field 2) may hold blanks and parentheses; the fields
    // after its last ")" are plain numbers. The start time is field 22.
    const std::size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos)
        return std::nullopt;
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string field;
    for (int number = 3; number < 22; ++number)
        fields >> field;
    unsigned long long startTicks = 0;
    timespec now{};
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    if (!(fields >> startTicks) || ticksPerSecond <= 0 || clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return std::nullopt;
    const double nowMs = now.tv_sec * 1e3 + now.tv_nsec / 1e6;
    return nowMs - static_cast<double>(startTicks) * 1e3 / static_cast<double>(ticksPerSecond);
}

std::optional<long> peakMemoryKiB()
{
    std::ifstream file("/proc/self/status");
    for (std::string line; std::getline(file, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            std::istringstream value(line.substr(6));
            long kib = 0;
            if (value >> kib)
                return kib;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace tessel
