// Targets files: any text is either refused with a fault inside the text
// (a line that exists, a column within it) or read into targets that the
// CSV writer writes back to the same targets. The first byte chooses the
// reader; a placeholder scan runs over the rest as a checklist text would.
//
// Input: one byte (even: CSV, odd: JSON Lines), then the file's text.

#include "fuzz/fuzzsupport.h"
#include "replay/placeholders.h"
#include "targets/targets.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

bool sameTargets(const std::vector<tessel::Target>& a, const std::vector<tessel::Target>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].sn != b[i].sn || a[i].name != b[i].name || a[i].ip != b[i].ip || a[i].groups != b[i].groups)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool jsonLines = data[0] & 1;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    tessel::TargetsFault fault;
    const auto targets =
        jsonLines ? tessel::parseTargetsJsonLines(text, fault) : tessel::parseTargetsCsv(text, fault);
    if (!targets) {
        const auto lines = 1 + std::count(text.begin(), text.end(), '\n');
        FUZZ_CHECK(fault.line >= 1 && fault.line <= lines);
        FUZZ_CHECK(fault.column >= 0);
        FUZZ_CHECK(!fault.message.empty() && fuzzsupport::isUtf8(fault.text()));
    } else {
        FUZZ_CHECK(!targets->empty());
        for (const tessel::Target& target : *targets) {
            FUZZ_CHECK(!target.sn.empty());
            FUZZ_CHECK(fuzzsupport::isUtf8(tessel::targetLine(target)));
        }
        // Groups with an empty name or a ';' cannot be written back as they came.
        const bool writable = std::all_of(targets->begin(), targets->end(), [](const tessel::Target& target) {
            return std::none_of(target.groups.begin(), target.groups.end(), [](const std::string& group) {
                return group.empty() || group.find(';') != std::string::npos;
            });
        });
        if (writable && !jsonLines) {
            tessel::TargetsFault again;
            const auto back = tessel::parseTargetsCsv(tessel::targetsCsv(*targets), again);
            FUZZ_CHECK(back && sameTargets(*targets, *back));
        }
    }
    int column = 0;
    std::string why;
    if (!tessel::placeholderNames(text, column, why))
        FUZZ_CHECK(column >= 1 && !why.empty());
    return 0;
}
