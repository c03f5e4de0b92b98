#pragma once

// Runs a program of the build as a child process for the start-up and memory
// benchmarks: stdout through a pipe, stderr thrown away, the environment of
// this process with some variables set or removed.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace benchprocess {

struct Environment
{
    std::vector<std::pair<std::string, std::string>> set;
    std::vector<std::string> removed;
};

struct Run
{
    double msToFirstLine = 0; // from just before the spawn until the first line was read
    std::string firstLine;    // without its newline
    int exitCode = -1;        // -1 when it did not exit normally
};

// Starts `program` without arguments and waits for it to end. Nothing when it
// could not be started or printed no line.
std::optional<Run> run(const std::string& program, const Environment& environment);

// The number after "peak memory " in a line, or nothing.
std::optional<long> peakMemoryKiB(const std::string& line);

double median(std::vector<double> values);

struct Finished
{
    double seconds = 0;    // from the spawn to the end
    long peakKiB = 0;      // the child's peak resident memory
    double cpuSeconds = 0; // user and system time of the child
    int exitCode = -1;     // -1 when it did not exit normally
};

// Runs `program` with `arguments` in this process's environment, its output
// thrown away, and waits for it to end.
Finished runToEnd(const std::string& program, const std::vector<std::string>& arguments);

} // namespace benchprocess
