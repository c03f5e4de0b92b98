#pragma once

// A console request turned into a call of the generated C# or Java bindings:
// the same method name and parameter types as the binding export writes, the
// request as a string literal, and a callback that prints code and reply.

#include <optional>
#include <string>
#include <string_view>

namespace tessel {

// `text` (UTF-8) as a string literal that C# and Java both read, quotes
// included: \" \\ \n \r \t escaped, other control characters and the line
// separators as \uXXXX, every other character kept as UTF-8 text.
std::string stringLiteral(std::string_view text);

// The snippet for operation name `apiName` with `request` as its request, or
// nothing when the name starts no SDK operation.
std::optional<std::string> csharpSnippet(std::string_view apiName, std::string_view request);
std::optional<std::string> javaSnippet(std::string_view apiName, std::string_view request);

} // namespace tessel
