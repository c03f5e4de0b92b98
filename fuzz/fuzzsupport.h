#pragma once

// Shared by the fuzz targets: a check that stops the run with a message (so
// that libFuzzer keeps the input as a crash), and helpers for the invariants.

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition);           \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

namespace fuzzsupport {

// Well-formed UTF-8: no stray continuation bytes, no overlong forms, no
// surrogates, nothing beyond U+10FFFF.
inline bool isUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned long point = 0;
        unsigned long least = 0;
        if ((byte & 0xE0) == 0xC0) {
            length = 2, point = byte & 0x1F, least = 0x80;
        } else if ((byte & 0xF0) == 0xE0) {
            length = 3, point = byte & 0x0F, least = 0x800;
        } else if ((byte & 0xF8) == 0xF0) {
            length = 4, point = byte & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            point = (point << 6) | (next & 0x3F);
        }
        if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// The input as text, and the text split at the first `separator` (the second
// part empty when there is none).
inline std::string_view asText(const unsigned char* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

inline std::pair<std::string_view, std::string_view> splitAt(std::string_view text,
                                                             std::string_view separator)
{
    const auto at = text.find(separator);
    if (at == std::string_view::npos)
        return {text, {}};
    return {text.substr(0, at), text.substr(at + separator.size())};
}

} // namespace fuzzsupport
