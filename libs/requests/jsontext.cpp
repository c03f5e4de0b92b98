#include "requests/jsontext.h"

#include <nlohmann/json.hpp>

#include <QCoreApplication>

#include <algorithm>

namespace tessel {

namespace {

// Accepts every value and remembers the first error; builds nothing, so a
// large or deeply nested text costs no memory.
class FaultFinder : public nlohmann::json_sax<nlohmann::json>
{
public:
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception& error) override
    {
        offset = position;
        // "[json.exception.parse_error.101] parse error at line 1, column 5: syntax error ..."
        const std::string what = error.what();
        const std::size_t column = what.find("column ");
        const std::size_t colon = what.find(": ", column == std::string::npos ? 0 : column);
        message = colon == std::string::npos ? what : what.substr(colon + 2);
        return false;
    }

    std::size_t offset = 0;
    std::string message;
};

// Indenting costs blanks in proportion to the depth on every line, so a
// pathological nesting would need gigabytes; it is refused instead.
constexpr int maxIndentedDepth = 1000;

// `text` is known to be valid JSON; `indent` < 0 lays it out on one line.
// Returns nothing, with `tooDeepAt` set, when indenting would nest too deep.
std::optional<std::string> layOut(std::string_view text, int indent, std::size_t& tooDeepAt)
{
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    int depth = 0;
    const auto newLine = [&] {
        if (indent < 0)
            return;
        out += '\n';
        out.append(static_cast<std::size_t>(depth * indent), ' ');
    };
    const std::size_t size = text.size();
    for (std::size_t at = 0; at < size; ++at) {
        const char c = text[at];
        if (isJsonBlank(c))
            continue;
        if (c == '"') {
            // Copy the string whole, escapes as they are.
            const std::size_t end = jsonStringEnd(text, at);
            out.append(text.substr(at, end - at));
            at = end - 1;
            continue;
        }
        if (c == '{' || c == '[') {
            std::size_t next = at + 1;
            while (next < size && isJsonBlank(text[next]))
                ++next;
            out += c;
            if (next < size && (text[next] == '}' || text[next] == ']')) {
                out += text[next]; // an empty object or array stays "{}" or "[]"
                at = next;
                continue;
            }
            if (++depth > maxIndentedDepth && indent >= 0) {
                tooDeepAt = at;
                return std::nullopt;
            }
            newLine();
            continue;
        }
        if (c == '}' || c == ']') {
            if (depth > 0) // never below the top level, even for a text that slipped past the check
                --depth;
            newLine();
            out += c;
            continue;
        }
        out += c;
        if (c == ',')
            newLine();
        else if (c == ':' && indent >= 0)
            out += ' ';
    }
    return out;
}

JsonLayout layOutChecked(std::string_view text, int indent)
{
    if (std::optional<JsonFault> fault = findJsonFault(text))
        return {std::string(), std::move(fault)};
    std::size_t tooDeepAt = 0;
    std::optional<std::string> laidOut = layOut(text, indent, tooDeepAt);
    if (!laidOut) {
        JsonFault fault = positionOf(text, tooDeepAt);
        fault.message = "nested deeper than " + std::to_string(maxIndentedDepth) + " levels";
        return {std::string(), std::move(fault)};
    }
    return {std::move(*laidOut), std::nullopt};
}

// The parser quotes what it last read, which for an unterminated string is
// the rest of the text: megabytes in a tool tip would freeze the window.
constexpr int faultMessageChars = 200;

} // namespace

QString jsonFaultStyle(const QString& selector)
{
    return selector + QStringLiteral(" { border: 2px solid #d32f2f; }");
}

QString faultText(const JsonFault& fault)
{
    QString message = QString::fromStdString(fault.message);
    if (message.size() > faultMessageChars) {
        int cut = faultMessageChars;
        if (message.at(cut - 1).isHighSurrogate())
            --cut; // a whole character
        message = message.left(cut) + QStringLiteral("…");
    }
    return QCoreApplication::translate("QObject", "不是有效的 JSON：第 %1 行，第 %2 列，%3")
        .arg(fault.line)
        .arg(fault.column)
        .arg(message);
}

JsonFault positionOf(std::string_view text, std::size_t offset)
{
    offset = std::min(offset, text.size());
    JsonFault fault;
    for (std::size_t at = 0; at < offset; ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte == '\n') {
            ++fault.line;
            fault.column = 1;
        } else if ((byte & 0xC0) != 0x80) { // continuation bytes belong to the character before
            ++fault.column;
        }
    }
    return fault;
}

std::optional<JsonFault> findJsonFault(std::string_view text)
{
    FaultFinder finder;
    const bool parsed = nlohmann::json::sax_parse(text.begin(), text.end(), &finder);
    // The parser takes a NUL character for the end of the input and reads no
    // further. Here it is part of the text, and JSON allows it nowhere: a
    // fault on it unless an earlier one was found.
    const std::size_t nul = text.find('\0');
    if (parsed && nul == std::string_view::npos)
        return std::nullopt;
    // The parser counts the offending byte as read; the fault stands on it.
    std::size_t at = parsed ? nul : (finder.offset > 0 ? finder.offset - 1 : 0);
    std::string message = std::move(finder.message);
    // Inside a string the parser names the NUL itself; elsewhere it speaks of
    // an end of input.
    if (nul != std::string_view::npos && at >= nul && message.find("U+0000") == std::string::npos) {
        at = nul;
        message = "syntax error - unexpected character U+0000 (NUL)";
    }
    JsonFault fault = positionOf(text, at);
    fault.message = std::move(message);
    return fault;
}

JsonLayout indentJson(std::string_view text)
{
    return layOutChecked(text, 4);
}

JsonLayout compactJson(std::string_view text)
{
    return layOutChecked(text, -1);
}

} // namespace tessel
