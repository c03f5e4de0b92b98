#include "replay/junitreport.h"

#include <QDateTime>
#include <QDir>
#include <QSaveFile>

#include <utility>

namespace tessel {
namespace {

// The failure message lists this many members; the body lists them all.
constexpr std::size_t membersInMessage = 10;

const auto seconds = junitSeconds;
const auto attribute = xmlAttribute;

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
    static const char replacement[] = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(text.size());
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
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
                if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                    out += replacement;
                else
                    out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        std::size_t length = 0;
        char32_t point = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            point = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            point = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            point = c & 0x07;
        }
        bool whole = length > 0 && i + length <= size;
        for (std::size_t k = 1; whole && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            whole = (next & 0xC0) == 0x80;
            point = (point << 6) | (next & 0x3F);
        }
        if (!whole || (length == 3 && point < 0x800) ||
            (length == 4 && (point < 0x10000 || point > 0x10FFFF))) {
            out += replacement; // not UTF-8: one mark per byte that starts nothing whole
            ++i;
            continue;
        }
        if ((point >= 0xD800 && point <= 0xDFFF) || point == 0xFFFE || point == 0xFFFF)
            out += replacement; // UTF-8, but no character XML 1.0 may hold
        else
            out.append(text, i, length);
        i += length;
    }
    return out;
}

std::string xmlAttribute(const char* name, const std::string& value)
{
    return std::string(" ") + name + "=\"" + xmlEscaped(value) + "\"";
}

std::string junitSeconds(qint64 ms)
{
    return QString::number(static_cast<double>(ms) / 1000.0, 'f', 3).toStdString();
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

void JUnitReport::addCase(const std::string& text)
{
    ++tests;
    cases->write(text.data(), static_cast<qint64>(text.size()));
}

void JUnitReport::add(const ReplayOutcome& outcome)
{
    if (!cases)
        return;
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
    addCase(text);
}

void JUnitReport::addSkipped(const ReplayOutcome& outcome, const std::string& reason)
{
    if (!cases)
        return;
    ++skipped;
    addCase("  <testcase" + attribute("classname", suiteName.toStdString()) +
            attribute("name", requestLabel(outcome)) + attribute("time", seconds(0)) + ">\n    <skipped" +
            attribute("message", reason) + "/>\n  </testcase>\n");
}

void JUnitReport::markInterrupted(const std::string& message)
{
    if (!cases || !interrupted.empty())
        return;
    interrupted = message.empty() ? std::string("interrupted") : message;
    ++errors;
    addCase("  <testcase" + attribute("classname", suiteName.toStdString()) +
            attribute("name", "run interrupted") + attribute("time", seconds(0)) + ">\n    <error" +
            attribute("type", "interrupted") + attribute("message", interrupted) + "/>\n  </testcase>\n");
}

bool JUnitReport::write(const QString& path, std::string& error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString().toStdString();
        return false;
    }
    return write(file, error);
}

bool JUnitReport::write(QSaveFile& file, std::string& error)
{
    if (!cases) {
        error = "no report was started";
        return false;
    }
    const QDateTime started = QDateTime::fromMSecsSinceEpoch(startedAtMs);
    const std::string head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuite" +
        attribute("name", suiteName.toStdString()) + attribute("tests", std::to_string(tests)) +
        attribute("failures", std::to_string(failures)) + attribute("errors", std::to_string(errors)) +
        attribute("skipped", std::to_string(skipped)) + attribute("time", seconds(totalMs)) +
        attribute("timestamp", started.toString(Qt::ISODate).toStdString()) + ">\n" +
        (interrupted.empty() ? std::string()
                             : "  <properties>\n    <property" + attribute("name", "interrupted") +
                                   attribute("value", "true") + "/>\n  </properties>\n");
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
