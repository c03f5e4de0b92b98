#include "replay/replycompare.h"

#include "core/jsontext.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <optional>

namespace tessel {

const char* const absentValue = "(无)";

namespace {

using Json = nlohmann::json;

// A differing subtree is shown cut to this many bytes.
constexpr std::size_t maxValueBytes = 1000;

std::optional<Json> parsed(std::string_view text)
{
    if (nestedBeyond(text) != std::string_view::npos)
        return std::nullopt;
    Json value = Json::parse(text.begin(), text.end(), nullptr, false);
    if (value.is_discarded())
        return std::nullopt;
    return value;
}

// Cut at a whole UTF-8 character.
std::string shortened(std::string text)
{
    if (text.size() <= maxValueBytes)
        return text;
    std::size_t cut = maxValueBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    text.resize(cut);
    return text + "…";
}

std::string shown(const Json& value)
{
    return shortened(value.dump(-1, ' ', false, Json::error_handler_t::replace));
}

bool sameNumber(const Json& a, const Json& b)
{
    if (a.is_number_float() || b.is_number_float())
        return a.get<double>() == b.get<double>();
    // Both integral: exact, also beyond what a double holds.
    if (a.is_number_unsigned() && b.is_number_unsigned())
        return a.get<std::uint64_t>() == b.get<std::uint64_t>();
    if (a.is_number_unsigned() || b.is_number_unsigned()) {
        const Json& u = a.is_number_unsigned() ? a : b;
        const Json& s = a.is_number_unsigned() ? b : a;
        const auto signedValue = s.get<std::int64_t>();
        return signedValue >= 0 && static_cast<std::uint64_t>(signedValue) == u.get<std::uint64_t>();
    }
    return a.get<std::int64_t>() == b.get<std::int64_t>();
}

class Comparer
{
public:
    Comparer(const IgnoreRule& ignore, std::vector<Difference>& out) : ignore(ignore), out(out) {}

    void compare(const Json& a, const Json& b, const std::string& path)
    {
        if (a.is_number() && b.is_number()) {
            if (!sameNumber(a, b))
                differ(path, shown(a), shown(b));
            return;
        }
        if (a.type() != b.type()) {
            differ(path, shown(a), shown(b));
            return;
        }
        if (a.is_object()) {
            for (auto it = a.begin(); it != a.end(); ++it) {
                members.push_back(it.key());
                if (!ignore.ignores(members)) {
                    const auto other = b.find(it.key());
                    if (other == b.end())
                        differ(joined(path, it.key()), shown(it.value()), absentValue);
                    else
                        compare(it.value(), *other, joined(path, it.key()));
                }
                members.pop_back();
            }
            for (auto it = b.begin(); it != b.end(); ++it) {
                members.push_back(it.key());
                if (!a.contains(it.key()) && !ignore.ignores(members))
                    differ(joined(path, it.key()), absentValue, shown(it.value()));
                members.pop_back();
            }
            return;
        }
        if (a.is_array()) {
            const std::size_t common = std::min(a.size(), b.size());
            for (std::size_t i = 0; i < common; ++i)
                compare(a[i], b[i], path + "[" + std::to_string(i) + "]");
            for (std::size_t i = common; i < a.size(); ++i)
                differ(path + "[" + std::to_string(i) + "]", shown(a[i]), absentValue);
            for (std::size_t i = common; i < b.size(); ++i)
                differ(path + "[" + std::to_string(i) + "]", absentValue, shown(b[i]));
            return;
        }
        if (a != b)
            differ(path, shown(a), shown(b));
    }

private:
    static std::string joined(const std::string& path, const std::string& key)
    {
        return path.empty() ? key : path + "." + key;
    }

    void differ(const std::string& path, std::string recorded, std::string current)
    {
        out.push_back(Difference{path.empty() ? "$" : path, std::move(recorded), std::move(current)});
    }

    const IgnoreRule& ignore;
    std::vector<Difference>& out;
    std::vector<std::string> members;
};

void prefixed(std::vector<Difference>& differences, std::size_t from, const std::string& prefix)
{
    for (std::size_t i = from; i < differences.size(); ++i)
        differences[i].path.insert(0, prefix);
}

} // namespace

std::size_t nestedBeyond(std::string_view text, int limit)
{
    int depth = 0;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '"') {
            i = jsonStringEnd(text, i);
            continue;
        }
        if ((c == '{' || c == '[') && ++depth > limit)
            return i;
        if (c == '}' || c == ']')
            --depth;
        ++i;
    }
    return std::string_view::npos;
}

void IgnoreRule::add(const std::string& entry)
{
    if (entry.empty())
        return;
    if (entry.find('.') == std::string::npos)
        names.push_back(entry);
    else
        paths.push_back(entry);
}

void IgnoreRule::add(const std::vector<std::string>& entries)
{
    for (const std::string& entry : entries)
        add(entry);
}

bool IgnoreRule::ignores(const std::vector<std::string>& memberPath) const
{
    if (memberPath.empty())
        return false;
    for (const std::string& name : names) {
        if (name == memberPath.back())
            return true;
    }
    if (paths.empty())
        return false;
    std::string path;
    for (const std::string& member : memberPath)
        path += (path.empty() ? "" : ".") + member;
    for (const std::string& wanted : paths) {
        if (wanted == path)
            return true;
    }
    return false;
}

std::vector<std::string> splitIgnoreList(std::string_view text)
{
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view entry = text.substr(start, end - start);
        while (!entry.empty() && isJsonBlank(entry.front()))
            entry.remove_prefix(1);
        while (!entry.empty() && isJsonBlank(entry.back()))
            entry.remove_suffix(1);
        if (!entry.empty())
            entries.emplace_back(entry);
        start = end + 1;
    }
    return entries;
}

std::vector<Difference> replyDifferences(std::string_view recorded, std::string_view current,
                                         const IgnoreRule& ignore)
{
    std::vector<Difference> differences;
    if (recorded == current)
        return differences; // the same text is the same as JSON too, and the usual case
    const std::optional<Json> a = parsed(recorded);
    const std::optional<Json> b = parsed(current);
    if (a && b) {
        Comparer(ignore, differences).compare(*a, *b, std::string());
    } else if (recorded != current) {
        differences.push_back(Difference{"$", a ? shown(*a) : shortened(std::string(recorded)),
                                         b ? shown(*b) : shortened(std::string(current))});
    }
    return differences;
}

std::vector<Difference> resultDifferences(const std::vector<ResultRecord>& recorded,
                                          const std::vector<ResultRecord>& current, const IgnoreRule& ignore)
{
    std::vector<Difference> differences;
    if (recorded.empty()) {
        if (current.empty())
            differences.push_back(Difference{"results", "1", "0"});
        else if (current.front().code != 0)
            differences.push_back(Difference{"code", "0", std::to_string(current.front().code)});
        return differences;
    }
    if (recorded.size() != current.size())
        differences.push_back(
            Difference{"results", std::to_string(recorded.size()), std::to_string(current.size())});
    const bool numbered = recorded.size() > 1 || current.size() > 1;
    const std::size_t common = std::min(recorded.size(), current.size());
    for (std::size_t i = 0; i < common; ++i) {
        const std::size_t from = differences.size();
        if (recorded[i].code != current[i].code)
            differences.push_back(
                Difference{"code", std::to_string(recorded[i].code), std::to_string(current[i].code)});
        for (Difference& difference : replyDifferences(recorded[i].reply, current[i].reply, ignore))
            differences.push_back(std::move(difference));
        if (numbered)
            prefixed(differences, from, "#" + std::to_string(i + 1) + " ");
    }
    return differences;
}

} // namespace tessel
