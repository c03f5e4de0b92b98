#pragma once

// Checking and re-laying out the text of a request. Layout works on the text
// itself, so keys keep their order and numbers, strings and escapes stay
// exactly as written; only the blanks between tokens change.

#include "history/requestserial.h"

#include <QString>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tessel {

// The first fault of a text that is not JSON. Line and column count from 1;
// the column counts characters (not bytes) from the start of the line.
struct JsonFault
{
    int line = 1;
    int column = 1;
    std::string message; // the parser's description of the fault
};

// The first fault of `text` (UTF-8), or nothing when it is one valid JSON value.
std::optional<JsonFault> findJsonFault(std::string_view text);

// How a request box says its text is not JSON: a red frame on the box that
// `selector` names (a style sheet selector such as "QTextEdit#textEdit_2").
QString jsonFaultStyle(const QString& selector);
// The fault as a request box's tool tip shows it; the parser's words are cut
// to 200 characters.
QString faultText(const JsonFault& fault);

// Line and column, as above, of the byte at `offset` (clamped into the text).
JsonFault positionOf(std::string_view text, std::size_t offset);

struct JsonLayout
{
    std::string text;               // the laid-out text when `fault` is empty
    std::optional<JsonFault> fault; // why the text was refused
};

// Token helpers (isJsonBlank, jsonStringEnd) come with the request serial reader.

// Indented with four blanks per level, one member or element per line.
// Refused beyond 1000 levels of nesting, which would need gigabytes of blanks.
JsonLayout indentJson(std::string_view text);
// On one line without any blank between tokens.
JsonLayout compactJson(std::string_view text);

} // namespace tessel
