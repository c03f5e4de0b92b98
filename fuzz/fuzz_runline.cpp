// The quick reading of run lines against the full one: whatever the quick
// reading takes, the full reading takes too, with the same fields; any other
// line goes to the full reading, which must not crash on it.
//
// Input: one line of a run file.

#include "fuzz/fuzzsupport.h"
#include "replay/quickline.h"
#include "replay/runfile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

bool sameResults(const std::vector<tessel::ResultRecord>& a, const std::vector<tessel::ResultRecord>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].code != b[i].code || a[i].reply != b[i].reply || a[i].ms != b[i].ms)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tessel::RunFileFault fault;
    tessel::RunLine quick;
    if (!tessel::QuickLine(text).read(quick)) {
        (void)tessel::parseRunLine(text, fault);
        return 0;
    }
    const std::optional<tessel::RunLine> full = tessel::parseRunLineFully(text, fault);
    FUZZ_CHECK(full.has_value());
    FUZZ_CHECK(full->operation == quick.operation && full->request == quick.request);
    FUZZ_CHECK(full->ignore == quick.ignore);
    FUZZ_CHECK(sameResults(full->results, quick.results));
    return 0;
}
