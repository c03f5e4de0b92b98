#include "tessel-run/fleettool.h"

#include "tessel-run/runcheck.h"
#include "tessel-run/runtool.h"

#include "replay/junitreport.h"
#include "replay/placeholders.h"
#include "requests/records.h"
#include "requests/sdkinit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <utility>

namespace tessel {
namespace {

// A checklist is held whole, once per terminal running.
constexpr std::size_t longestChecklist = 100000;
// Lines printed under a terminal; the JUnit report has them all.
constexpr std::size_t printedLines = 10;

// The column of the first malformed placeholder in line `number` of the file, 0 when not found.
int placeholderColumn(const QString& path, qint64 number)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    QByteArray text;
    for (qint64 i = 0; i < number && !file.atEnd(); ++i)
        text = file.readLine();
    int column = 0;
    std::string fault;
    return placeholderNames(text.toStdString(), column, fault) ? 0 : column;
}

} // namespace

FleetTool::FleetTool(RunArguments arguments, std::FILE* out, std::FILE* err, bool progress, QObject* parent)
    : ToolBase(out, err, progress, parent), arguments(std::move(arguments))
{}

FleetTool::~FleetTool() = default;

void FleetTool::start()
{
    startedAt = std::chrono::steady_clock::now();
    if (!openOutputs() || !readChecklist())
        return;
    if (arguments.all)
        return search();
    TargetsFault fault;
    std::string error;
    const std::string path = arguments.targetsFile.toStdString();
    std::optional<std::vector<Target>> read = readTargetsFile(arguments.targetsFile, fault, error);
    if (!read)
        return fail(error.empty() ? path + ": " + fault.text() + "; nothing was sent"
                                  : "cannot read " + path + ": " + error);
    targets = std::move(*read);
    chosen();
}

bool FleetTool::openOutputs()
{
    const QString& runFile = arguments.runFile;
    // Writing over the run file or the targets would lose them; two outputs
    // in one file would lose one of them.
    const std::vector<std::pair<const char*, QString>> outputs = {{"--junit", arguments.junitFile},
                                                                  {"--failed", arguments.failedFile}};
    const std::vector<QString> inputs = {runFile, arguments.targetsFile};
    for (const auto& output : outputs) {
        if (output.second.isEmpty())
            continue;
        for (const QString& input : inputs)
            if (!input.isEmpty() && sameFile(output.second, input)) {
                fail(std::string(output.first) + " " + output.second.toStdString() +
                     " is an input of the run; nothing was sent");
                return false;
            }
    }
    if (!arguments.junitFile.isEmpty() && !arguments.failedFile.isEmpty() &&
        sameFile(arguments.junitFile, arguments.failedFile)) {
        fail("--junit and --failed name one file, " + arguments.junitFile.toStdString() +
             "; nothing was sent");
        return false;
    }
    if (!arguments.failedFile.isEmpty()) {
        QSaveFile probe(arguments.failedFile);
        if (!probe.open(QIODevice::WriteOnly)) {
            fail("cannot write " + arguments.failedFile.toStdString() + ": " +
                 probe.errorString().toStdString() + "; nothing was sent");
            return false;
        }
        probe.cancelWriting();
    }
    for (const auto& folder : {std::make_pair("--record", arguments.recordFile),
                               std::make_pair("--baseline", arguments.baselineDir)}) {
        if (folder.second.isEmpty())
            continue;
        const bool recording = std::string(folder.first) == "--record";
        if (recording)
            QDir().mkpath(folder.second);
        const QFileInfo info(folder.second);
        if (!info.isDir() || (recording && !info.isWritable())) {
            fail(std::string(folder.first) + " " + folder.second.toStdString() +
                 (recording ? ": not a folder that can be written" : ": not a folder") +
                 "; nothing was sent");
            return false;
        }
    }
    if (arguments.listTargets || arguments.junitFile.isEmpty())
        return true;
    junit = std::make_unique<FleetJUnit>(QFileInfo(runFile).completeBaseName());
    std::string error;
    if (!junit->open(arguments.junitFile, error)) {
        fail("cannot write " + arguments.junitFile.toStdString() + ": " + error + "; nothing was sent");
        return false;
    }
    return true;
}

bool FleetTool::readChecklist()
{
    const std::string path = arguments.runFile.toStdString();
    if (QFileInfo(arguments.runFile).isDir()) {
        fail("cannot read " + path + ": it is a folder");
        return false;
    }
    RunFileReader reader;
    std::string error;
    if (!reader.open(arguments.runFile, error)) {
        fail("cannot read " + path + ": " + error);
        return false;
    }
    RunLine line;
    RunFileFault fault;
    RunFileReader::Step step;
    while ((step = reader.next(line, fault)) == RunFileReader::Step::Line) {
        if (lines.size() == longestChecklist) {
            fail(path + ": more than " + std::to_string(longestChecklist) +
                 " lines, more than a fleet run holds; nothing was sent");
            return false;
        }
        lines.push_back(std::move(line));
    }
    if (step == RunFileReader::Step::Fault) {
        fail(path + ": " + fault.text() + "; nothing was sent");
        return false;
    }
    if (lines.empty()) {
        fail("no request in " + path);
        return false;
    }
    return true;
}

void FleetTool::search()
{
    initSdk();
    searching = std::make_unique<SearchProgress>();
    connect(searching.get(), &SearchProgress::settled, this, [this] {
        if (!ended && searching)
            chosen();
    });
    searching->started();
    TerminalActions::Listener listener;
    listener.receiver = this;
    listener.answer = [this](int code, const std::string& reply) {
        searchReply(code, reply);
    };
    services.terminalActions().searchAll(std::move(listener));
}

void FleetTool::searchReply(int code, const std::string& reply)
{
    if (!searching || !searching->running())
        return; // too late: the targets are chosen
    searching->replied();
    tsc::SearchResponseData record;
    if (code != 0 || !recordFromJson(reply, record) || record.sn.empty())
        return;
    const bool known = std::any_of(targets.begin(), targets.end(),
                                   [&record](const Target& target) { return target.sn == record.sn; });
    if (known)
        return; // a terminal that answered twice
    Target target;
    target.sn = record.sn;
    target.name = record.name;
    target.ip = record.ip;
    // What the search says of the screen, so that a checklist written for a
    // targets file with these columns runs on the found terminals too.
    target.variables = {{"width", std::to_string(record.width)}, {"height", std::to_string(record.height)}};
    targets.push_back(std::move(target));
}

void FleetTool::chosen()
{
    searching.reset();
    if (!arguments.limit.empty())
        targets = limitTargets(std::move(targets), arguments.limit);
    if (arguments.shardN > 0)
        targets = shardOf(std::move(targets), arguments.shardK, arguments.shardN);
    const std::string source =
        arguments.all ? std::string("the search") : arguments.targetsFile.toStdString();
    if (targets.empty()) {
        if (arguments.listTargets || arguments.shardN > 0) {
            // An empty part of a small fleet is no fault of a CI job.
            if (!arguments.listTargets)
                std::fprintf(out, "no terminal in shard %d/%d\n", arguments.shardK, arguments.shardN);
            return finish(false);
        }
        return fail(arguments.limit.empty() ? "no terminal in " + source
                                            : "no terminal of " + source + " matches --limit");
    }
    if (const auto fault = placeholderFault(lines, targets)) {
        std::string where = "line " + std::to_string(fault->line);
        if (const int column = fault->malformed ? placeholderColumn(arguments.runFile, fault->line) : 0)
            where += ", column " + std::to_string(column);
        return fail(arguments.runFile.toStdString() + ": " + where + ": " + fault->message +
                    "; nothing was sent");
    }
    if (arguments.login && arguments.password.isNull()) {
        for (const Target& target : targets)
            if (!target.variable("password"))
                return fail("--login " + arguments.user.toStdString() + ": no password for " + target.sn +
                            ": give USER:PASSWORD, TESSEL_RUN_PASSWORD or a \"password\" column");
    }
    if (arguments.listTargets) {
        for (const Target& target : targets)
            std::fprintf(out, "%s\n", targetLine(target).c_str());
        std::fflush(out);
        return end(RunTool::AllSame);
    }
    if (!arguments.failedFile.isEmpty())
        rows = targets;
    passedPerLine.assign(lines.size(), 0);

    if (!arguments.all)
        initSdk();
    FleetOptions options;
    options.parallel = arguments.parallel;
    options.wave = arguments.wave;
    options.maxFail = arguments.maxFail;
    options.retries = arguments.retries;
    options.login = arguments.login;
    options.user = QString::fromUtf8(arguments.user);
    options.password = QString::fromUtf8(arguments.password);
    options.ignore.add(arguments.ignore);
    options.timeoutMs = arguments.timeoutMs;
    options.graceMs = arguments.graceMs;
    options.baselineDir = arguments.baselineDir;
    std::fprintf(out, "%zu %s on %zu %s, %d at a time\n", lines.size(), lines.size() == 1 ? "line" : "lines",
                 targets.size(), targets.size() == 1 ? "terminal" : "terminals",
                 std::min<int>(options.parallel, static_cast<int>(targets.size())));
    std::fflush(out);
    run = std::make_unique<FleetRun>(services.requestRunner(), services.terminalActions(), lines,
                                     std::move(targets), std::move(options));
    targets.clear();
    connect(run.get(), &FleetRun::terminalDone, this, &FleetTool::terminalDone);
    connect(run.get(), &FleetRun::finished, this, &FleetTool::finish);
    showProgress();
    run->start();
}

void FleetTool::terminalDone(const TerminalReport& report)
{
    ++byVerdict[static_cast<int>(report.verdict)];
    if (report.verdict != TerminalVerdict::Passed)
        failedRows.push_back(report.index);
    for (const LineReport& line : report.lines)
        if (line.run && line.outcome.verdict == Verdict::Same)
            ++passedPerLine[static_cast<std::size_t>(line.outcome.number) - 1];
    clearProgress();
    std::string word = verdictWord(report.verdict);
    word.resize(9, ' ');
    const Target& target = report.target;
    std::fprintf(out, "%s%s%s%s", word.c_str(), target.sn.c_str(), target.name.empty() ? "" : " ",
                 target.name.c_str());
    if (report.verdict == TerminalVerdict::Skipped) {
        std::fprintf(out, "  %s\n", report.message.c_str());
    } else {
        std::fprintf(out, "  %zu same, %zu different  %lld ms\n", report.count(Verdict::Same),
                     report.count(Verdict::Different), static_cast<long long>(report.ms));
        if (!report.message.empty())
            std::fprintf(out, "         %s\n", report.message.c_str());
        std::size_t printed = 0;
        for (const LineReport& line : report.lines) {
            const ReplayOutcome& outcome = line.outcome;
            if (line.run && outcome.verdict == Verdict::Same)
                continue;
            if (printed++ == printedLines) {
                std::fputs("         …\n", out);
                break;
            }
            const std::string label = requestLabel(outcome);
            if (!line.run || outcome.verdict == Verdict::Error) {
                std::fprintf(out, "         %s: %s\n", label.c_str(), outcome.message.c_str());
            } else if (outcome.verdict == Verdict::Timeout) {
                std::fprintf(out, "         %s: no answer within %lld ms\n", label.c_str(),
                             static_cast<long long>(outcome.ms));
            } else {
                for (const Difference& difference : outcome.differences)
                    std::fprintf(out, "         %s: %s: expected %s, now %s\n", label.c_str(),
                                 difference.path.c_str(), difference.recorded.c_str(),
                                 difference.current.c_str());
            }
        }
    }
    std::fflush(out); // a build log shows each terminal as it finishes
    if (junit)
        junit->add(report);
    record(report);
    showProgress();
}

// DIR/SERIAL.jsonl: the checklist with this terminal's new results, a
// baseline for --baseline. A terminal cut short writes none: a part of a
// baseline would pass for a whole one.
void FleetTool::record(const TerminalReport& report)
{
    if (arguments.recordFile.isEmpty() || report.verdict == TerminalVerdict::Skipped)
        return;
    const bool whole = std::all_of(report.lines.begin(), report.lines.end(),
                                   [](const LineReport& line) { return line.run; });
    if (!whole) {
        ++notRecorded;
        return;
    }
    const QString path = QDir(arguments.recordFile).filePath(runFileNameOf(report.target.sn));
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        for (const LineReport& line : report.lines) {
            const ReplayOutcome& outcome = line.outcome;
            const std::string text =
                outcome.verdict == Verdict::Error
                    ? runFileLine(outcome.line, outcome.line.request, outcome.line.results, outcome.sentAtMs)
                    : runFileLine(outcome.line, outcome.sentRequest, outcome.results, outcome.sentAtMs);
            file.write(text.data(), static_cast<qint64>(text.size()));
        }
        if (file.commit())
            return;
    }
    if (outputFault.empty())
        outputFault = "cannot write " + path.toStdString() + ": " + file.errorString().toStdString();
}

void FleetTool::finish(bool stopped)
{
    clearProgress();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - startedAt).count();
    const std::size_t total = byVerdict[0] + byVerdict[1] + byVerdict[2] + byVerdict[3];
    std::fprintf(out, "%s%zu %s: %zu passed, %zu failed, %zu error, %zu skipped (%.1f s)\n",
                 stopped ? "interrupted: " : "", total, total == 1 ? "terminal" : "terminals", byVerdict[0],
                 byVerdict[1], byVerdict[2], byVerdict[3], seconds);
    const std::size_t ran = total - byVerdict[3];
    for (std::size_t i = 0; i < passedPerLine.size() && ran > 0; ++i) {
        ReplayOutcome outcome;
        outcome.number = static_cast<qint64>(i) + 1;
        outcome.line = lines[i];
        std::fprintf(out, "  %s: passed on %zu of %zu\n", requestLabel(outcome).c_str(), passedPerLine[i],
                     ran);
    }
    int code = (stopped || byVerdict[0] != total) ? RunTool::SomeDiffer : RunTool::AllSame;
    std::string error;
    if (junit) {
        if (stopped)
            junit->markInterrupted("interrupted after " + std::to_string(ran) + " terminals; " +
                                   std::to_string(byVerdict[3]) + " not started");
        if (!junit->close(error)) {
            std::fprintf(err, "tessel-run: cannot write %s: %s\n",
                         arguments.junitFile.toLocal8Bit().constData(), error.c_str());
            code = RunTool::BadInput;
        }
    }
    if (!arguments.failedFile.isEmpty()) {
        std::vector<Target> failed;
        failed.reserve(failedRows.size());
        std::sort(failedRows.begin(), failedRows.end());
        for (const std::size_t index : failedRows) {
            Target target = rows[index];
            // A rerun logs in with --login or TESSEL_RUN_PASSWORD: secrets are never written.
            target.variables.erase(
                std::remove_if(target.variables.begin(), target.variables.end(),
                               [](const auto& variable) { return isSecretColumn(variable.first); }),
                target.variables.end());
            failed.push_back(std::move(target));
        }
        const QString fault = writeTargetsFile(arguments.failedFile, failed);
        if (!fault.isEmpty()) {
            std::fprintf(err, "tessel-run: %s\n", fault.toLocal8Bit().constData());
            code = RunTool::BadInput;
        }
    }
    if (notRecorded > 0)
        std::fprintf(err, "tessel-run: --record: %zu terminals cut short were not written\n", notRecorded);
    if (!outputFault.empty()) {
        std::fprintf(err, "tessel-run: %s\n", outputFault.c_str());
        code = RunTool::BadInput;
    }
    end(code);
}

void FleetTool::interrupt()
{
    if (ended || interrupted)
        return;
    interrupted = true;
    if (run && run->isRunning())
        return run->stop(); // `finish` follows
    if (run)
        return; // finishing already
    std::fprintf(err, "tessel-run: interrupted before any request was sent\n");
    if (junit) {
        junit->markInterrupted("interrupted before any request was sent");
        std::string error;
        junit->close(error);
    }
    end(RunTool::SomeDiffer);
}

void FleetTool::showProgress()
{
    if (!progress || !run)
        return;
    const std::size_t done = byVerdict[0] + byVerdict[1] + byVerdict[2] + byVerdict[3];
    std::fprintf(out, "\r[%zu/%zu terminals] %zu passed, %zu not, %zu running", done, run->terminals(),
                 byVerdict[0], done - byVerdict[0], run->runningNow());
    std::fflush(out);
}

void FleetTool::clearProgress()
{
    if (progress && run)
        std::fputs("\r\033[K", out);
}

} // namespace tessel
