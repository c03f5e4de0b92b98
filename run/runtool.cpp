#include "run/runtool.h"

#include "core/records.h"
#include "core/sdkinit.h"
#include "sdk/tesselcoreasync.h"

#include <QFileInfo>

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
    : QObject(parent), arguments(std::move(arguments)), out(out), err(err), progress(progress),
      runner(nullptr, nullptr, RequestRunner::Memory::UntilReleased),
      lifeline(std::make_shared<Lifeline<RunTool>>(this))
{}

RunTool::~RunTool()
{
    lifeline->sever();
}

void RunTool::start()
{
    startedAt = std::chrono::steady_clock::now();
    const QString& path = arguments.runFile;
    // The serials are only needed to log in to every terminal the requests name.
    const RunFileCheck check = checkRunFile(path, arguments.login && arguments.serial.isEmpty());
    if (!check.openError.empty())
        return fail("cannot read " + path.toStdString() + ": " + check.openError);
    if (check.fault)
        return fail(path.toStdString() + ": " + check.fault->text() + "; nothing was sent");
    total = check.requests;

    if (!arguments.junitFile.isEmpty()) {
        junit = std::make_unique<JUnitReport>(QFileInfo(path).completeBaseName());
        std::string error;
        if (!junit->open(error))
            return fail("--junit: " + error);
    }
    if (!arguments.recordFile.isEmpty()) {
        record = std::make_unique<QSaveFile>(arguments.recordFile);
        if (!record->open(QIODevice::WriteOnly))
            return fail("cannot write " + arguments.recordFile.toStdString() + ": " +
                        record->errorString().toStdString());
    }

    initSdk();

    if (!arguments.login)
        return replay();
    if (!arguments.serial.isEmpty()) {
        loginSerials.push_back(arguments.serial.toStdString());
    } else {
        if (check.tooManySerials)
            return fail("--login: the requests name more than " + std::to_string(maxSerials) +
                        " terminals; give --sn");
        loginSerials.assign(check.serials.begin(), check.serials.end());
    }
    if (loginSerials.empty())
        return fail("--login: no terminal to log in to: give --sn, or requests with a text \"sn\"");
    loginNext();
}

void RunTool::fail(const std::string& message)
{
    std::fprintf(err, "tessel-run: %s\n", message.c_str());
    end(BadInput);
}

void RunTool::loginNext()
{
    if (ended)
        return;
    if (loginSerials.empty())
        return replay();
    const std::string sn = loginSerials.front();
    loginSerials.pop_front();
    tsc::LoginData data;
    data.sn = sn;
    data.username = arguments.user.toStdString();
    data.password = arguments.password.toStdString();
    const std::string request = recordToJson(data);
    TesselCoreAsync::tsLoginAsync(
        request.c_str(), postedCallback(lifeline, [sn](RunTool& tool, int code, const std::string& reply) {
            tool.loggedIn(sn, code, reply);
        }));
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
    if (!reader.open(arguments.runFile, error))
        return fail("cannot read " + arguments.runFile.toStdString() + ": " + error);
    ReplayOptions options;
    options.serial = arguments.serial;
    options.ignore.add(arguments.ignore);
    options.timeoutMs = arguments.timeoutMs;
    options.graceMs = arguments.graceMs;
    options.concurrency = arguments.concurrency;
    auto source = [this](RunLine& line) {
        RunFileFault fault;
        const RunFileReader::Step step = reader.next(line, fault);
        if (step == RunFileReader::Step::Fault) // the file changed since it was checked
            std::fprintf(err, "tessel-run: %s: %s; the rest was not sent\n",
                         arguments.runFile.toLocal8Bit().constData(), fault.text().c_str());
        return step == RunFileReader::Step::Line;
    };
    session = std::make_unique<ReplaySession>(runner, std::move(options), std::move(source));
    connect(session.get(), &ReplaySession::settled, this, &RunTool::settled);
    connect(session.get(), &ReplaySession::finished, this, &RunTool::finish);
    showProgress();
    session->start();
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
    std::fprintf(out, "%s%lld requests: %lld same, %lld different, %lld timeout, %lld error (%.1f s)\n",
                 stopped ? "interrupted: " : "", static_cast<long long>(settledCount),
                 static_cast<long long>(same), static_cast<long long>(different),
                 static_cast<long long>(timedOut), static_cast<long long>(errors), seconds);
    int code = (stopped || settledCount != same) ? SomeDiffer : AllSame;
    if (junit) {
        std::string error;
        if (!junit->write(arguments.junitFile, error)) {
            std::fprintf(err, "tessel-run: cannot write %s: %s\n",
                         arguments.junitFile.toLocal8Bit().constData(), error.c_str());
            code = BadInput;
        }
    }
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

void RunTool::interrupt()
{
    if (ended || interrupted)
        return;
    interrupted = true;
    if (session && session->isRunning()) {
        session->stop();
        return;
    }
    if (!session) {
        std::fprintf(err, "tessel-run: interrupted before any request was sent\n");
        end(SomeDiffer);
    }
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

void RunTool::end(int code)
{
    if (ended)
        return;
    ended = true;
    std::fflush(out);
    // Queued: the caller may not have entered the event loop yet.
    QMetaObject::invokeMethod(
        this, [this, code] { emit done(code); }, Qt::QueuedConnection);
}

} // namespace tessel
