#pragma once

// "{{name}}" in a checklist line: the value of one of the terminal's
// variables (a targets file's column, a capture of an earlier line, or its
// sn, name or ip), put in before the line is sent or compared.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessel {

// A variable's name: a letter or '_', then letters, digits, '_' or '-'.
bool isVariableName(std::string_view name);

// Gives the value of a variable, or nothing when the terminal has none.
using VariableLookup = std::function<std::optional<std::string>(std::string_view name)>;

// The names `text` uses, each once, in the order first used. Blanks inside
// the braces are allowed ("{{ name }}"). A "{{" with no "}}" after it, or
// braces around something that is no variable name, is a fault: `fault`
// says why and `faultColumn` (characters, from 1) where the "{{" stands.
std::optional<std::vector<std::string>> placeholderNames(std::string_view text, int& faultColumn,
                                                         std::string& fault);

// A request text with each placeholder replaced by its value: escaped as a
// JSON string's content where it stands inside a string, as the raw value
// elsewhere. Nothing, with `missing` naming the variable, when one has no
// value; the text must have passed placeholderNames.
std::optional<std::string> fillRequest(std::string_view request, const VariableLookup& lookup,
                                       std::string& missing);

// `value` as the content of a JSON string, without the quotes around it:
// quotes, backslashes and control characters escaped.
std::string jsonStringContent(std::string_view value);

// An expectation (JSON) with its placeholders filled: a string that is
// exactly "{{name}}" becomes the value read as JSON when it is a number,
// true, false or null, else the value as a string; a placeholder inside a
// longer string (or a member name) is replaced as text. The compact JSON of
// the result, or nothing with `missing` set.
std::optional<std::string> fillExpectation(std::string_view expect, const VariableLookup& lookup,
                                           std::string& missing);

} // namespace tessel
