#include "history/historyfile.h"

#include "history/requestserial.h"

#include <nlohmann/json.hpp>

#include <QDateTime>
#include <QIODevice>
#include <QSaveFile>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace tessel {
namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

constexpr char formatKey[] = "tessel-console-history";

std::string utf8(const QString& text)
{
    return text.toStdString();
}

QString qtext(const Json& value)
{
    return QString::fromStdString(value.get<std::string>());
}

// Texts that came from the SDK may hold anything; a bad sequence must not
// stop the line from being written.
QByteArray lineOf(const OrderedJson& object)
{
    QByteArray line = QByteArray::fromStdString(object.dump(-1, ' ', false, Json::error_handler_t::replace));
    line.append('\n');
    return line;
}

bool isText(const Json& object, const char* key)
{
    const auto found = object.find(key);
    return found != object.end() && found->is_string();
}

// An integer of the line that fits in [low, high]; a larger one would be cut down.
bool integerIn(const Json& object, const char* key, qint64 low, qint64 high, qint64* value)
{
    const auto found = object.find(key);
    if (found == object.end() || !found->is_number_integer())
        return false;
    if (found->is_number_unsigned()) {
        const auto number = found->get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(high))
            return false;
        *value = static_cast<qint64>(number);
    } else {
        *value = found->get<std::int64_t>();
    }
    return *value >= low && *value <= high;
}

std::optional<HistoryEntry> sendOf(const Json& line)
{
    qint64 at = 0;
    if (!isText(line, "id") || !integerIn(line, "at", 0, std::numeric_limits<qint64>::max(), &at) ||
        !isText(line, "sn") || !isText(line, "op") || !isText(line, "request"))
        return std::nullopt;
    HistoryEntry entry;
    entry.id = qtext(line["id"]);
    entry.sentAtMs = at;
    entry.serial = qtext(line["sn"]);
    entry.operation = qtext(line["op"]);
    entry.request = qtext(line["request"]);
    return entry;
}

std::optional<HistoryResult> resultOf(const Json& line)
{
    qint64 code = 0;
    qint64 ms = 0;
    if (!isText(line, "id") ||
        !integerIn(line, "code", std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), &code) ||
        !integerIn(line, "ms", 0, std::numeric_limits<qint64>::max(), &ms) || !isText(line, "reply"))
        return std::nullopt;
    HistoryResult result;
    result.code = static_cast<int>(code);
    result.ms = ms;
    result.reply = qtext(line["reply"]);
    return result;
}

// The version of a format line, else 0.
int headerVersion(const Json& line)
{
    qint64 version = 0;
    if (line.size() != 1 || !integerIn(line, formatKey, 1, std::numeric_limits<int>::max(), &version))
        return 0;
    return static_cast<int>(version);
}

} // namespace

QString serialOfRequest(const QByteArray& requestText)
{
    const RequestSerial serial = readRequestSerial(
        std::string_view(requestText.constData(), static_cast<std::size_t>(requestText.size())));
    return serial.text ? QString::fromStdString(*serial.text) : QString();
}

HistoryLine parseHistoryLine(const QByteArray& text)
{
    HistoryLine line;
    if (text.isEmpty() || (text.size() == 1 && text[0] == '\r'))
        return line;
    line.kind = HistoryLine::Kind::Damaged;
    const Json object = Json::parse(text.constData(), text.constData() + text.size(), nullptr, false);
    if (!object.is_object())
        return line;
    if (const int version = headerVersion(object)) {
        line.kind = HistoryLine::Kind::Header;
        line.version = version;
    } else if (object.contains("op")) {
        if (std::optional<HistoryEntry> send = sendOf(object)) {
            line.kind = HistoryLine::Kind::Send;
            line.entry = std::move(*send);
        }
    } else if (std::optional<HistoryResult> result = resultOf(object)) {
        line.kind = HistoryLine::Kind::Result;
        line.id = qtext(object["id"]);
        line.result = std::move(*result);
    }
    return line;
}

HistoryImportCounts importHistoryLines(QIODevice& device, const HistoryImportSink& sink, qint64 longestLine)
{
    HistoryImportCounts counts;
    qint64 lineNumber = 0;
    // False once the reading is to end.
    auto take = [&](const QByteArray& text) {
        HistoryLine line = parseHistoryLine(text);
        switch (line.kind) {
        case HistoryLine::Kind::Blank:
            break;
        case HistoryLine::Kind::Header:
            if (line.version > historyFileVersion) {
                counts.newerVersion = line.version;
                counts.newerAtLine = lineNumber;
                return false;
            }
            break;
        case HistoryLine::Kind::Send:
            ++counts.sends;
            sink.send(lineNumber, line.entry);
            break;
        case HistoryLine::Kind::Result:
            ++counts.results;
            sink.result(lineNumber, line.id, line.result);
            break;
        case HistoryLine::Kind::Damaged:
            ++counts.damaged;
            sink.damaged(lineNumber);
            break;
        }
        return !sink.more || sink.more();
    };
    // Lines are gathered a chunk at a time, so that a line far too long is
    // skipped instead of filling the memory.
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    QByteArray line;
    bool tooLong = false;
    for (;;) {
        const qint64 got = device.readLine(chunk.data(), chunk.size());
        if (got <= 0) {
            if (!line.isEmpty() || tooLong) { // the last line, without its line end
                ++lineNumber;
                if (tooLong) {
                    ++counts.damaged;
                    sink.damaged(lineNumber);
                } else {
                    take(line);
                }
            }
            break;
        }
        const bool ended = chunk[int(got) - 1] == '\n';
        if (!tooLong) {
            if (line.size() + got - (ended ? 1 : 0) > longestLine) {
                tooLong = true;
                line.clear();
            } else {
                line.append(chunk.constData(), int(got) - (ended ? 1 : 0));
            }
        }
        if (!ended)
            continue;
        ++lineNumber;
        bool going = true;
        if (tooLong) {
            ++counts.damaged;
            sink.damaged(lineNumber);
            going = !sink.more || sink.more();
        } else {
            going = take(line);
        }
        line.clear();
        tooLong = false;
        if (!going)
            break;
    }
    return counts;
}

QByteArray historyExportLine(const HistoryEntry& entry)
{
    OrderedJson line;
    // Local time with its offset, so that the line reads the same anywhere.
    QDateTime sent = QDateTime::fromMSecsSinceEpoch(entry.sentAtMs);
    sent = sent.toOffsetFromUtc(sent.offsetFromUtc());
    line["time"] = utf8(sent.toString(Qt::ISODateWithMs));
    line["sn"] = utf8(entry.serial);
    line["operation"] = utf8(entry.operation);
    line["request"] = utf8(entry.request);
    if (!entry.batch.isEmpty())
        line["batch"] = utf8(entry.batch);
    OrderedJson results = OrderedJson::array();
    for (const HistoryResult& result : entry.results) {
        OrderedJson one;
        one["code"] = result.code;
        one["ms"] = result.ms;
        one["reply"] = utf8(result.reply);
        results.push_back(std::move(one));
    }
    line["results"] = std::move(results);
    return lineOf(line);
}

bool exportHistory(const QString& path, const HistoryEntries& entries, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    for (const HistoryEntry& entry : entries)
        file.write(historyExportLine(entry));
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace tessel
