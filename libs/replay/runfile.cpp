#include "replay/runfile.h"

#include "replay/checklistline.h"
#include "replay/quickline.h"

#include "history/historyentry.h"
#include "history/historyfile.h"
#include "requests/jsontext.h"

#include <nlohmann/json.hpp>

#include <QDateTime>

#include <algorithm>
#include <cstdint>
#include <unordered_set>

namespace tessel {
namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

std::string compact(const Json& value)
{
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// A request or a reply may be written by hand as JSON itself rather than as
// a JSON text holding it; it then stands in its compact form.
bool textOf(const Json& value, std::string& out)
{
    if (value.is_string())
        out = value.get<std::string>();
    else if (value.is_object() || value.is_array())
        out = compact(value);
    else
        return false;
    return true;
}

bool fail(RunFileFault& fault, std::string message)
{
    fault.column = 1;
    fault.message = std::move(message);
    return false;
}

bool resultsOf(const Json& value, std::vector<ResultRecord>& results, RunFileFault& fault)
{
    if (!value.is_array())
        return fail(fault, "member \"results\" must be a list");
    for (std::size_t i = 0; i < value.size(); ++i) {
        const Json& one = value[i];
        const std::string where = "result " + std::to_string(i + 1);
        if (!one.is_object())
            return fail(fault, where + " must be an object");
        ResultRecord result;
        for (auto it = one.begin(); it != one.end(); ++it) {
            switch (resultMember(it.key())) {
            case RunMember::Code:
                if (!it->is_number_integer() || it->get<std::int64_t>() < 0 ||
                    it->get<std::int64_t>() > 65535)
                    return fail(fault, where + ": \"code\" must be a whole number from 0 to 65535");
                result.code = it->get<int>();
                break;
            case RunMember::Reply:
                if (!textOf(*it, result.reply))
                    return fail(fault, where + ": \"reply\" must be a text, an object or a list");
                break;
            case RunMember::Ms:
                if (!it->is_number_integer())
                    return fail(fault, where + ": \"ms\" must be a whole number");
                result.ms = it->get<qint64>();
                break;
            default:
                return fail(fault, where + ": unknown member \"" + it.key() + "\"");
            }
        }
        if (!one.contains("code"))
            return fail(fault, where + " lacks member \"code\"");
        results.push_back(std::move(result));
    }
    return true;
}

bool ignoreOf(const Json& value, std::vector<std::string>& ignore, RunFileFault& fault)
{
    if (!value.is_array())
        return fail(fault, "member \"ignore\" must be a list of texts");
    for (const Json& entry : value) {
        if (!entry.is_string())
            return fail(fault, "member \"ignore\" must be a list of texts");
        ignore.push_back(entry.get<std::string>());
    }
    return true;
}

bool isBlank(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), isJsonBlank);
}

} // namespace

std::string RunFileFault::text() const
{
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + message;
}

std::optional<RunLine> parseRunLine(std::string_view text, RunFileFault& fault)
{
    RunLine line;
    if (QuickLine(text).read(line))
        return line;
    return parseRunLineFully(text, fault);
}

std::optional<RunLine> parseRunLineFully(std::string_view text, RunFileFault& fault)
{
    // Refused before anything is built: writing a value out recurses.
    const std::size_t deep = nestedBeyond(text);
    if (deep != std::string_view::npos) {
        fault.column = positionOf(text, deep).column;
        fault.message = "nested deeper than " + std::to_string(maxNesting) + " levels";
        return std::nullopt;
    }
    // The document keeps the last of a member given twice: the names are
    // watched while it is built.
    std::vector<std::unordered_set<std::string>> open; // member names of each object being read
    std::string twice;
    const Json::parser_callback_t watch = [&](int, Json::parse_event_t event, Json& parsed) {
        if (event == Json::parse_event_t::object_start)
            open.emplace_back();
        else if (event == Json::parse_event_t::object_end)
            open.pop_back();
        else if (event == Json::parse_event_t::key && !open.back().insert(parsed.get<std::string>()).second &&
                 twice.empty())
            twice = parsed.get<std::string>();
        return true;
    };
    Json object;
    try {
        object = Json::parse(text.begin(), text.end(), watch);
    } catch (const Json::parse_error& error) {
        // The parser counts bytes from 1 and names the byte it stopped at.
        const JsonFault at = positionOf(text, error.byte > 0 ? error.byte - 1 : 0);
        fault.column = at.column;
        const std::string what = error.what();
        const std::size_t colon = what.rfind(": ");
        fault.message = "not JSON: " + (colon == std::string::npos ? what : what.substr(colon + 2));
        return std::nullopt;
    } catch (const Json::out_of_range& error) {
        // A number beyond a double ("1e999"): the parser names it, not where it is.
        const std::string what = error.what();
        const std::size_t bracket = what.find("] ");
        fault.column = 1;
        fault.message = "not JSON: " + (bracket == std::string::npos ? what : what.substr(bracket + 2));
        return std::nullopt;
    }
    if (!object.is_object()) {
        fail(fault, "a line must be a JSON object");
        return std::nullopt;
    }
    if (!twice.empty()) {
        fail(fault, "member \"" + twice + "\" given twice");
        return std::nullopt;
    }
    RunLine line;
    bool ok = true;
    bool checklist = false;
    for (auto it = object.begin(); ok && it != object.end(); ++it) {
        const std::string& key = it.key();
        switch (lineMember(key)) {
        case RunMember::Operation:
            ok = it->is_string() && !it->get<std::string>().empty();
            if (ok)
                line.operation = it->get<std::string>();
            else
                fail(fault, "member \"operation\" must be a name such as \"getVolume()\"");
            break;
        case RunMember::Request:
            ok = textOf(*it, line.request);
            if (!ok)
                fail(fault, "member \"request\" must be a text, an object or a list");
            break;
        case RunMember::Results:
            ok = resultsOf(*it, line.results, fault);
            break;
        case RunMember::Ignore:
            ok = ignoreOf(*it, line.ignore, fault);
            break;
        case RunMember::Time:
        case RunMember::Sn:
        case RunMember::Batch:
            ok = it->is_string();
            if (!ok)
                fail(fault, "member \"" + key + "\" must be a text");
            break;
        case RunMember::Expect:
        case RunMember::ExpectCode:
        case RunMember::Capture:
        case RunMember::Until:
            checklist = true; // read once the rest of the line is good
            break;
        default:
            ok = fail(fault, "unknown member \"" + key + "\"");
        }
    }
    if (!ok)
        return std::nullopt;
    if (!object.contains("operation")) {
        fail(fault, "member \"operation\" is missing");
        return std::nullopt;
    }
    if (!object.contains("request")) {
        fail(fault, "member \"request\" is missing");
        return std::nullopt;
    }
    if (checklist && !readChecklistMembers(text, line, fault))
        return std::nullopt;
    return line;
}

RunLine runLineOf(const HistoryEntry& entry)
{
    RunLine line;
    line.operation = entry.operation.toStdString();
    line.request = entry.request.toStdString();
    line.recordedAtMs = entry.sentAtMs;
    for (const HistoryResult& result : entry.results)
        line.results.push_back(ResultRecord{result.code, result.reply.toStdString(), result.ms});
    return line;
}

std::vector<RunLine> runLinesOf(const std::vector<HistoryEntry>& entries)
{
    std::vector<RunLine> lines;
    lines.reserve(entries.size());
    for (const HistoryEntry& entry : entries)
        lines.push_back(runLineOf(entry));
    return lines;
}

std::string runFileLine(const RunLine& line, const std::string& request,
                        const std::vector<ResultRecord>& results, qint64 sentAtMs)
{
    // The members and their order are those of the history's export.
    OrderedJson out;
    QDateTime sent = QDateTime::fromMSecsSinceEpoch(sentAtMs);
    sent = sent.toOffsetFromUtc(sent.offsetFromUtc());
    out["time"] = sent.toString(Qt::ISODateWithMs).toStdString();
    out["sn"] = serialOfRequest(QByteArray::fromStdString(request)).toStdString();
    out["operation"] = line.operation;
    out["request"] = request;
    OrderedJson list = OrderedJson::array();
    for (const ResultRecord& result : results) {
        OrderedJson one;
        one["code"] = result.code;
        one["ms"] = result.ms;
        one["reply"] = result.reply;
        list.push_back(std::move(one));
    }
    out["results"] = std::move(list);
    if (!line.ignore.empty())
        out["ignore"] = line.ignore;
    writeChecklistMembers(line, out); // a checklist recorded keeps its checks
    return out.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

bool RunFileReader::open(const QString& path, std::string& error)
{
    file.setFileName(path);
    buffer.clear();
    start = 0;
    readError = false;
    lineNumber = 0;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}

bool RunFileReader::fill()
{
    // Chunks of the file's own reading go straight into the line buffer:
    // no copy per line beside the parse.
    constexpr qint64 chunk = 64 * 1024;
    if (start > 0) {
        buffer.erase(0, start);
        start = 0;
    }
    const std::size_t had = buffer.size();
    // A long line gets room for the longest one at once: it is copied once
    // more at most, and the room stays untouched until read into.
    if (had + chunk > buffer.capacity() && had >= (std::size_t(16) << 20))
        buffer.reserve(std::max(buffer.capacity(), longestLine + 2 + static_cast<std::size_t>(chunk)));
    buffer.resize(had + static_cast<std::size_t>(chunk));
    const qint64 got = file.read(buffer.data() + had, chunk);
    buffer.resize(had + static_cast<std::size_t>(std::max<qint64>(got, 0)));
    readError = got < 0;
    return got > 0;
}

RunFileReader::Step RunFileReader::next(RunLine& line, RunFileFault& fault)
{
    std::size_t searched = start;
    for (;;) {
        std::size_t end = buffer.find('\n', searched);
        if (end == std::string::npos) {
            if (buffer.size() - start > longestLine + 1) // one more for a '\r'
                return tooLong(lineNumber + 1, fault);
            searched = buffer.size() - start; // where to go on once `fill` moved the rest to the front
            if (fill()) {
                continue;
            }
            if (readError) {
                fault.line = lineNumber + 1;
                fault.column = 1;
                fault.message = "cannot read: " + file.errorString().toStdString();
                return Step::Fault;
            }
            if (start == buffer.size())
                return Step::End;
            end = buffer.size(); // the last line has no line end
        }
        std::string_view text(buffer.data() + start, end - start);
        start = std::min(end + 1, buffer.size());
        searched = start;
        ++lineNumber;
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        if (text.size() > longestLine)
            return tooLong(lineNumber, fault);
        if (lineNumber == 1 && text.substr(0, 3) == "\xEF\xBB\xBF")
            text.remove_prefix(3);
        if (isBlank(text))
            continue;
        std::optional<RunLine> parsed = parseRunLine(text, fault);
        if (!parsed) {
            fault.line = lineNumber;
            return Step::Fault;
        }
        line = std::move(*parsed);
        line.lineNumber = lineNumber;
        return Step::Line;
    }
}

RunFileReader::Step RunFileReader::tooLong(qint64 line, RunFileFault& fault) const
{
    fault.line = line;
    fault.column = 1;
    fault.message = "the line is longer than " + (longestLine % (1 << 20) == 0
                                                      ? std::to_string(longestLine >> 20) + " MiB"
                                                      : std::to_string(longestLine) + " bytes");
    return Step::Fault;
}

RunFileCheck checkRunFile(const QString& path, bool withSerials, const std::atomic<bool>* cancel)
{
    RunFileCheck check;
    RunFileReader reader;
    if (!reader.open(path, check.openError))
        return check;
    RunLine line;
    RunFileFault fault;
    std::unordered_set<std::string> seen; // the serials collected so far
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            check.cancelled = true;
            break;
        }
        const RunFileReader::Step step = reader.next(line, fault);
        if (step == RunFileReader::Step::End)
            break;
        if (step == RunFileReader::Step::Fault) {
            check.fault = fault;
            break;
        }
        ++check.requests;
        if (check.checklistLine == 0 && (line.expect || !line.capture.empty() || line.untilTries > 0))
            check.checklistLine = line.lineNumber;
        if (!withSerials)
            continue;
        std::string serial = serialOfRequest(QByteArray::fromStdString(line.request)).toStdString();
        if (serial.empty() || seen.count(serial))
            continue;
        if (check.serials.size() < maxSerials) {
            seen.insert(serial);
            check.serials.push_back(std::move(serial));
        } else {
            check.tooManySerials = true;
        }
    }
    return check;
}

} // namespace tessel
