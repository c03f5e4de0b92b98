#include "replay/checklistline.h"

#include "replay/expectation.h"
#include "replay/placeholders.h"

#include "requests/jsontext.h"

#include <cstdint>
#include <unordered_set>
#include <vector>

namespace tessel {
namespace {

using OrderedJson = nlohmann::ordered_json; // captures go in the line's order

constexpr int longestWait = 3600000; // ms between two tries of an "until"
constexpr int mostTries = 1000;

std::string compact(const OrderedJson& value)
{
    return value.dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
}

// Where the value of the line's top-level member `key` starts, or npos (a
// name written with escapes is not looked for). A scan of a line known good.
std::size_t valueOffset(std::string_view text, std::string_view key)
{
    int depth = 0;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '"') {
            const std::size_t end = jsonStringEnd(text, i);
            std::size_t after = end;
            while (after < text.size() && isJsonBlank(text[after]))
                ++after;
            if (depth == 1 && after < text.size() && text[after] == ':' &&
                text.substr(i + 1, end - i - 2) == key) {
                ++after;
                while (after < text.size() && isJsonBlank(text[after]))
                    ++after;
                return after;
            }
            i = end;
            continue;
        }
        if (c == '{' || c == '[')
            ++depth;
        else if (c == '}' || c == ']')
            --depth;
        ++i;
    }
    return std::string_view::npos;
}

class Reader
{
public:
    Reader(std::string_view text, RunLine& line, RunFileFault& fault) : text(text), line(line), fault(fault)
    {}

    bool read(const OrderedJson& object)
    {
        bool ok = true;
        for (auto it = object.begin(); ok && it != object.end(); ++it) {
            key = it.key();
            if (key == "expect")
                ok = expect(*it);
            else if (key == "expectCode")
                ok = expectCode(*it);
            else if (key == "capture")
                ok = capture(*it);
            else if (key == "until")
                ok = until(*it);
        }
        if (!ok)
            return false;
        if (!line.expect && object.contains("until")) {
            key = "until";
            return fail("member \"until\" needs an \"expect\": what to wait for");
        }
        if (!line.expect && object.contains("expectCode")) {
            key = "expectCode";
            return fail("member \"expectCode\" needs an \"expect\" ({} when the code alone counts)");
        }
        return true;
    }

private:
    bool fail(std::string message)
    {
        const std::size_t at = valueOffset(text, key);
        fault.column = at == std::string_view::npos ? 1 : positionOf(text, at).column;
        fault.message = std::move(message);
        return false;
    }

    bool expect(const OrderedJson& value)
    {
        const char* const shape = "member \"expect\" must be a JSON object or list, or a text holding one";
        if (value.is_object() || value.is_array()) {
            line.expect = compact(value);
            return true;
        }
        if (!value.is_string())
            return fail(shape);
        const std::string& held = value.get_ref<const std::string&>();
        // Written back as a member, it stands one level deeper than the text holds it.
        if (nestedBeyond(held, maxNesting - 1) != std::string::npos)
            return fail("member \"expect\" is nested deeper than " + std::to_string(maxNesting - 1) +
                        " levels");
        std::vector<std::unordered_set<std::string>> open;
        std::string twice;
        const OrderedJson::parser_callback_t watch = [&](int, OrderedJson::parse_event_t event,
                                                         OrderedJson& parsed) {
            if (event == OrderedJson::parse_event_t::object_start)
                open.emplace_back();
            else if (event == OrderedJson::parse_event_t::object_end)
                open.pop_back();
            else if (event == OrderedJson::parse_event_t::key &&
                     !open.back().insert(parsed.get<std::string>()).second && twice.empty())
                twice = parsed.get<std::string>();
            return true;
        };
        OrderedJson parsed;
        try {
            parsed = OrderedJson::parse(held, watch);
        } catch (const OrderedJson::exception& error) {
            const std::string what = error.what();
            const std::size_t colon = what.rfind(": ");
            return fail("member \"expect\" is a text that is not JSON: " +
                        (colon == std::string::npos ? what : what.substr(colon + 2)));
        }
        if (!parsed.is_object() && !parsed.is_array())
            return fail(shape);
        if (!twice.empty())
            return fail("member \"expect\": member \"" + twice + "\" given twice");
        line.expect = compact(parsed);
        return true;
    }

    bool expectCode(const OrderedJson& value)
    {
        if (!value.is_number_integer() || value.get<std::int64_t>() < 0 || value.get<std::int64_t>() > 65535)
            return fail("member \"expectCode\" must be a whole number from 0 to 65535");
        line.expectCode = value.get<int>();
        return true;
    }

    bool capture(const OrderedJson& value)
    {
        if (!value.is_object())
            return fail("member \"capture\" must be an object such as {\"ver\": \"status.version\"}");
        for (auto it = value.begin(); it != value.end(); ++it) {
            const std::string where = "capture \"" + it.key() + "\"";
            if (!isVariableName(it.key()))
                return fail(where +
                            ": not a variable name (a letter or '_', then letters, digits, '_' or '-')");
            if (!it->is_string() || !isDottedPath(it->get_ref<const std::string&>()))
                return fail(where +
                            " must be a dotted path such as \"status.version\" or \"programs.0.name\"");
            line.capture.emplace_back(it.key(), it->get<std::string>());
        }
        return true;
    }

    bool until(const OrderedJson& value)
    {
        if (!value.is_object())
            return fail("member \"until\" must be an object such as {\"tries\": 10, \"every\": 500}");
        for (auto it = value.begin(); it != value.end(); ++it) {
            const bool tries = it.key() == "tries";
            if (!tries && it.key() != "every")
                return fail("member \"until\": unknown member \"" + it.key() + "\"");
            const std::int64_t low = tries ? 1 : 0, high = tries ? mostTries : longestWait;
            if (!it->is_number_integer() || it->get<std::int64_t>() < low || it->get<std::int64_t>() > high)
                return fail("member \"until\": \"" + it.key() + "\" must be a whole number from " +
                            std::to_string(low) + " to " + std::to_string(high) + (tries ? "" : " (ms)"));
            (tries ? line.untilTries : line.untilEveryMs) = it->get<int>();
        }
        for (const char* needed : {"tries", "every"})
            if (!value.contains(needed))
                return fail("member \"until\" lacks \"" + std::string(needed) + "\"");
        return true;
    }

    std::string_view text;
    RunLine& line;
    RunFileFault& fault;
    std::string key; // the member being read
};

} // namespace

bool readChecklistMembers(std::string_view text, RunLine& line, RunFileFault& fault)
{
    // Read once more, in the order written: the captures keep it.
    return Reader(text, line, fault).read(OrderedJson::parse(text.begin(), text.end()));
}

void writeChecklistMembers(const RunLine& line, OrderedJson& out)
{
    if (line.expect) {
        OrderedJson expect = OrderedJson::parse(*line.expect, nullptr, false);
        out["expect"] = expect.is_discarded() ? OrderedJson(*line.expect) : std::move(expect);
        if (line.expectCode != 0)
            out["expectCode"] = line.expectCode;
    }
    if (!line.capture.empty()) {
        OrderedJson capture = OrderedJson::object();
        for (const auto& [name, path] : line.capture)
            capture[name] = path;
        out["capture"] = std::move(capture);
    }
    if (line.untilTries > 0)
        out["until"] = OrderedJson{{"tries", line.untilTries}, {"every", line.untilEveryMs}};
}

} // namespace tessel
