#pragma once

#include "services/consoleservices.h"

#include <QObject>

#include <cstdio>
#include <string>

namespace tessel {

// What tessel-run's replay and fleet run share: the output streams, the
// services (no history; the runner forgets each settled request), and the
// one way to end, with `done(exit code)`.
class ToolBase : public QObject
{
    Q_OBJECT

public:
    enum ExitCode
    {
        AllSame = 0,
        SomeDiffer = 1,
        BadInput = 2
    };

signals:
    void done(int exitCode);

protected:
    // `progress`: keep a one-line progress display on `out` (a terminal).
    ToolBase(std::FILE* out, std::FILE* err, bool progress, QObject* parent);

    void fail(const std::string& message); // before anything was sent: exit 2
    void end(int code);

    std::FILE* out;
    std::FILE* err;
    bool progress;
    ConsoleServices services;
    bool ended = false;
};

} // namespace tessel
