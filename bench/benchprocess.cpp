#include "bench/benchprocess.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace benchprocess {
namespace {

std::vector<std::string> childEnvironment(const Environment& environment)
{
    std::vector<std::string> entries;
    auto overridden = [&](const std::string& entry) {
        const std::string name = entry.substr(0, entry.find('='));
        if (std::find(environment.removed.begin(), environment.removed.end(), name) !=
            environment.removed.end())
            return true;
        for (const auto& [setName, value] : environment.set)
            if (setName == name)
                return true;
        return false;
    };
    for (char** entry = environ; *entry; ++entry)
        if (!overridden(*entry))
            entries.emplace_back(*entry);
    for (const auto& [name, value] : environment.set)
        entries.push_back(name + "=" + value);
    return entries;
}

} // namespace

std::optional<Run> run(const std::string& program, const Environment& environment)
{
    std::vector<std::string> entries = childEnvironment(environment);
    std::vector<char*> envp;
    for (std::string& entry : entries)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string programCopy = program;
    char* argv[] = {programCopy.data(), nullptr};

    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        return std::nullopt;
    }

    Run result;
    std::string output;
    bool lineSeen = false;
    char buffer[4096];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) != 0;) {
        if (got < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        output.append(buffer, static_cast<std::size_t>(got));
        if (!lineSeen && output.find('\n') != std::string::npos) {
            lineSeen = true;
            result.msToFirstLine =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            result.firstLine = output.substr(0, output.find('\n'));
        }
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (!lineSeen)
        return std::nullopt;
    return result;
}

std::optional<long> peakMemoryKiB(const std::string& line)
{
    const std::string key = "peak memory ";
    const std::size_t at = line.find(key);
    if (at == std::string::npos)
        return std::nullopt;
    char* end = nullptr;
    const long value = std::strtol(line.c_str() + at + key.size(), &end, 10);
    if (end == line.c_str() + at + key.size() || value < 0)
        return std::nullopt;
    return value;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

Finished runToEnd(const std::string& program, const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Finished child;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        child.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        child.peakKiB = usage.ru_maxrss;
        child.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        child.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

} // namespace benchprocess
