#include "fleet/fleetjunit.h"

#include "replay/junitreport.h"

#include <QDateTime>

#include <utility>

namespace tessel {
namespace {

// The failure message lists this many members; the body lists them all.
constexpr std::size_t membersInMessage = 10;

const auto seconds = junitSeconds;
const auto attribute = xmlAttribute;

std::string suiteName(const Target& target)
{
    return target.name.empty() ? target.sn : target.sn + " " + target.name;
}

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ";") + name;
    return text;
}

std::string testCase(const TerminalReport& report, const LineReport& line)
{
    const ReplayOutcome& outcome = line.outcome;
    std::string text = "    <testcase" + attribute("classname", report.target.sn) +
                       attribute("name", requestLabel(outcome)) + attribute("time", seconds(outcome.ms));
    if (report.verdict == TerminalVerdict::Skipped)
        return text + ">\n      <skipped" + attribute("message", report.message) + "/>\n    </testcase>\n";
    if (!line.run || outcome.verdict == Verdict::Error)
        return text + ">\n      <error" + attribute("type", "not sent") +
               attribute("message", outcome.message) + "/>\n    </testcase>\n";
    if (outcome.verdict == Verdict::Timeout)
        return text + ">\n      <error" + attribute("type", "timeout") +
               attribute("message",
                         std::to_string(outcome.results.size()) + " of " +
                             std::to_string(std::max<std::size_t>(1, outcome.line.results.size())) +
                             " results within " + std::to_string(outcome.ms) + " ms") +
               "/>\n    </testcase>\n";
    if (outcome.verdict == Verdict::Same)
        return text + "/>\n";
    std::string message = "differs: ", body;
    for (std::size_t i = 0; i < outcome.differences.size(); ++i) {
        const Difference& difference = outcome.differences[i];
        if (i < membersInMessage)
            message += (i ? ", " : "") + difference.path;
        body += difference.path + ": expected " + difference.recorded + ", now " + difference.current + "\n";
    }
    if (outcome.differences.size() > membersInMessage)
        message += ", …";
    return text + ">\n      <failure" + attribute("type", "different") + attribute("message", message) + ">" +
           xmlEscaped(body) + "</failure>\n    </testcase>\n";
}

} // namespace

FleetJUnit::FleetJUnit(QString runName) : runName(std::move(runName)) {}

FleetJUnit::~FleetJUnit() = default;

bool FleetJUnit::open(const QString& path, std::string& error)
{
    file = std::make_unique<QSaveFile>(path);
    if (!file->open(QIODevice::WriteOnly)) {
        error = file->errorString().toStdString();
        file.reset();
        return false;
    }
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites" +
                             attribute("name", runName.toStdString()) + ">\n";
    file->write(head.data(), static_cast<qint64>(head.size()));
    return true;
}

std::string FleetJUnit::suite(const TerminalReport& report)
{
    std::size_t failures = 0, errors = 0;
    for (const LineReport& line : report.lines) {
        if (!line.run || line.outcome.verdict == Verdict::Error || line.outcome.verdict == Verdict::Timeout)
            ++errors;
        else if (line.outcome.verdict == Verdict::Different)
            ++failures;
    }
    const bool skipped = report.verdict == TerminalVerdict::Skipped;
    if (skipped)
        errors = 0;
    const Target& target = report.target;
    std::string text = "  <testsuite" + attribute("name", suiteName(target)) +
                       attribute("tests", std::to_string(report.lines.size())) +
                       attribute("failures", std::to_string(failures)) +
                       attribute("errors", std::to_string(errors)) +
                       attribute("skipped", std::to_string(skipped ? report.lines.size() : 0)) +
                       attribute("time", seconds(report.ms));
    if (report.startedAtMs > 0)
        text +=
            attribute("timestamp",
                      QDateTime::fromMSecsSinceEpoch(report.startedAtMs).toString(Qt::ISODate).toStdString());
    text += ">\n    <properties>\n";
    const auto property = [&text](const char* name, const std::string& value) {
        text += "      <property" + attribute("name", name) + attribute("value", value) + "/>\n";
    };
    property("sn", target.sn);
    property("name", target.name);
    property("ip", target.ip);
    property("groups", joined(target.groups));
    property("verdict", verdictWord(report.verdict));
    if (!report.message.empty() && !skipped)
        property("message", report.message);
    text += "    </properties>\n";
    for (const LineReport& line : report.lines)
        text += testCase(report, line);
    return text + "  </testsuite>\n";
}

void FleetJUnit::add(const TerminalReport& report)
{
    if (!file)
        return;
    const std::string text = suite(report);
    file->write(text.data(), static_cast<qint64>(text.size()));
}

void FleetJUnit::markInterrupted(const std::string& message)
{
    if (!file || interrupted)
        return;
    interrupted = true;
    const std::string text =
        "  <testsuite" + attribute("name", "run interrupted") + " tests=\"1\" failures=\"0\"" +
        " errors=\"1\" skipped=\"0\" time=\"0.000\">\n    <properties>\n      <property" +
        attribute("name", "interrupted") + attribute("value", "true") +
        "/>\n    </properties>\n    <testcase" + attribute("classname", runName.toStdString()) +
        attribute("name", "run interrupted") + " time=\"0.000\">\n      <error" +
        attribute("type", "interrupted") + attribute("message", message) +
        "/>\n    </testcase>\n  </testsuite>\n";
    file->write(text.data(), static_cast<qint64>(text.size()));
}

bool FleetJUnit::close(std::string& error)
{
    if (!file) {
        error = "no report was started";
        return false;
    }
    file->write("</testsuites>\n");
    const bool written = file->commit();
    if (!written)
        error = file->errorString().toStdString();
    file.reset();
    return written;
}

} // namespace tessel
