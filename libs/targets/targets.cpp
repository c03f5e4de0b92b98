// Targets: their variables, writing them back as CSV, choosing among them and
// showing them with their secrets masked.
#include "targets/targets.h"

#include <QDir>
#include <QSaveFile>

#include <nlohmann/json.hpp>

#include <algorithm>

namespace tessel {
namespace {

constexpr const char* mask = "******";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string csvCell(const std::string& value)
{
    // Blanks at either end are kept by a quoted cell only.
    const bool quote = value.find_first_of(",\"\r\n") != std::string::npos ||
                       (!value.empty() && (isBlank(value.front()) || isBlank(value.back())));
    if (!quote)
        return value;
    std::string cell = "\"";
    for (char c : value) {
        cell += c;
        if (c == '"')
            cell += '"';
    }
    return cell + '"';
}

std::string joined(const std::vector<std::string>& parts, char separator)
{
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i)
        text += (i > 0 ? std::string(1, separator) : std::string()) + parts[i];
    return text;
}

// A value for --list-targets, as a JSON string where it would not read back
// as one word.
std::string shownValue(const std::string& value)
{
    const bool plain = !value.empty() && std::none_of(value.begin(), value.end(), [](char c) {
        return static_cast<unsigned char>(c) <= ' ' || c == '"' || c == '=' || c == '\x7F';
    });
    if (plain)
        return value;
    return nlohmann::json(value).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// A shell-style pattern taken apart once: '*', '?', a bracket class ("[a-z]",
// "[!0-9]" or "[^0-9]"), or one character; '\' takes the next one as it is.
struct Piece
{
    enum Kind
    {
        Star,
        Any,
        Class,
        Literal
    } kind = Literal;
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> ranges; // Class; Literal in ranges[0]
};

std::u32string characters(const std::string& text)
{
    std::u32string out;
    for (uint code : QString::fromStdString(text).toUcs4())
        out += static_cast<char32_t>(code);
    return out;
}

std::vector<Piece> piecesOf(const std::string& pattern)
{
    const std::u32string text = characters(pattern);
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < text.size(); ++i) {
        Piece piece;
        const char32_t c = text[i];
        if (c == U'*') {
            piece.kind = Piece::Star;
        } else if (c == U'?') {
            piece.kind = Piece::Any;
        } else if (c == U'[') {
            std::size_t k = i + 1;
            piece.negated = k < text.size() && (text[k] == U'!' || text[k] == U'^');
            k += piece.negated ? 1 : 0;
            const std::size_t first = k;
            // A ']' first in the class is one of its characters.
            while (k < text.size() && (text[k] != U']' || k == first)) {
                if (k + 2 < text.size() && text[k + 1] == U'-' && text[k + 2] != U']') {
                    piece.ranges.emplace_back(text[k], text[k + 2]);
                    k += 3;
                } else {
                    piece.ranges.emplace_back(text[k], text[k]);
                    ++k;
                }
            }
            if (k < text.size()) {
                piece.kind = Piece::Class;
                i = k;
            } else { // never closed: a plain '['
                piece = Piece();
                piece.ranges.emplace_back(c, c);
            }
        } else {
            const char32_t literal = c == U'\\' && i + 1 < text.size() ? text[++i] : c;
            piece.ranges.emplace_back(literal, literal);
        }
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

bool matchesOne(const Piece& piece, char32_t c)
{
    if (piece.kind == Piece::Any)
        return true;
    const bool inside = std::any_of(piece.ranges.begin(), piece.ranges.end(),
                                    [c](const auto& range) { return range.first <= c && c <= range.second; });
    return inside != piece.negated;
}

// The whole of `text`; a mismatch goes back to the last '*' and lets it take
// one character more.
bool matches(const std::vector<Piece>& pieces, const std::u32string& text)
{
    std::size_t p = 0, t = 0;
    std::size_t starAt = std::string::npos, starText = 0;
    while (t < text.size()) {
        if (p < pieces.size() && pieces[p].kind == Piece::Star) {
            starAt = p++;
            starText = t;
        } else if (p < pieces.size() && matchesOne(pieces[p], text[t])) {
            ++p;
            ++t;
        } else if (starAt != std::string::npos) {
            p = starAt + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pieces.size() && pieces[p].kind == Piece::Star)
        ++p;
    return p == pieces.size();
}

} // namespace

std::optional<std::string> Target::variable(std::string_view wanted) const
{
    if (wanted == "sn")
        return sn;
    if (wanted == "name")
        return name;
    if (wanted == "ip")
        return ip;
    for (const auto& [column, value] : variables)
        if (column == wanted)
            return value;
    return std::nullopt;
}

std::string TargetsFault::text() const
{
    std::string where;
    if (line > 0)
        where =
            "line " + std::to_string(line) + (column > 0 ? ", column " + std::to_string(column) : "") + ": ";
    return where + message;
}

bool isSecretColumn(std::string_view column)
{
    // Whatever the case: a secret shown by mistake cannot be taken back.
    std::string lower(column);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower == "password" || lower.rfind("secret", 0) == 0;
}

std::string targetsCsv(const std::vector<Target>& targets)
{
    std::vector<std::string> columns;
    for (const Target& target : targets)
        for (const auto& variable : target.variables)
            if (std::find(columns.begin(), columns.end(), variable.first) == columns.end())
                columns.push_back(variable.first);
    std::string text = "sn,name,ip,group";
    for (const std::string& column : columns)
        text += ',' + csvCell(column);
    text += "\r\n";
    for (const Target& target : targets) {
        text += csvCell(target.sn) + ',' + csvCell(target.name) + ',' + csvCell(target.ip) + ',' +
                csvCell(joined(target.groups, ';'));
        for (const std::string& column : columns)
            text += ',' + csvCell(target.variable(column).value_or(std::string()));
        text += "\r\n";
    }
    return text;
}

QString writeTargetsFile(const QString& path, const std::vector<Target>& targets)
{
    const std::string text = targetsCsv(targets);
    QSaveFile file(path);
    const auto fault = [&] {
        return QDir::toNativeSeparators(path) + ": " + file.errorString();
    };
    if (!file.open(QIODevice::WriteOnly))
        return fault();
    const auto size = static_cast<qint64>(text.size());
    if (file.write(text.data(), size) != size || !file.commit())
        return fault(); // the temporary file goes with `file`; the old one stays
    return QString();
}

std::vector<Target> limitTargets(std::vector<Target> targets, const std::vector<std::string>& patterns)
{
    std::vector<std::vector<Piece>> compiled;
    for (const std::string& pattern : patterns)
        compiled.push_back(piecesOf(pattern));
    const auto chosen = [&](const Target& target) {
        std::vector<std::u32string> texts{characters(target.sn), characters(target.name),
                                          characters(target.ip)};
        for (const std::string& group : target.groups)
            texts.push_back(characters(group));
        for (const std::vector<Piece>& pieces : compiled)
            for (const std::u32string& text : texts)
                if (matches(pieces, text))
                    return true;
        return false;
    };
    targets.erase(std::remove_if(targets.begin(), targets.end(), [&](const Target& t) { return !chosen(t); }),
                  targets.end());
    return targets;
}

std::vector<std::string> splitPatterns(std::string_view text)
{
    std::vector<std::string> patterns;
    for (;;) {
        const std::size_t comma = std::min(text.find(','), text.size());
        std::string_view part = text.substr(0, comma);
        while (!part.empty() && isBlank(part.front()))
            part.remove_prefix(1);
        while (!part.empty() && isBlank(part.back()))
            part.remove_suffix(1);
        if (!part.empty())
            patterns.emplace_back(part);
        if (comma == text.size())
            return patterns;
        text.remove_prefix(comma + 1);
    }
}

std::vector<Target> shardOf(std::vector<Target> targets, int k, int n)
{
    if (n < 1 || k < 1 || k > n)
        return {};
    std::stable_sort(targets.begin(), targets.end(),
                     [](const Target& a, const Target& b) { return a.sn < b.sn; });
    const std::size_t parts = static_cast<std::size_t>(n);
    const std::size_t index = static_cast<std::size_t>(k - 1);
    const std::size_t base = targets.size() / parts, larger = targets.size() % parts;
    const std::size_t begin = index * base + std::min(index, larger);
    const std::size_t end = begin + base + (index < larger ? 1 : 0);
    return std::vector<Target>(std::make_move_iterator(targets.begin() + static_cast<std::ptrdiff_t>(begin)),
                               std::make_move_iterator(targets.begin() + static_cast<std::ptrdiff_t>(end)));
}

std::string targetLine(const Target& target)
{
    std::string line = shownValue(target.sn);
    const std::pair<const char*, std::string> given[] = {
        {"name", target.name}, {"ip", target.ip}, {"group", joined(target.groups, ';')}};
    for (const auto& [column, value] : given)
        if (!value.empty())
            line += std::string(" ") + column + '=' + shownValue(value);
    for (const auto& [column, value] : target.variables)
        line += ' ' + column + '=' + (isSecretColumn(column) ? std::string(mask) : shownValue(value));
    return line;
}

} // namespace tessel
