#pragma once

// Equality of JSON values for the fuzz checks. nlohmann::json's own operator==
// compares a signed with an unsigned integer after a cast, so that -1 equals
// 18446744073709551615; here numbers compare by their exact value.

#include <nlohmann/json.hpp>

#include <cstdint>

namespace fuzzsupport {

// long double holds every 64-bit integer and every double exactly on x86-64.
inline long double exactNumber(const nlohmann::json& value)
{
    if (value.is_number_unsigned())
        return static_cast<long double>(value.get<std::uint64_t>());
    if (value.is_number_integer())
        return static_cast<long double>(value.get<std::int64_t>());
    return static_cast<long double>(value.get<double>());
}

inline bool sameValue(const nlohmann::json& a, const nlohmann::json& b)
{
    if (a.is_number() && b.is_number())
        return exactNumber(a) == exactNumber(b);
    if (a.type() != b.type() || a.size() != b.size())
        return false;
    if (a.is_array()) {
        for (std::size_t i = 0; i < a.size(); ++i)
            if (!sameValue(a[i], b[i]))
                return false;
        return true;
    }
    if (a.is_object()) {
        for (const auto& item : a.items()) {
            const auto other = b.find(item.key());
            if (other == b.end() || !sameValue(item.value(), *other))
                return false;
        }
        return true;
    }
    return a == b;
}

} // namespace fuzzsupport
