// The request check and the two layouts of the console's request box: they
// never throw; a layout refuses exactly what the check refuses (indenting also
// what nests too deep); an accepted text comes out as valid JSON with the same
// tokens, spelled as written and in the same order, only the blanks changed.
//
// Input: the request text, any bytes (NUL characters included).

#include "fuzz/fuzzsupport.h"
#include "fuzz/jsontokens.h"
#include "requests/jsontext.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using fuzzsupport::rawTokens;

void checkLaidOut(std::string_view original, const std::string& laidOut)
{
    FUZZ_CHECK(!tessel::findJsonFault(laidOut));
    FUZZ_CHECK(rawTokens(laidOut) == rawTokens(original));
    // What the check accepts, the parser reads whole.
    FUZZ_CHECK(!nlohmann::json::parse(laidOut, nullptr, false).is_discarded());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = fuzzsupport::asText(data, size);
    const std::optional<tessel::JsonFault> fault = tessel::findJsonFault(text);
    const tessel::JsonLayout wide = tessel::indentJson(text);
    const tessel::JsonLayout narrow = tessel::compactJson(text);

    if (fault) {
        FUZZ_CHECK(fault->line >= 1 && fault->column >= 1 && !fault->message.empty());
        FUZZ_CHECK(wide.fault && narrow.fault && wide.text.empty() && narrow.text.empty());
        FUZZ_CHECK(narrow.fault->line == fault->line && narrow.fault->column == fault->column);
        return 0;
    }
    FUZZ_CHECK(text.find('\0') == std::string_view::npos);
    FUZZ_CHECK(!narrow.fault);
    checkLaidOut(text, narrow.text);
    // Compact means no blank outside a string: the tokens, joined, are the text.
    std::string joined;
    for (std::string_view token : rawTokens(narrow.text))
        joined += token;
    FUZZ_CHECK(joined == narrow.text);

    if (wide.fault) {
        FUZZ_CHECK(wide.fault->message.find("nested deeper") != std::string::npos);
        return 0;
    }
    checkLaidOut(text, wide.text);
    FUZZ_CHECK(tessel::compactJson(wide.text).text == narrow.text);
    FUZZ_CHECK(tessel::indentJson(narrow.text).text == wide.text);
    return 0;
}
