#include "replay/quickline.h"

#include "requests/jsontext.h"

#include <utility>

namespace tessel {
namespace {

unsigned bitOf(RunMember member)
{
    return 1u << static_cast<unsigned>(member);
}

} // namespace

RunMember lineMember(std::string_view name)
{
    static const std::pair<std::string_view, RunMember> names[] = {{"operation", RunMember::Operation},
                                                                   {"request", RunMember::Request},
                                                                   {"results", RunMember::Results},
                                                                   {"ignore", RunMember::Ignore},
                                                                   {"time", RunMember::Time},
                                                                   {"sn", RunMember::Sn},
                                                                   {"batch", RunMember::Batch},
                                                                   {"expect", RunMember::Expect},
                                                                   {"expectCode", RunMember::ExpectCode},
                                                                   {"capture", RunMember::Capture},
                                                                   {"until", RunMember::Until}};
    for (const auto& [text, member] : names)
        if (name == text)
            return member;
    return RunMember::None;
}

RunMember resultMember(std::string_view name)
{
    if (name == "code")
        return RunMember::Code;
    if (name == "reply")
        return RunMember::Reply;
    return name == "ms" ? RunMember::Ms : RunMember::None;
}

// Reads `{"name": value, ...}`, each name one that `which` knows, none twice;
// `value(member)` reads what follows the colon. `seen` holds the names read.
template <typename Value>
bool QuickLine::object(RunMember (*which)(std::string_view), unsigned& seen, Value&& value)
{
    seen = 0;
    if (!take('{'))
        return false;
    do {
        std::string name;
        if (!text(name) || !take(':'))
            return false;
        const RunMember member = which(name);
        if (member == RunMember::None || (seen & bitOf(member)))
            return false;
        seen |= bitOf(member);
        if (!value(member))
            return false;
    } while (take(','));
    return take('}');
}

bool QuickLine::read(RunLine& line)
{
    unsigned seen = 0;
    std::string ignored;
    const bool ok = object(lineMember, seen, [&](RunMember member) {
        switch (member) {
        case RunMember::Operation:
            return text(line.operation) && !line.operation.empty();
        case RunMember::Request:
            return text(line.request);
        case RunMember::Results:
            return results(line.results);
        case RunMember::Ignore:
            return texts(line.ignore);
        case RunMember::Time:
        case RunMember::Sn:
        case RunMember::Batch: // texts, informative
            return text(ignored);
        default: // a checklist's members: the full reading's
            return false;
        }
    });
    if (!ok)
        return false;
    skipBlank();
    return at == end && (seen & bitOf(RunMember::Operation)) && (seen & bitOf(RunMember::Request));
}

void QuickLine::skipBlank()
{
    while (at != end && isJsonBlank(*at))
        ++at;
}

bool QuickLine::take(char c)
{
    skipBlank();
    if (at == end || *at != c)
        return false;
    ++at;
    return true;
}

// A byte beyond ASCII starts a UTF-8 sequence, checked as the full reading
// checks it: no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool QuickLine::utf8(std::string& out)
{
    const auto byte = [this](std::size_t i) {
        return static_cast<unsigned char>(at[i]);
    };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return false;
    }
    if (static_cast<std::size_t>(end - at) < length || byte(1) < low || byte(1) > high)
        return false;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return false;
    out.append(at, length);
    at += length;
    return true;
}

bool QuickLine::text(std::string& out)
{
    if (!take('"'))
        return false;
    out.clear();
    for (;;) {
        const char* plain = at;
        while (at != end && static_cast<unsigned char>(*at) >= 0x20 &&
               static_cast<unsigned char>(*at) < 0x80 && *at != '"' && *at != '\\')
            ++at;
        out.append(plain, static_cast<std::size_t>(at - plain));
        if (at == end || static_cast<unsigned char>(*at) < 0x20)
            return false;
        if (*at == '"') {
            ++at;
            return true;
        }
        if (*at != '\\') {
            if (!utf8(out))
                return false;
            continue;
        }
        if (++at == end)
            return false;
        // Pairs of the escape letter and what it stands for.
        static const char escapes[] = "\"\"\\\\//b\bf\fn\nr\rt\t";
        const char* found = nullptr;
        for (const char* e = escapes; *e && !found; e += 2)
            if (*e == *at)
                found = e;
        if (!found)
            return false; // \u, and faults
        out.push_back(found[1]);
        ++at;
    }
}

bool QuickLine::texts(std::vector<std::string>& out)
{
    if (!take('['))
        return false;
    if (take(']'))
        return true;
    do {
        out.emplace_back();
        if (!text(out.back()))
            return false;
    } while (take(','));
    return take(']');
}

// A whole number of at most 18 digits, without a fraction or an exponent.
bool QuickLine::whole(qint64& value)
{
    skipBlank();
    const bool negative = at != end && *at == '-';
    if (negative)
        ++at;
    const char* digits = at;
    value = 0;
    while (at != end && *at >= '0' && *at <= '9' && at - digits < 18)
        value = value * 10 + (*at++ - '0');
    const std::ptrdiff_t count = at - digits;
    if (count == 0 || (count > 1 && *digits == '0'))
        return false;
    if (at != end && ((*at >= '0' && *at <= '9') || *at == '.' || *at == 'e' || *at == 'E'))
        return false;
    if (negative)
        value = -value;
    return true;
}

bool QuickLine::results(std::vector<ResultRecord>& out)
{
    if (!take('['))
        return false;
    if (take(']'))
        return true;
    do {
        ResultRecord result;
        unsigned seen = 0;
        const bool ok = object(resultMember, seen, [&](RunMember member) {
            if (member == RunMember::Reply)
                return text(result.reply);
            qint64 number = 0;
            if (!whole(number))
                return false;
            if (member == RunMember::Ms) {
                result.ms = number;
                return true;
            }
            if (number < 0 || number > 65535)
                return false;
            result.code = static_cast<int>(number);
            return true;
        });
        if (!ok || !(seen & bitOf(RunMember::Code)))
            return false;
        out.push_back(std::move(result));
    } while (take(','));
    return take(']');
}

} // namespace tessel
