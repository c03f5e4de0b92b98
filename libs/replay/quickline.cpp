#include "replay/quickline.h"

#include "requests/jsontext.h"

#include <utility>

namespace tessel {
namespace {

enum class Member : unsigned
{
    Operation,
    Request,
    Results,
    IgnoreList,
    Time,
    Sn,
    Batch,
    Code,
    Reply,
    Ms,
    None
};

unsigned bitOf(Member member)
{
    return 1u << static_cast<unsigned>(member);
}

Member lineMember(const std::string& name)
{
    static const std::pair<const char*, Member> names[] = {
        {"operation", Member::Operation}, {"request", Member::Request}, {"results", Member::Results},
        {"ignore", Member::IgnoreList},   {"time", Member::Time},       {"sn", Member::Sn},
        {"batch", Member::Batch}};
    for (const auto& [text, member] : names)
        if (name == text)
            return member;
    return Member::None;
}

Member resultMember(const std::string& name)
{
    if (name == "code")
        return Member::Code;
    if (name == "reply")
        return Member::Reply;
    return name == "ms" ? Member::Ms : Member::None;
}

} // namespace

bool QuickLine::read(RunLine& line)
{
    unsigned seen = 0;
    if (!take('{'))
        return false;
    do {
        std::string name;
        if (!text(name) || !take(':'))
            return false;
        const Member member = lineMember(name);
        if (member == Member::None || (seen & bitOf(member)))
            return false;
        seen |= bitOf(member);
        bool ok = false;
        std::string ignored;
        switch (member) {
        case Member::Operation:
            ok = text(line.operation) && !line.operation.empty();
            break;
        case Member::Request:
            ok = text(line.request);
            break;
        case Member::Results:
            ok = results(line.results);
            break;
        case Member::IgnoreList:
            ok = texts(line.ignore);
            break;
        default: // time, sn, batch: texts, informative
            ok = text(ignored);
        }
        if (!ok)
            return false;
    } while (take(','));
    if (!take('}'))
        return false;
    skipBlank();
    return at == end && (seen & bitOf(Member::Operation)) && (seen & bitOf(Member::Request));
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
        if (!take('{'))
            return false;
        do {
            std::string name;
            if (!text(name) || !take(':'))
                return false;
            const Member member = resultMember(name);
            if (member == Member::None || (seen & bitOf(member)))
                return false;
            seen |= bitOf(member);
            qint64 number = 0;
            if (member == Member::Reply) {
                if (!text(result.reply))
                    return false;
            } else if (!whole(number)) {
                return false;
            } else if (member == Member::Ms) {
                result.ms = number;
            } else if (number < 0 || number > 65535) {
                return false;
            } else {
                result.code = static_cast<int>(number);
            }
        } while (take(','));
        if (!take('}') || !(seen & bitOf(Member::Code)))
            return false;
        out.push_back(std::move(result));
    } while (take(','));
    return take(']');
}

} // namespace tessel
