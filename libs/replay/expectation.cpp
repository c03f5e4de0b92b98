#include "replay/expectation.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace tessel {
namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json; // the expectation's members in the order written

template <typename Value> std::string compactOf(const Value& value)
{
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

template <typename Value> std::optional<Value> parsed(std::string_view text)
{
    if (nestedBeyond(text) != std::string_view::npos)
        return std::nullopt;
    Value value = Value::parse(text.begin(), text.end(), nullptr, false);
    if (value.is_discarded())
        return std::nullopt;
    return value;
}

class Containment
{
public:
    Containment(const IgnoreRule& ignore, std::vector<Difference>& out) : ignore(ignore), out(out) {}

    void check(const OrderedJson& expected, const Json& reply, const std::string& path)
    {
        if (expected.is_object() && reply.is_object()) {
            for (auto it = expected.begin(); it != expected.end(); ++it) {
                members.push_back(it.key());
                if (!ignore.ignores(members)) {
                    const std::string at = path.empty() ? it.key() : path + "." + it.key();
                    const auto found = reply.find(it.key());
                    if (found == reply.end())
                        differ(at, shownValue(compactOf(it.value())), absentValue);
                    else
                        check(it.value(), *found, at);
                }
                members.pop_back();
            }
            return;
        }
        if (expected.is_array() && reply.is_array()) {
            for (std::size_t i = 0; i < expected.size(); ++i) {
                const std::string at = path + "[" + std::to_string(i) + "]";
                if (i < reply.size())
                    check(expected[i], reply[i], at);
                else
                    differ(at, shownValue(compactOf(expected[i])), absentValue);
            }
            return;
        }
        // Anything else compares as the replay compares two replies, numbers
        // as numbers: a leaf, or values of different kinds.
        for (Difference& difference : replyDifferences(compactOf(expected), compactOf(reply), IgnoreRule()))
            differ(path, std::move(difference.recorded), std::move(difference.current));
    }

private:
    void differ(const std::string& path, std::string expected, std::string current)
    {
        out.push_back(Difference{path.empty() ? "$" : path, std::move(expected), std::move(current)});
    }

    const IgnoreRule& ignore;
    std::vector<Difference>& out;
    std::vector<std::string> members; // from the top level down, as the ignore rule counts them
};

bool isPathCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || static_cast<unsigned char>(c) >= 0x80;
}

bool isIndex(std::string_view name)
{
    return !name.empty() && name.size() <= 18 &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

std::vector<Difference> expectationDifferences(std::string_view expect, int expectCode,
                                               const std::vector<ResultRecord>& results,
                                               const IgnoreRule& ignore)
{
    std::vector<Difference> differences;
    if (results.empty()) {
        differences.push_back(Difference{"results", "1", "0"});
        return differences;
    }
    const ResultRecord& first = results.front();
    if (first.code != expectCode)
        differences.push_back(Difference{"code", std::to_string(expectCode), std::to_string(first.code)});
    const std::optional<OrderedJson> expected = parsed<OrderedJson>(expect);
    if (expected && expected->is_object() && expected->empty())
        return differences; // names no member: the code alone counts, whatever the reply
    const std::optional<Json> reply = parsed<Json>(first.reply);
    if (expected && reply)
        Containment(ignore, differences).check(*expected, *reply, std::string());
    else
        differences.push_back(Difference{
            "$", shownValue(expected ? compactOf(*expected) : std::string(expect)), shownValue(first.reply)});
    return differences;
}

bool isDottedPath(std::string_view path)
{
    if (path.empty() || path.front() == '.' || path.back() == '.' ||
        path.find("..") != std::string_view::npos)
        return false;
    return std::all_of(path.begin(), path.end(), [](char c) { return c == '.' || isPathCharacter(c); });
}

std::optional<std::string> valueAtPath(std::string_view reply, std::string_view path)
{
    const std::optional<Json> document = parsed<Json>(reply);
    if (!document || !isDottedPath(path))
        return std::nullopt;
    const Json* at = &*document;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t dot = std::min(path.find('.', start), path.size());
        const std::string name(path.substr(start, dot - start));
        if (at->is_object()) {
            const auto found = at->find(name);
            if (found == at->end())
                return std::nullopt;
            at = &*found;
        } else if (at->is_array() && isIndex(name) && std::stoull(name) < at->size()) {
            at = &(*at)[std::stoull(name)];
        } else {
            return std::nullopt;
        }
        start = dot + 1;
    }
    return at->is_string() ? at->get<std::string>() : compactOf(*at);
}

} // namespace tessel
