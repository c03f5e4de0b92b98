#include "history/historyfile.h"

#include "history/historylist.h"

#include <nlohmann/json.hpp>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>
#include <string>

namespace tessel {
namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

constexpr char formatKey[] = "tessel-console-history";
constexpr int formatVersion = 1;

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

// A JSON string of the text's UTF-8 bytes (QString gives valid UTF-8).
void appendJsonText(QByteArray& out, const QString& text)
{
    static const char hex[] = "0123456789abcdef";
    const QByteArray bytes = text.toUtf8();
    out += '"';
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += "\\u00";
                out += hex[byte >> 4];
                out += hex[byte & 0xf];
            }
        } else {
            out += c;
        }
    }
    out += '"';
}

bool isText(const Json& object, const char* key)
{
    const auto found = object.find(key);
    return found != object.end() && found->is_string();
}

bool isInteger(const Json& object, const char* key)
{
    const auto found = object.find(key);
    return found != object.end() && found->is_number_integer();
}

std::optional<HistoryEntry> sendOf(const Json& line)
{
    if (!isText(line, "id") || !isInteger(line, "at") || !isText(line, "sn") || !isText(line, "op") ||
        !isText(line, "request"))
        return std::nullopt;
    HistoryEntry entry;
    entry.id = qtext(line["id"]);
    entry.sentAtMs = line["at"].get<qint64>();
    entry.serial = qtext(line["sn"]);
    entry.operation = qtext(line["op"]);
    entry.request = qtext(line["request"]);
    return entry;
}

std::optional<HistoryResult> resultOf(const Json& line)
{
    if (!isText(line, "id") || !isInteger(line, "code") || !isInteger(line, "ms") || !isText(line, "reply"))
        return std::nullopt;
    HistoryResult result;
    result.code = line["code"].get<int>();
    result.ms = line["ms"].get<qint64>();
    result.reply = qtext(line["reply"]);
    return result;
}

bool isHeader(const QByteArray& line)
{
    const Json header = Json::parse(line.constData(), line.constData() + line.size(), nullptr, false);
    return header.is_object() && isInteger(header, formatKey) &&
           header[formatKey].get<int>() == formatVersion;
}

// Renames the file out of the way and says so in one line.
QString setAside(const QString& path, const QString& why, bool* moved)
{
    const QString base = path + QStringLiteral(".damaged-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = base;
    for (int n = 2; QFile::exists(aside) && n < 100; ++n)
        aside = base + QLatin1Char('-') + QString::number(n);
    *moved = QFile::rename(path, aside);
    if (!*moved)
        return QStringLiteral("历史文件%1，且无法移开（%2），本次的历史不会保存").arg(why, path);
    return QStringLiteral("历史文件%1，已另存为 %2，重新开始记录").arg(why, QFileInfo(aside).fileName());
}

} // namespace

QByteArray historyHeaderLine()
{
    OrderedJson header;
    header[formatKey] = formatVersion;
    return lineOf(header);
}

QByteArray historySendLine(const HistoryEntry& entry)
{
    OrderedJson line;
    line["id"] = utf8(entry.id);
    line["at"] = entry.sentAtMs;
    line["sn"] = utf8(entry.serial);
    line["op"] = utf8(entry.operation);
    line["request"] = utf8(entry.request);
    return lineOf(line);
}

// Written by hand, not through a JSON object: a flood of results makes this
// the hot path, and the texts are the only parts that need escaping.
QByteArray historyResultLine(const QString& id, const HistoryResult& result)
{
    QByteArray line;
    line.reserve(48 + id.size() + result.reply.size() * 3 / 2);
    line += "{\"id\":";
    appendJsonText(line, id);
    line += ",\"code\":";
    line += QByteArray::number(result.code);
    line += ",\"ms\":";
    line += QByteArray::number(result.ms);
    line += ",\"reply\":";
    appendJsonText(line, result.reply);
    line += "}\n";
    return line;
}

QString serialOfRequest(const QByteArray& requestText)
{
    const Json request =
        Json::parse(requestText.constData(), requestText.constData() + requestText.size(), nullptr, false);
    if (!request.is_object() || !isText(request, "sn"))
        return {};
    return qtext(request["sn"]);
}

HistoryLoad loadHistoryFile(const QString& path, int cap)
{
    HistoryLoad load;
    QFile file(path);
    if (!file.exists())
        return load;
    if (!file.open(QIODevice::ReadOnly)) {
        load.message = setAside(path, QStringLiteral("无法读取"), &load.writable);
        return load;
    }
    const QByteArray data = file.readAll();
    file.close();
    if (data.isEmpty())
        return load;

    HistoryList list(cap);
    bool rewrite = false;
    qint64 lineNumber = 0;
    for (int start = 0; start < data.size();) {
        int end = data.indexOf('\n', start);
        const bool cut = end < 0;
        if (cut)
            end = data.size();
        const QByteArray line = data.mid(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (lineNumber == 1) {
            if (!isHeader(line)) {
                load.message = setAside(path, QStringLiteral("不是本程序的历史"), &load.writable);
                return load;
            }
            continue;
        }
        if (line.isEmpty())
            continue;
        const Json object = Json::parse(line.constData(), line.constData() + line.size(), nullptr, false);
        std::optional<HistoryEntry> send;
        std::optional<HistoryResult> result;
        if (object.is_object()) {
            if (object.contains("op"))
                send = sendOf(object);
            else
                result = resultOf(object);
        }
        if (!send && !result) {
            if (cut) { // the program ended in the middle of this line
                rewrite = true;
                break;
            }
            load.message = setAside(path, QStringLiteral("第 %1 行已损坏").arg(lineNumber), &load.writable);
            return load;
        }
        rewrite = rewrite || cut;
        if (send) {
            list.add(std::move(*send));
            ++load.requestsInFile;
        } else {
            // A result whose request is no longer kept has nowhere to go.
            list.addResult(qtext(object["id"]), std::move(*result));
        }
    }
    load.entries = list.takeAll();
    if (rewrite || load.requestsInFile > cap) {
        QString error;
        if (writeHistoryFile(path, load.entries, &error))
            load.requestsInFile = static_cast<qint64>(load.entries.size());
        else
            load.message = QStringLiteral("历史文件无法整理：%1").arg(error);
    }
    return load;
}

bool writeHistoryFile(const QString& path, const HistoryEntries& entries, QString* error)
{
    QDir().mkpath(QFileInfo(path).absolutePath()); // the first write may be a rewrite
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    QByteArray chunk = historyHeaderLine();
    for (const HistoryEntry& entry : entries) {
        chunk += historySendLine(entry);
        for (const HistoryResult& result : entry.results)
            chunk += historyResultLine(entry.id, result);
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
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
