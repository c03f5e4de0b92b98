#include "batch/batchexport.h"

#include <nlohmann/json.hpp>

#include <QCoreApplication>
#include <QStringList>

namespace tessel {

namespace {

QStringList headers()
{
    QStringList names;
    for (const char* text : {"终端名称", "序列号", "终端IP", "状态", "返回码", "耗时(ms)", "回复"})
        names << QCoreApplication::translate("BatchEngine", text);
    return names;
}

QStringList fields(const BatchRow& row, bool fullReply)
{
    return {row.target.name,
            row.target.serial,
            row.target.ip,
            batchStateText(row),
            row.answered ? QString::number(row.last.code) : QString(),
            row.answered ? QString::number(row.last.ms) : QString(),
            fullReply ? row.last.reply : firstLine(row.last.reply)};
}

// A spreadsheet runs a cell that starts with one of these as a formula; a
// terminal name or a reply can, so such a cell is given a leading apostrophe,
// which spreadsheets take as "text" and do not show.
QString defused(const QString& text)
{
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (!text.isEmpty() && formulaStarts.contains(text.front()))
        return QLatin1Char('\'') + text;
    return text;
}

// Quoted as RFC 4180 has it when the text holds the separator, a quote or a
// line end; spreadsheets read tab-separated text pasted from the clipboard the
// same way, so a tab or a line break inside a name does not split its row.
QString quotedField(const QString& value, QChar separator)
{
    const QString text = defused(value);
    if (!text.contains(separator) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString joinedLine(const QStringList& values, QChar separator, const QString& lineEnd)
{
    QStringList quoted;
    for (const QString& value : values)
        quoted << quotedField(value, separator);
    return quoted.join(separator) + lineEnd;
}

QString csvLine(const QStringList& values)
{
    return joinedLine(values, QLatin1Char(','), QStringLiteral("\r\n"));
}

QString clipboardLine(const QStringList& values)
{
    return joinedLine(values, QLatin1Char('\t'), QStringLiteral("\n"));
}

} // namespace

QString firstLine(const QString& text)
{
    const int end = text.indexOf(QLatin1Char('\n'));
    return end < 0 ? text : text.left(end);
}

QString batchStateText(const BatchRow& row)
{
    return row.note.isEmpty() ? BatchEngine::stateText(row.state) : row.note;
}

QByteArray batchCsv(const BatchEngine& engine, const std::vector<int>& rows)
{
    // What was sent comes last, so that readers of the first columns read on.
    const QStringList sent{QCoreApplication::translate("BatchEngine", "接口"),
                           QCoreApplication::translate("BatchEngine", "请求")};
    QString text = csvLine(headers() + sent);
    for (int index : rows) {
        const BatchRow& row = engine.row(index);
        text += csvLine(fields(row, true) + QStringList{engine.operation(), row.request});
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QByteArray batchJsonLines(const BatchEngine& engine, const std::vector<int>& rows)
{
    QByteArray out;
    for (int index : rows) {
        const BatchRow& row = engine.row(index);
        nlohmann::ordered_json line;
        line["batch"] = engine.tag().toStdString();
        line["name"] = row.target.name.toStdString();
        line["sn"] = row.target.serial.toStdString();
        line["ip"] = row.target.ip.toStdString();
        line["state"] = batchStateText(row).toStdString();
        line["code"] = row.answered ? nlohmann::ordered_json(row.last.code) : nlohmann::ordered_json();
        line["ms"] = row.answered ? nlohmann::ordered_json(row.last.ms) : nlohmann::ordered_json();
        line["reply"] = row.last.reply.toStdString();
        auto& results = line["results"] = nlohmann::ordered_json::array();
        for (const BatchResult& result : row.results)
            results.push_back(
                {{"code", result.code}, {"reply", result.reply.toStdString()}, {"ms", result.ms}});
        line["operation"] = engine.operation().toStdString();
        line["request"] = row.request.toStdString();
        // Replies are UTF-8 already (bad bytes became U+FFFD), so dump cannot throw.
        out += QByteArray::fromStdString(line.dump()) + '\n';
    }
    return out;
}

QString batchClipboardText(const BatchEngine& engine, const std::vector<int>& rows,
                           const std::function<QString(int row)>& idleState)
{
    QString text = clipboardLine(headers());
    for (int index : rows) {
        QStringList values = fields(engine.row(index), false);
        if (idleState && engine.row(index).state == BatchState::Idle)
            values[3] = idleState(index);
        text += clipboardLine(values);
    }
    return text;
}

} // namespace tessel
