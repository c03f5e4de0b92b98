#include "replay/junitreport.h"

#include <QDateTime>
#include <QDir>
#include <QSaveFile>

#include <utility>

namespace tessel {
namespace {

// The failure message lists this many members; the body lists them all.
constexpr std::size_t membersInMessage = 10;

std::string seconds(qint64 ms)
{
    return QString::number(static_cast<double>(ms) / 1000.0, 'f', 3).toStdString();
}

std::string attribute(const char* name, const std::string& value)
{
    return std::string(" ") + name + "=\"" + xmlEscaped(value) + "\"";
}

std::string failureOf(const ReplayOutcome& outcome)
{
    std::string message, body;
    const char* type = "different";
    if (outcome.verdict == Verdict::Timeout) {
        type = "timeout";
        message = std::to_string(outcome.results.size()) + " of " +
                  std::to_string(std::max<std::size_t>(1, outcome.line.results.size())) + " results within " +
                  std::to_string(outcome.ms) + " ms";
    } else {
        message = "differs: ";
        for (std::size_t i = 0; i < outcome.differences.size() && i < membersInMessage; ++i)
            message += (i ? ", " : "") + outcome.differences[i].path;
        if (outcome.differences.size() > membersInMessage)
            message += ", …";
    }
    for (const Difference& difference : outcome.differences)
        body += difference.path + ": recorded " + difference.recorded + ", now " + difference.current + "\n";
    return "    <failure" + attribute("type", type) + attribute("message", message) + ">" + xmlEscaped(body) +
           "</failure>\n";
}

} // namespace

std::string xmlEscaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
                out += "\xEF\xBF\xBD";
            else
                out += c;
        }
    }
    return out;
}

std::string requestLabel(const ReplayOutcome& outcome)
{
    const std::string where = outcome.line.lineNumber > 0 ? "line " + std::to_string(outcome.line.lineNumber)
                                                          : "#" + std::to_string(outcome.number);
    return where + ": " + outcome.line.operation;
}

JUnitReport::JUnitReport(QString suiteName) : suiteName(std::move(suiteName)) {}

JUnitReport::~JUnitReport() = default;

bool JUnitReport::open(std::string& error)
{
    cases = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/tessel-junit-XXXXXX"));
    if (!cases->open()) {
        error = "cannot create a scratch file in " + QDir::tempPath().toStdString() + ": " +
                cases->errorString().toStdString();
        cases.reset();
        return false;
    }
    startedAtMs = QDateTime::currentMSecsSinceEpoch();
    return true;
}

void JUnitReport::add(const ReplayOutcome& outcome)
{
    if (!cases)
        return;
    ++tests;
    totalMs += outcome.ms;
    std::string text = "  <testcase" + attribute("classname", suiteName.toStdString()) +
                       attribute("name", requestLabel(outcome)) + attribute("time", seconds(outcome.ms));
    const std::string note = outcome.verdict != Verdict::Error && anyReplyCut(outcome.line.results)
                                 ? "    <system-out>" + xmlEscaped(replyCutNote) + "</system-out>\n"
                                 : std::string();
    switch (outcome.verdict) {
    case Verdict::Same:
        text += note.empty() ? "/>\n" : ">\n" + note + "  </testcase>\n";
        break;
    case Verdict::Error:
        ++errors;
        text += ">\n    <error" + attribute("type", "error") + attribute("message", outcome.message) +
                "/>\n  </testcase>\n";
        break;
    case Verdict::Different:
    case Verdict::Timeout:
        ++failures;
        text += ">\n" + failureOf(outcome) + note + "  </testcase>\n";
        break;
    }
    cases->write(text.data(), static_cast<qint64>(text.size()));
}

bool JUnitReport::write(const QString& path, std::string& error)
{
    if (!cases) {
        error = "no report was started";
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString().toStdString();
        return false;
    }
    const QDateTime started = QDateTime::fromMSecsSinceEpoch(startedAtMs);
    const std::string head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuite" +
        attribute("name", suiteName.toStdString()) + attribute("tests", std::to_string(tests)) +
        attribute("failures", std::to_string(failures)) + attribute("errors", std::to_string(errors)) +
        attribute("skipped", "0") + attribute("time", seconds(totalMs)) +
        attribute("timestamp", started.toString(Qt::ISODate).toStdString()) + ">\n";
    file.write(head.data(), static_cast<qint64>(head.size()));
    cases->flush();
    cases->seek(0);
    while (!cases->atEnd())
        file.write(cases->read(1 << 20));
    file.write("</testsuite>\n");
    cases->seek(cases->size());
    if (!file.commit()) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}

} // namespace tessel
