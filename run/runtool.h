#pragma once

#include "core/lifeline.h"
#include "core/requestrunner.h"
#include "replay/junitreport.h"
#include "replay/replaysession.h"
#include "replay/runfile.h"
#include "run/runarguments.h"

#include <QObject>
#include <QSaveFile>

#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>

namespace tessel {

// What tessel-run does once its arguments are read: checks the run file,
// logs in, replays it, prints a line per request and a summary, and writes
// the JUnit report and the new run file. Ends with `done(exit code)`.
class RunTool : public QObject
{
    Q_OBJECT

public:
    enum ExitCode
    {
        AllSame = 0,
        SomeDiffer = 1,
        BadInput = 2
    };

    // `progress`: keep a one-line progress display on `out` (a terminal).
    RunTool(RunArguments arguments, std::FILE* out, std::FILE* err, bool progress, QObject* parent = nullptr);
    ~RunTool() override;

    void start();
    // Ctrl+C: sends nothing more, reports what finished, writes the report.
    void interrupt();

signals:
    void done(int exitCode);

private:
    void fail(const std::string& message); // before anything was sent
    void loginNext();
    void loggedIn(const std::string& sn, int code, const std::string& reply);
    void replay();
    void settled(const ReplayOutcome& outcome);
    void finish(bool stopped);
    void showProgress();
    void clearProgress();
    void end(int code);

    RunArguments arguments;
    std::FILE* out;
    std::FILE* err;
    bool progress;
    qint64 total = 0;
    std::deque<std::string> loginSerials;
    RequestRunner runner;
    RunFileReader reader;
    std::unique_ptr<ReplaySession> session;
    std::unique_ptr<JUnitReport> junit;
    std::unique_ptr<QSaveFile> record;
    qint64 same = 0, different = 0, timedOut = 0, errors = 0;
    bool interrupted = false;
    bool ended = false;
    std::chrono::steady_clock::time_point startedAt;
    std::shared_ptr<Lifeline<RunTool>> lifeline;
};

} // namespace tessel
