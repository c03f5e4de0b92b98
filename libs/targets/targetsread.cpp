// Reading targets files: CSV and JSON Lines into targets, every fault placed
// at its line and, where a cell is to blame, its column.
#include "targets/targets.h"

#include <QFile>

#include <nlohmann/json.hpp>

#include <unordered_map>

namespace tessel {
namespace {

using json = nlohmann::json;

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isBlankText(std::string_view text)
{
    for (char c : text)
        if (!isBlank(c))
            return false;
    return true;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view withoutMark(std::string_view text)
{
    if (text.substr(0, byteOrderMark.size()) == byteOrderMark)
        text.remove_prefix(byteOrderMark.size());
    return text;
}

bool isContinuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The column, in characters from 1, of the byte at `offset` of `line`.
int columnAt(std::string_view line, std::size_t offset)
{
    int column = 1;
    for (std::size_t i = 0; i < offset && i < line.size(); ++i)
        column += isContinuation(line[i]) ? 0 : 1;
    return column;
}

// The offset of the first byte that does not start a well-formed UTF-8
// sequence, or npos.
std::size_t badUtf8At(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80                 ? 1
                             : c >= 0xC2 && c <= 0xDF ? 2
                             : c >= 0xE0 && c <= 0xEF ? 3
                             : c >= 0xF0 && c <= 0xF4 ? 4
                                                      : 0;
        if (length == 0 || i + length > text.size())
            return i;
        for (std::size_t k = 1; k < length; ++k)
            if (!isContinuation(text[i + k]))
                return i;
        const auto second = static_cast<unsigned char>(length > 1 ? text[i + 1] : 0);
        // Overlong forms, UTF-16 surrogates and code points past U+10FFFF.
        if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second > 0x9F) || (c == 0xF0 && second < 0x90) ||
            (c == 0xF4 && second > 0x8F))
            return i;
        i += length;
    }
    return std::string_view::npos;
}

bool refuse(TargetsFault& fault, qint64 line, int column, std::string message)
{
    fault = {line, column, std::move(message)};
    return false;
}

std::nullopt_t refused(TargetsFault& fault, qint64 line, int column, std::string message)
{
    refuse(fault, line, column, std::move(message));
    return std::nullopt;
}

json parsed(std::string_view text)
{
    return json::parse(text.begin(), text.end());
}

bool checkUtf8(std::string_view text, TargetsFault& fault)
{
    const std::size_t bad = badUtf8At(text);
    if (bad == std::string_view::npos)
        return true;
    qint64 line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < bad; ++i)
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    return refuse(fault, line, columnAt(text.substr(lineStart), bad - lineStart), "bytes that are not UTF-8");
}

// One cell of a row, or one member of a JSON object, where it stands.
struct Field
{
    std::string name;
    std::string value;
    int column = 0;
};

// Turns the fields of one row into a target; the serials seen so far, with
// their lines, catch one given twice.
class TargetMaker
{
public:
    bool add(std::vector<Field> fields, qint64 line, TargetsFault& fault)
    {
        Target target;
        int snColumn = 0;
        bool hasSn = false;
        for (Field& field : fields) {
            if (field.name == "sn") {
                target.sn = std::move(field.value);
                snColumn = field.column;
                hasSn = true;
            } else if (field.name == "name") {
                target.name = std::move(field.value);
            } else if (field.name == "ip") {
                target.ip = std::move(field.value);
            } else if (field.name == "group") {
                std::string_view rest = field.value;
                while (!rest.empty()) {
                    const std::size_t end = std::min(rest.find(';'), rest.size());
                    if (const std::string_view group = trimmed(rest.substr(0, end)); !group.empty())
                        target.groups.emplace_back(group);
                    rest.remove_prefix(std::min(end + 1, rest.size()));
                }
            } else {
                target.variables.emplace_back(std::move(field.name), std::move(field.value));
            }
        }
        if (!hasSn)
            return refuse(fault, line, 0, "no serial: the row has no \"sn\"");
        if (isBlankText(target.sn))
            return refuse(fault, line, snColumn, "no serial: \"sn\" is empty");
        const auto [seen, fresh] = serialLines.emplace(target.sn, line);
        if (!fresh)
            return refuse(fault, line, snColumn,
                          "serial \"" + target.sn + "\" is given twice (first on line " +
                              std::to_string(seen->second) + ")");
        targets.push_back(std::move(target));
        return true;
    }

    std::vector<Target> targets;

private:
    std::unordered_map<std::string, qint64> serialLines;
};

// RFC 4180 records, cell by cell, keeping count of lines and characters.
class CsvReader
{
public:
    struct Cell
    {
        std::string value;
        int column = 0;
        bool quoted = false;
    };

    explicit CsvReader(std::string_view text) : text(text) {}

    bool atEnd() const { return pos >= text.size(); }
    qint64 line() const { return lineNumber; }

    // The next record; false with `fault` set when it is malformed.
    bool read(std::vector<Cell>& cells, TargetsFault& fault)
    {
        cells.clear();
        for (;;) {
            Cell cell;
            cell.column = column;
            if (!atEnd() && text[pos] == '"') {
                const qint64 openLine = lineNumber;
                cell.quoted = true;
                advance();
                for (;;) {
                    if (atEnd())
                        return refuse(fault, openLine, cell.column, "a quoted cell is not closed");
                    if (text[pos] == '"') {
                        advance();
                        if (atEnd() || text[pos] != '"')
                            break;
                    }
                    cell.value += text[pos];
                    advance();
                }
                if (!atEnd() && text[pos] != ',' && text[pos] != '\n' && text[pos] != '\r')
                    return refuse(fault, lineNumber, column, "text after the closing quote of a cell");
            } else {
                while (!atEnd() && text[pos] != ',' && text[pos] != '\n' && text[pos] != '\r') {
                    if (text[pos] == '"')
                        return refuse(fault, lineNumber, column,
                                      "a quote in a cell that is not quoted (quote the cell and double "
                                      "the quote)");
                    cell.value += text[pos];
                    advance();
                }
            }
            cells.push_back(std::move(cell));
            if (atEnd())
                return true;
            if (text[pos] == ',') {
                advance();
                continue;
            }
            if (!atLineEnd())
                return refuse(fault, lineNumber, column, "a carriage return without a line feed");
            if (text[pos] == '\r')
                advance();
            advance();
            return true;
        }
    }

private:
    bool atLineEnd() const
    {
        return text[pos] == '\n' || (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n');
    }
    void advance()
    {
        if (text[pos] == '\n') {
            ++lineNumber;
            column = 1;
        } else if (pos + 1 >= text.size() || !isContinuation(text[pos + 1])) {
            ++column;
        }
        ++pos;
    }

    std::string_view text;
    std::size_t pos = 0;
    qint64 lineNumber = 1;
    int column = 1;
};

bool isBlankRecord(const std::vector<CsvReader::Cell>& cells)
{
    return cells.size() == 1 && !cells[0].quoted && isBlankText(cells[0].value);
}

// A member of a JSON object's top level: its name, where the name starts and
// the value's JSON text.
struct Member
{
    std::string name;
    std::size_t at = 0;
    std::string_view value;
};

std::size_t skipBlanks(std::string_view text, std::size_t i)
{
    while (i < text.size() && (isBlank(text[i]) || text[i] == '\r' || text[i] == '\n'))
        ++i;
    return i;
}

// Past the string that starts at `i`.
std::size_t skipString(std::string_view text, std::size_t i)
{
    for (++i; i < text.size() && text[i] != '"'; ++i)
        if (text[i] == '\\')
            ++i;
    return i + 1;
}

// The members of `text`, a well-formed JSON object, in their order, names
// given twice included: the parsed object keeps only one of them.
std::vector<Member> membersOf(std::string_view text)
{
    std::vector<Member> members;
    std::size_t i = skipBlanks(text, 0) + 1; // past '{'
    for (;;) {
        i = skipBlanks(text, i);
        if (i >= text.size() || text[i] != '"')
            return members;
        Member member;
        member.at = i;
        i = skipString(text, i);
        member.name = parsed(text.substr(member.at, i - member.at)).get<std::string>();
        const std::size_t start = skipBlanks(text, skipBlanks(text, i) + 1); // past ':'
        i = start;
        int depth = 0;
        while (i < text.size()) {
            const char c = text[i];
            if (c == '"') {
                i = skipString(text, i);
                continue;
            }
            if (depth == 0 && (c == ',' || c == '}'))
                break;
            depth += c == '{' || c == '[' ? 1 : c == '}' || c == ']' ? -1 : 0;
            ++i;
        }
        std::string_view value = text.substr(start, i - start);
        while (!value.empty() && (isBlank(value.back()) || value.back() == '\r' || value.back() == '\n'))
            value.remove_suffix(1);
        member.value = value;
        members.push_back(std::move(member));
        if (i < text.size() && text[i] == ',')
            ++i;
    }
}

// nlohmann's reason without its place (ours is given) and without the text
// it last read, which may be a secret.
std::string parseReason(const json::parse_error& error)
{
    std::string reason = error.what();
    const std::size_t column = reason.find("column ");
    const std::size_t colon = reason.find(": ", column == std::string::npos ? 0 : column);
    if (colon != std::string::npos)
        reason.erase(0, colon + 2);
    if (const std::size_t lastRead = reason.find("; last read"); lastRead != std::string::npos)
        reason.erase(lastRead);
    return reason;
}

bool readJsonLine(std::string_view line, qint64 lineNumber, TargetMaker& maker, TargetsFault& fault)
{
    json object;
    try {
        object = parsed(line);
    } catch (const json::parse_error& error) {
        const std::size_t at = error.byte > 0 ? error.byte - 1 : 0;
        return refuse(fault, lineNumber, columnAt(line, at), "not JSON: " + parseReason(error));
    } catch (const json::out_of_range&) {
        // nlohmann says which number, and a secret may be one.
        return refuse(fault, lineNumber, 0, "a number too large to read");
    }
    if (!object.is_object())
        return refuse(fault, lineNumber, columnAt(line, skipBlanks(line, 0)), "not a JSON object");
    std::vector<Field> fields;
    for (const Member& member : membersOf(line)) {
        const int column = columnAt(line, member.at);
        if (member.name.empty())
            return refuse(fault, lineNumber, column, "a member without a name");
        for (const Field& field : fields)
            if (field.name == member.name)
                return refuse(fault, lineNumber, column, "\"" + member.name + "\" is given twice");
        const json value = parsed(member.value);
        const char* wrong = value.is_null()     ? "null"
                            : value.is_object() ? "an object"
                            : value.is_array()  ? "a list"
                                                : nullptr;
        if (wrong)
            return refuse(fault, lineNumber, column,
                          "\"" + member.name + "\" is " + wrong +
                              ": a text, a number or a boolean is wanted");
        fields.push_back(
            {member.name, value.is_string() ? value.get<std::string>() : std::string(member.value), column});
    }
    return maker.add(std::move(fields), lineNumber, fault);
}

} // namespace

std::optional<std::vector<Target>> parseTargetsCsv(std::string_view text, TargetsFault& fault)
{
    text = withoutMark(text);
    if (!checkUtf8(text, fault))
        return std::nullopt;
    CsvReader reader(text);
    std::vector<CsvReader::Cell> cells;
    std::vector<CsvReader::Cell> header;
    qint64 headerLine = 0;
    TargetMaker maker;
    while (!reader.atEnd()) {
        const qint64 line = reader.line();
        if (!reader.read(cells, fault))
            return std::nullopt;
        if (isBlankRecord(cells)) // blank lines carry nothing
            continue;
        if (header.empty()) {
            headerLine = line;
            header = std::move(cells);
            bool hasSn = false;
            for (std::size_t i = 0; i < header.size(); ++i) {
                CsvReader::Cell& name = header[i];
                if (!name.quoted)
                    name.value = std::string(trimmed(name.value));
                if (name.value.empty())
                    return refused(fault, line, name.column, "a column without a name");
                for (std::size_t k = 0; k < i; ++k)
                    if (header[k].value == name.value)
                        return refused(fault, line, name.column,
                                       "the header names \"" + name.value + "\" twice");
                hasSn = hasSn || name.value == "sn";
            }
            if (!hasSn)
                return refused(fault, line, 0, "the header has no \"sn\" column");
            continue;
        }
        if (cells.size() != header.size())
            return refused(fault, line, 0,
                           std::to_string(cells.size()) + (cells.size() == 1 ? " cell" : " cells") +
                               " where the header has " + std::to_string(header.size()));
        std::vector<Field> fields;
        fields.reserve(cells.size());
        for (std::size_t i = 0; i < cells.size(); ++i)
            fields.push_back({header[i].value, std::move(cells[i].value), cells[i].column});
        if (!maker.add(std::move(fields), line, fault))
            return std::nullopt;
    }
    if (header.empty())
        return refused(fault, 1, 0, "no header row: the file is empty");
    if (maker.targets.empty())
        return refused(fault, headerLine, 0, "no terminal: the header has no row under it");
    return std::move(maker.targets);
}

std::optional<std::vector<Target>> parseTargetsJsonLines(std::string_view text, TargetsFault& fault)
{
    text = withoutMark(text);
    if (!checkUtf8(text, fault))
        return std::nullopt;
    TargetMaker maker;
    qint64 lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (isBlankText(line))
            continue;
        if (!readJsonLine(line, lineNumber, maker, fault))
            return std::nullopt;
    }
    if (maker.targets.empty())
        return refused(fault, 1, 0, "no terminal: the file has no line");
    return std::move(maker.targets);
}

std::optional<std::vector<Target>> readTargetsFile(const QString& path, TargetsFault& fault,
                                                   std::string& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = path.toStdString() + ": " + file.errorString().toStdString();
        return std::nullopt;
    }
    // A list of terminals, not a stream: one past this size is refused rather
    // than read until memory runs out (/dev/zero).
    constexpr int largestFile = 64 << 20;
    QByteArray bytes;
    for (;;) {
        const QByteArray chunk = file.read(1 << 20);
        if (file.error() != QFileDevice::NoError) {
            error = path.toStdString() + ": " + file.errorString().toStdString();
            return std::nullopt;
        }
        if (chunk.isEmpty())
            break;
        bytes += chunk;
        if (bytes.size() > largestFile) {
            error = path.toStdString() + ": larger than " + std::to_string(largestFile >> 20) +
                    " MiB, too large for a list of terminals";
            return std::nullopt;
        }
    }
    const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const std::string_view start = withoutMark(text);
    const std::size_t first = skipBlanks(start, 0);
    const QString lower = path.toLower();
    if (lower.endsWith(".jsonl") || lower.endsWith(".ndjson") ||
        (first < start.size() && start[first] == '{'))
        return parseTargetsJsonLines(text, fault);
    return parseTargetsCsv(text, fault);
}

} // namespace tessel
