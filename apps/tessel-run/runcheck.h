#pragma once

// The first pass of tessel-run over its run file, on a thread of its own:
// the event thread stays free for Ctrl+C however long the file is, and
// however long a pipe keeps the reading waiting.

#include "replay/runfile.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace tessel {

struct RunCheckJob
{
    QString path;
    // Not empty: the run file is a stream that can be read only once (a
    // pipe, a FIFO, /dev/stdin); it is copied here first and the copy is
    // checked, and later sent.
    QString copyPath;
    bool withSerials = false;
    std::atomic<bool> cancel{false};
    std::atomic<bool> running{true};
    // Filled by the checking thread; read once `running` is false.
    std::string copyError; // the whole message
    RunFileCheck check;
};

// Runs `job` on a detached thread, then calls `done` there. Detached: a
// stream that never delivers keeps it waiting, and the program may end
// meanwhile; it shares nothing but `job`.
void startRunCheck(std::shared_ptr<RunCheckJob> job, std::function<void()> done);

// Whether two paths name one file, links resolved (also hard links; a file
// yet to be created by where it would be).
bool sameFile(const QString& a, const QString& b);

} // namespace tessel
