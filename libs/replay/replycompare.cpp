#include "replay/replycompare.h"

#include "history/historyentry.h"
#include "requests/jsontext.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace tessel {

const char* const absentValue = "(无)";
const char* const replyCutNote = "the recorded reply was cut: its kept part was compared";

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

std::string shown(const Json& value)
{
    return shownValue(value.dump(-1, ' ', false, Json::error_handler_t::replace));
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

// What a JSON text cut short holds: every value that ended before the cut,
// in the containers still open there (`open`, outermost first).
class CutJson : public nlohmann::json_sax<Json>
{
public:
    Json root;
    std::vector<const Json*> open;

    // False when `kept` is not the start of a JSON text.
    bool read(std::string_view kept)
    {
        size = kept.size();
        const bool whole = Json::sax_parse(kept.begin(), kept.end(), this);
        if (!whole && !cutShort)
            return false;
        // A number at the very end may have been cut too.
        if (lastNumber && std::string_view("0123456789.eE+-").find(kept.back()) != std::string_view::npos) {
            if (stack.empty())
                return false;
            if (stack.back()->is_array())
                stack.back()->erase(stack.back()->size() - 1);
            else
                stack.back()->erase(lastKey);
        }
        open.assign(stack.begin(), stack.end());
        return true;
    }

    bool null() override { return put(nullptr); }
    bool boolean(bool value) override { return put(value); }
    bool number_integer(number_integer_t value) override { return put(value, true); }
    bool number_unsigned(number_unsigned_t value) override { return put(value, true); }
    bool number_float(number_float_t value, const string_t&) override { return put(value, true); }
    bool string(string_t& value) override { return put(std::move(value)); }
    bool binary(binary_t&) override { return true; }
    bool key(string_t& name) override
    {
        pendingKey = std::move(name);
        lastNumber = false;
        return true;
    }
    bool start_object(std::size_t) override { return put(Json::object()) && enter(); }
    bool start_array(std::size_t) override { return put(Json::array()) && enter(); }
    bool end_object() override { return leave(); }
    bool end_array() override { return leave(); }
    bool parse_error(std::size_t position, const std::string&, const Json::exception&) override
    {
        cutShort = position > size; // the text ran out, rather than went wrong
        return false;
    }

private:
    bool put(Json value, bool number = false)
    {
        if (stack.empty()) {
            root = std::move(value);
            placed = &root;
        } else if (stack.back()->is_array()) {
            stack.back()->push_back(std::move(value));
            placed = &stack.back()->back();
        } else {
            placed = &(*stack.back())[pendingKey];
            *placed = std::move(value);
            lastKey = pendingKey;
        }
        lastNumber = number;
        return true;
    }
    bool enter()
    {
        stack.push_back(placed); // stays valid: its parent takes nothing more while it is open
        return true;
    }
    bool leave()
    {
        stack.pop_back();
        lastNumber = false;
        return true;
    }

    std::vector<Json*> stack;
    Json* placed = nullptr;
    std::string pendingKey, lastKey;
    std::size_t size = 0;
    bool lastNumber = false;
    bool cutShort = false;
};

class Comparer
{
public:
    // `open`: containers of `a` that a cut ended; what they lack is no difference.
    Comparer(const IgnoreRule& ignore, std::vector<Difference>& out, std::vector<const Json*> open = {})
        : ignore(ignore), out(out), open(std::move(open))
    {}

    void compare(const Json& a, const Json& b, const std::string& path)
    {
        const bool cut = std::find(open.begin(), open.end(), &a) != open.end();
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
            for (auto it = b.begin(); it != b.end() && !cut; ++it) {
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
            for (std::size_t i = common; i < b.size() && !cut; ++i)
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
    const std::vector<const Json*> open;
    std::vector<std::string> members;
};

std::vector<Difference> cutReplyDifferences(std::string_view kept, std::string_view current,
                                            const IgnoreRule& ignore)
{
    std::vector<Difference> differences;
    if (current.substr(0, kept.size()) == kept)
        return differences;
    const std::optional<Json> b = parsed(current);
    CutJson a;
    if (b && nestedBeyond(kept) == std::string_view::npos && a.read(kept))
        Comparer(ignore, differences, a.open).compare(a.root, *b, std::string());
    else
        differences.push_back(
            Difference{"$", shownValue(std::string(kept)), shownValue(std::string(current))});
    return differences;
}

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
        differences.push_back(Difference{"$", a ? shown(*a) : shownValue(std::string(recorded)),
                                         b ? shown(*b) : shownValue(std::string(current))});
    }
    return differences;
}

std::size_t keptPartOf(std::string_view reply)
{
    // The mark is short and has no line end in it.
    const std::size_t from = reply.size() > 200 ? reply.size() - 200 : 0;
    const std::size_t end = reply.substr(from).rfind('\n');
    if (end == std::string_view::npos)
        return std::string_view::npos;
    const std::size_t kept = from + end;
    const std::string_view mark = reply.substr(kept);
    qint64 whole = 0;
    for (std::size_t i = mark.find_first_of("0123456789"); i < mark.size() && whole < (qint64(1) << 50);
         ++i) {
        if (mark[i] < '0' || mark[i] > '9')
            break;
        whole = whole * 10 + (mark[i] - '0');
    }
    if (whole <= qint64(kept))
        return std::string_view::npos;
    const QByteArray expected = cutMark(whole, qint64(kept)).toUtf8();
    return mark == std::string_view(expected.constData(), std::size_t(expected.size()))
               ? kept
               : std::string_view::npos;
}

bool anyReplyCut(const std::vector<ResultRecord>& results)
{
    return std::any_of(results.begin(), results.end(), [](const ResultRecord& result) {
        return keptPartOf(result.reply) != std::string_view::npos;
    });
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
        const std::string_view reply = recorded[i].reply;
        const std::size_t kept = keptPartOf(reply);
        for (Difference& difference :
             kept == std::string_view::npos
                 ? replyDifferences(reply, current[i].reply, ignore)
                 : cutReplyDifferences(reply.substr(0, kept), current[i].reply, ignore))
            differences.push_back(std::move(difference));
        if (numbered)
            prefixed(differences, from, "#" + std::to_string(i + 1) + " ");
    }
    return differences;
}

std::string shownValue(std::string text)
{
    if (text.size() <= maxValueBytes)
        return text;
    std::size_t cut = maxValueBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    text.resize(cut);
    return text + "…";
}

} // namespace tessel
