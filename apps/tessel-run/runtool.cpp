#include "tessel-run/runtool.h"

#include "tessel-run/runcheck.h"

#include "requests/records.h"
#include "requests/sdkinit.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <utility>

namespace tessel {
namespace {

const char* verdictWord(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Same:
        return "same";
    case Verdict::Different:
        return "different";
    case Verdict::Timeout:
        return "timeout";
    case Verdict::Error:
        return "error";
    }
    return "";
}

// Differences printed under a request; the JUnit report has them all.
constexpr std::size_t printedDifferences = 10;

} // namespace

RunTool::RunTool(RunArguments arguments, std::FILE* out, std::FILE* err, bool progress, QObject* parent)
    : ToolBase(out, err, progress, parent), arguments(std::move(arguments)),
      lifeline(std::make_shared<Lifeline<RunTool>>(this))
{}

RunTool::~RunTool()
{
    lifeline->sever();
}

void RunTool::start()
{
    startedAt = std::chrono::steady_clock::now();
    if (!openOutputs())
        return;
    const QString& path = arguments.runFile;
    const QFileInfo info(path);
    if (info.isDir())
        return fail("cannot read " + path.toStdString() + ": it is a folder");
    check = std::make_shared<RunCheckJob>();
    check->path = path;
    // The serials are only needed to log in to every terminal the requests name.
    check->withSerials = arguments.login && arguments.serial.isEmpty();
    readFrom = path;
    if (info.exists() && !info.isFile()) {
        // A pipe would be used up by the check and found empty by the send.
        copy.setFileTemplate(QDir::tempPath() + QStringLiteral("/tessel-run-XXXXXX.jsonl"));
        if (!copy.open())
            return fail("cannot copy " + path.toStdString() + " to " + QDir::tempPath().toStdString() + ": " +
                        copy.errorString().toStdString());
        copy.close();
        check->copyPath = readFrom = copy.fileName();
    }
    startRunCheck(check, [line = lifeline] {
        line->reach([](RunTool& tool) {
            QMetaObject::invokeMethod(
                &tool, [&tool] { tool.checked(); }, Qt::QueuedConnection);
        });
    });
}

bool RunTool::openOutputs()
{
    const QString& runFile = arguments.runFile;
    const QString& junitFile = arguments.junitFile;
    const QString& recordFile = arguments.recordFile;
    // Writing over the run file would lose the baseline; two outputs in one
    // file would lose one of them.
    if (!junitFile.isEmpty() && sameFile(junitFile, runFile)) {
        fail("--junit " + junitFile.toStdString() + " is the run file; nothing was sent");
        return false;
    }
    if (!recordFile.isEmpty() && sameFile(recordFile, runFile)) {
        fail("--record " + recordFile.toStdString() + " is the run file; nothing was sent");
        return false;
    }
    if (!junitFile.isEmpty() && !recordFile.isEmpty() && sameFile(junitFile, recordFile)) {
        fail("--junit and --record name one file, " + junitFile.toStdString() + "; nothing was sent");
        return false;
    }
    // Opened now, written at the end: a path that cannot be written is known
    // before anything is sent, and nothing is left of it if the run fails.
    const auto openOutput = [this](const QString& name, std::unique_ptr<QSaveFile>& file) {
        file = std::make_unique<QSaveFile>(name);
        if (file->open(QIODevice::WriteOnly))
            return true;
        fail("cannot write " + name.toStdString() + ": " + file->errorString().toStdString() +
             "; nothing was sent");
        return false;
    };
    if (!junitFile.isEmpty()) {
        if (!openOutput(junitFile, junitOut))
            return false;
        junit = std::make_unique<JUnitReport>(QFileInfo(runFile).completeBaseName());
        std::string error;
        if (!junit->open(error)) {
            fail("--junit: " + error);
            return false;
        }
    }
    return recordFile.isEmpty() || openOutput(recordFile, record);
}

void RunTool::checked()
{
    if (ended)
        return;
    checkDone = true;
    const RunFileCheck& result = check->check;
    const std::string path = arguments.runFile.toStdString();
    if (!check->copyError.empty())
        return fail(check->copyError);
    if (!result.openError.empty())
        return fail("cannot read " + path + ": " + result.openError);
    if (result.fault)
        return fail(path + ": " + result.fault->text() + "; nothing was sent");
    if (result.requests == 0)
        return fail("no request in " + path);
    // A replay compares recorded results only: a check it skipped would pass unseen.
    if (result.checklistLine > 0)
        return fail(path + ": line " + std::to_string(result.checklistLine) +
                    " checks its reply (\"expect\", \"capture\" or \"until\"): run it on terminals with "
                    "--targets FILE (a CSV file: sn, then a serial a line) or --all; nothing was sent");
    total = result.requests;

    initSdk();

    if (!arguments.login)
        return replay();
    if (!arguments.serial.isEmpty()) {
        loginSerials.push_back(arguments.serial.toStdString());
    } else {
        if (result.tooManySerials)
            return fail("--login: the requests name more than " + std::to_string(maxSerials) +
                        " terminals; give --sn");
        loginSerials.assign(result.serials.begin(), result.serials.end());
    }
    if (loginSerials.empty())
        return fail("--login: no terminal to log in to: give --sn, or requests with a text \"sn\"");
    loginNext();
}

bool RunTool::stillChecking() const
{
    return check && check->running;
}

void RunTool::loginNext()
{
    if (ended)
        return;
    if (loginSerials.empty())
        return replay();
    const std::string sn = loginSerials.front();
    loginSerials.pop_front();
    TerminalActions::Listener listener;
    listener.receiver = this;
    listener.answer = [this, sn](int code, const std::string& reply) {
        loggedIn(sn, code, reply);
    };
    services.terminalActions().logIn(TerminalActions::LoginKind::User, sn, arguments.user, arguments.password,
                                     std::move(listener));
    // Only the first answer counts; a login that never answers must not hang the run.
    QTimer::singleShot(arguments.timeoutMs, this, [this, sn, left = loginSerials.size()] {
        if (!ended && !session && loginSerials.size() == left)
            fail("login to " + sn + ": no answer within " + std::to_string(arguments.timeoutMs) + " ms");
    });
}

void RunTool::loggedIn(const std::string& sn, int code, const std::string& reply)
{
    if (ended || session)
        return;
    tsc::LoginReplyData data;
    if (code != 0 || !recordFromJson(reply, data) || !data.logined)
        return fail("login to " + sn + " failed: code " + std::to_string(code) + ", " + reply);
    std::fprintf(out, "logged in to %s\n", sn.c_str());
    loginNext();
}

void RunTool::replay()
{
    std::string error;
    if (!reader.open(readFrom, error))
        return fail("cannot read " + arguments.runFile.toStdString() + ": " + error);
    ReplayOptions options;
    options.serial = arguments.serial;
    options.ignore.add(arguments.ignore);
    options.timeoutMs = arguments.timeoutMs;
    options.graceMs = arguments.graceMs;
    options.concurrency = arguments.concurrency;
    session = std::make_unique<ReplaySession>(services.requestRunner(), std::move(options),
                                              [this](RunLine& line) { return nextLine(line); });
    connect(session.get(), &ReplaySession::settled, this, &RunTool::settled);
    connect(session.get(), &ReplaySession::finished, this, &RunTool::finish);
    showProgress();
    session->start();
}

// Only the lines checked are sent; a file that changed since is a fault.
bool RunTool::nextLine(RunLine& line)
{
    if (!fileChanged.empty())
        return false;
    RunFileFault fault;
    const std::string path = arguments.runFile.toStdString();
    if (given == total) {
        RunLine more;
        const RunFileReader::Step step = reader.next(more, fault);
        if (step == RunFileReader::Step::Line)
            fileChanged = path + ": line " + std::to_string(more.lineNumber) +
                          " was added after the check; it and the rest were not sent";
        else if (step == RunFileReader::Step::Fault)
            fileChanged = path + ": " + fault.text() + "; the rest was not sent";
        return false;
    }
    const RunFileReader::Step step = reader.next(line, fault);
    if (step == RunFileReader::Step::Line) {
        ++given;
        return true;
    }
    fileChanged = step == RunFileReader::Step::Fault
                      ? path + ": " + fault.text() + "; the rest was not sent"
                      : path + ": " + std::to_string(given) + " of the " + std::to_string(total) +
                            " requests checked were left when it was sent";
    return false;
}

void RunTool::settled(const ReplayOutcome& outcome)
{
    switch (outcome.verdict) {
    case Verdict::Same:
        ++same;
        break;
    case Verdict::Different:
        ++different;
        break;
    case Verdict::Timeout:
        ++timedOut;
        break;
    case Verdict::Error:
        ++errors;
        break;
    }
    clearProgress();
    std::string line = std::string(verdictWord(outcome.verdict));
    line.resize(10, ' ');
    std::fprintf(out, "%s%6lld ms  %s", line.c_str(), static_cast<long long>(outcome.ms),
                 requestLabel(outcome).c_str());
    if (outcome.verdict == Verdict::Error)
        std::fprintf(out, "  %s", outcome.message.c_str());
    else if (anyReplyCut(outcome.line.results))
        std::fprintf(out, "  (%s)", replyCutNote);
    std::fputc('\n', out);
    if (outcome.verdict != Verdict::Same) {
        for (std::size_t i = 0; i < outcome.differences.size() && i < printedDifferences; ++i) {
            const Difference& difference = outcome.differences[i];
            std::fprintf(out, "          %s: recorded %s, now %s\n", difference.path.c_str(),
                         difference.recorded.c_str(), difference.current.c_str());
        }
        if (outcome.differences.size() > printedDifferences)
            std::fprintf(out, "          … %zu more\n", outcome.differences.size() - printedDifferences);
    }
    std::fflush(out); // a build log shows each request as it settles
    if (junit)
        junit->add(outcome);
    if (record) {
        // A line that was not sent keeps what it had.
        const std::string text =
            outcome.verdict == Verdict::Error
                ? runFileLine(outcome.line, outcome.line.request, outcome.line.results, outcome.sentAtMs)
                : runFileLine(outcome.line, outcome.sentRequest, outcome.results, outcome.sentAtMs);
        record->write(text.data(), static_cast<qint64>(text.size()));
    }
    showProgress();
}

void RunTool::finish(bool stopped)
{
    clearProgress();
    const qint64 settledCount = same + different + timedOut + errors;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - startedAt).count();
    std::fprintf(out, "%s%lld %s: %lld same, %lld different, %lld timeout, %lld error (%.1f s)\n",
                 stopped ? "interrupted: " : "", static_cast<long long>(settledCount),
                 settledCount == 1 ? "request" : "requests", static_cast<long long>(same),
                 static_cast<long long>(different), static_cast<long long>(timedOut),
                 static_cast<long long>(errors), seconds);
    if (!fileChanged.empty())
        std::fprintf(err, "tessel-run: %s\n", fileChanged.c_str());
    int code = (stopped || settledCount != same || !fileChanged.empty()) ? SomeDiffer : AllSame;
    if (!writeReport())
        code = BadInput;
    if (record) {
        if (stopped) {
            // A baseline with only part of the run would pass for a whole one.
            record->cancelWriting();
            record->commit();
            std::fprintf(err, "tessel-run: interrupted: %s was not written\n",
                         arguments.recordFile.toLocal8Bit().constData());
        } else if (!record->commit()) {
            std::fprintf(err, "tessel-run: cannot write %s: %s\n",
                         arguments.recordFile.toLocal8Bit().constData(),
                         record->errorString().toLocal8Bit().constData());
            code = BadInput;
        }
    }
    std::fflush(out);
    end(code);
}

// The requests an interrupted run did not settle go into the report as
// skipped: those dropped by the session, then the rest of the file.
void RunTool::reportNotRun(std::vector<ReplayOutcome> dropped)
{
    if (!junit)
        return;
    const qint64 settledCount = same + different + timedOut + errors;
    const std::string reason = "not run: the run was interrupted";
    for (const ReplayOutcome& outcome : dropped)
        junit->addSkipped(outcome, reason);
    std::string error;
    if (session || reader.open(readFrom, error)) {
        ReplayOutcome outcome;
        outcome.number = given;
        RunFileFault fault;
        while (given < total && reader.next(outcome.line, fault) == RunFileReader::Step::Line) {
            outcome.number = ++given;
            junit->addSkipped(outcome, reason);
        }
    }
    junit->markInterrupted("interrupted after " + std::to_string(settledCount) + " of " +
                           std::to_string(total) + " requests; " + std::to_string(total - settledCount) +
                           " not run");
}

bool RunTool::writeReport()
{
    if (!junit)
        return true;
    std::string error;
    if (junit->write(*junitOut, error))
        return true;
    std::fprintf(err, "tessel-run: cannot write %s: %s\n", arguments.junitFile.toLocal8Bit().constData(),
                 error.c_str());
    return false;
}

void RunTool::interrupt()
{
    if (ended || interrupted)
        return;
    interrupted = true;
    if (session && session->isRunning()) {
        reportNotRun(session->stop()); // `finish` follows
        return;
    }
    if (session)
        return; // finishing already
    if (!checkDone) {
        check->cancel = true;
        std::fprintf(err, "tessel-run: interrupted while %s was read and checked; nothing was sent\n",
                     arguments.runFile.toLocal8Bit().constData());
        if (junit)
            junit->markInterrupted("interrupted while the run file was checked; nothing was sent");
    } else {
        std::fprintf(err, "tessel-run: interrupted before any request was sent\n");
        reportNotRun({});
    }
    end(writeReport() ? SomeDiffer : BadInput);
}

void RunTool::showProgress()
{
    if (!progress)
        return;
    const qint64 settledCount = same + different + timedOut + errors;
    std::fprintf(out, "\r[%lld/%lld] %lld same, %lld not", static_cast<long long>(settledCount),
                 static_cast<long long>(total), static_cast<long long>(same),
                 static_cast<long long>(settledCount - same));
    std::fflush(out);
}

void RunTool::clearProgress()
{
    if (progress)
        std::fputs("\r\033[K", out);
}

} // namespace tessel
