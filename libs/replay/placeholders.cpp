#include "replay/placeholders.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

namespace tessel {
namespace {

using OrderedJson = nlohmann::ordered_json;

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A placeholder that starts at `at` ("{{", blanks, a name, blanks, "}}"):
// its name, and `end` set just past it; nothing when there is none there.
std::optional<std::string_view> placeholderAt(std::string_view text, std::size_t at, std::size_t& end)
{
    if (text.compare(at, 2, "{{") != 0)
        return std::nullopt;
    std::size_t i = at + 2;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    const std::size_t nameStart = i;
    while (i < text.size() && (isLetter(text[i]) || isDigit(text[i]) || text[i] == '_' || text[i] == '-'))
        ++i;
    const std::string_view name = text.substr(nameStart, i - nameStart);
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (!isVariableName(name) || text.compare(i, 2, "}}") != 0)
        return std::nullopt;
    end = i + 2;
    return name;
}

int characterColumn(std::string_view text, std::size_t offset)
{
    const std::string_view before = text.substr(0, offset);
    return 1 + static_cast<int>(std::count_if(before.begin(), before.end(), [](char c) {
               return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
           }));
}

// The value as a JSON string's content, without the quotes around it.
void appendEscaped(std::string& out, std::string_view value)
{
    for (const char c : value) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
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
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                out += escape;
            } else {
                out.push_back(c);
            }
        }
    }
}

// Replaces every placeholder of `text` by its value. With `trackStrings` the
// text is JSON: a value that stands inside one of its strings is escaped.
std::optional<std::string> filled(std::string_view text, const VariableLookup& lookup, std::string& missing,
                                  bool trackStrings)
{
    std::string out;
    out.reserve(text.size());
    bool inString = false;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t end = 0;
        if (const auto name = placeholderAt(text, i, end)) {
            const std::optional<std::string> value = lookup(*name);
            if (!value) {
                missing = std::string(*name);
                return std::nullopt;
            }
            if (inString)
                appendEscaped(out, *value);
            else
                out += *value;
            i = end;
            continue;
        }
        const char c = text[i];
        out.push_back(c);
        ++i;
        if (!trackStrings)
            continue;
        if (c == '"') {
            inString = !inString;
        } else if (c == '\\' && inString && i < text.size() && text[i] != '{') {
            // The escaped character: a quote there ends nothing. A placeholder
            // after a stray backslash is still one, as placeholderNames counts it.
            out.push_back(text[i]);
            ++i;
        }
    }
    return out;
}

// A value that stands for itself in JSON: a number, true, false or null.
std::optional<OrderedJson> jsonScalar(const std::string& value)
{
    OrderedJson parsed = OrderedJson::parse(value, nullptr, false);
    if (parsed.is_discarded() || !(parsed.is_number() || parsed.is_boolean() || parsed.is_null()))
        return std::nullopt;
    return parsed;
}

bool fillValue(OrderedJson& value, const VariableLookup& lookup, std::string& missing)
{
    if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        std::size_t end = 0;
        const auto whole = placeholderAt(text, 0, end);
        if (whole && end == text.size()) {
            const std::optional<std::string> got = lookup(*whole);
            if (!got) {
                missing = std::string(*whole);
                return false;
            }
            std::optional<OrderedJson> scalar = jsonScalar(*got);
            value = scalar ? std::move(*scalar) : OrderedJson(*got);
            return true;
        }
        std::optional<std::string> replaced = filled(text, lookup, missing, false);
        if (!replaced)
            return false;
        value = std::move(*replaced);
        return true;
    }
    if (value.is_array()) {
        for (OrderedJson& item : value)
            if (!fillValue(item, lookup, missing))
                return false;
        return true;
    }
    if (!value.is_object())
        return true;
    OrderedJson rebuilt = OrderedJson::object();
    for (auto it = value.begin(); it != value.end(); ++it) {
        std::optional<std::string> key = filled(it.key(), lookup, missing, false);
        if (!key || !fillValue(it.value(), lookup, missing))
            return false;
        rebuilt[*key] = std::move(it.value());
    }
    value = std::move(rebuilt);
    return true;
}

} // namespace

bool isVariableName(std::string_view name)
{
    if (name.empty() || !(isLetter(name.front()) || name.front() == '_'))
        return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return isLetter(c) || isDigit(c) || c == '_' || c == '-'; });
}

std::optional<std::vector<std::string>> placeholderNames(std::string_view text, int& faultColumn,
                                                         std::string& fault)
{
    std::vector<std::string> names;
    for (std::size_t at = text.find("{{"); at != std::string_view::npos; at = text.find("{{", at)) {
        std::size_t end = 0;
        if (const auto name = placeholderAt(text, at, end)) {
            if (std::find(names.begin(), names.end(), *name) == names.end())
                names.emplace_back(*name);
            at = end;
            continue;
        }
        faultColumn = characterColumn(text, at);
        const std::size_t close = text.find("}}", at + 2);
        const std::string_view inside =
            text.substr(at + 2, close == std::string_view::npos ? std::string_view::npos : close - at - 2);
        // Running into a quote, a line end or far on: the braces were never closed.
        if (close == std::string_view::npos || close - at > 64 ||
            inside.find_first_of("\"\n\r") != std::string_view::npos) {
            std::size_t shown = at + 2;
            while (shown < text.size() && shown - at < 40 &&
                   (isLetter(text[shown]) || isDigit(text[shown]) || isBlank(text[shown]) ||
                    text[shown] == '_' || text[shown] == '-'))
                ++shown;
            fault = "placeholder \"" + std::string(text.substr(at, shown - at)) +
                    "\" is left open: no \"}}\" after it";
        } else {
            fault = "\"" + std::string(text.substr(at, close + 2 - at)) +
                    "\" holds no variable name (a letter or '_', then letters, digits, '_' or '-')";
        }
        return std::nullopt;
    }
    return names;
}

std::optional<std::string> fillRequest(std::string_view request, const VariableLookup& lookup,
                                       std::string& missing)
{
    return filled(request, lookup, missing, true);
}

std::optional<std::string> fillExpectation(std::string_view expect, const VariableLookup& lookup,
                                           std::string& missing)
{
    OrderedJson value = OrderedJson::parse(expect.begin(), expect.end(), nullptr, false);
    if (value.is_discarded())
        return std::string(expect); // not JSON: the comparison says so
    if (!fillValue(value, lookup, missing))
        return std::nullopt;
    return value.dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
}

std::string jsonStringContent(std::string_view value)
{
    std::string out;
    appendEscaped(out, value);
    return out;
}

} // namespace tessel
