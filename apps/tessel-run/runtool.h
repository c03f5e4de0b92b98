#pragma once

#include "mailbox/lifeline.h"
#include "replay/junitreport.h"
#include "replay/replaysession.h"
#include "replay/runfile.h"
#include "tessel-run/runarguments.h"
#include "tessel-run/toolbase.h"

#include <QObject>
#include <QSaveFile>
#include <QTemporaryFile>

#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>

namespace tessel {

struct RunCheckJob;

// What tessel-run does once its arguments are read: checks the run file,
// logs in, replays it, prints a line per request and a summary, and writes
// the JUnit report and the new run file. Ends with `done(exit code)`.
class RunTool : public ToolBase
{
    Q_OBJECT

public:
    RunTool(RunArguments arguments, std::FILE* out, std::FILE* err, bool progress, QObject* parent = nullptr);
    ~RunTool() override;

    void start();
    // Ctrl+C: sends nothing more, reports what finished, writes the report.
    void interrupt();
    // The check still reads the run file (a stream that never ended): the
    // program must end without waiting for it.
    bool stillChecking() const;

private:
    bool openOutputs();
    void checked();
    void loginNext();
    void loggedIn(const std::string& sn, int code, const std::string& reply);
    void replay();
    void settled(const ReplayOutcome& outcome);
    bool nextLine(RunLine& line);
    void finish(bool stopped);
    void reportNotRun(std::vector<ReplayOutcome> dropped);
    bool writeReport();
    void showProgress();
    void clearProgress();

    RunArguments arguments;
    qint64 total = 0;
    std::deque<std::string> loginSerials;
    std::shared_ptr<RunCheckJob> check;
    QTemporaryFile copy; // of a run file that can be read only once
    QString readFrom;    // the run file, or its copy
    bool checkDone = false;
    RunFileReader reader;
    qint64 given = 0;        // lines handed to the session
    std::string fileChanged; // why the lines sent are not those checked
    std::unique_ptr<ReplaySession> session;
    std::unique_ptr<JUnitReport> junit;
    std::unique_ptr<QSaveFile> junitOut, record;
    qint64 same = 0, different = 0, timedOut = 0, errors = 0;
    bool interrupted = false;
    std::chrono::steady_clock::time_point startedAt;
    std::shared_ptr<Lifeline<RunTool>> lifeline;
};

} // namespace tessel
