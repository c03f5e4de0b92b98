// The quick reading of run lines against the full one: whatever the quick
// reading takes, the full reading takes too, with the same fields; any other
// line goes to the full reading, which must not crash on it.
//
// The input as a whole run file then goes through the reader, its line cap
// set small so that a seed can pass it: a line is refused as too long when,
// and only when, it is longer than the cap. A line read is written back as
// --record writes it, and reads back with the same checks.
//
// Input: one line of a run file (or several).

#include "fuzz/fuzzsupport.h"
#include "replay/quickline.h"
#include "replay/runfile.h"

#include <QTemporaryFile>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

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

void checkWrittenBack(const tessel::RunLine& line)
{
    const std::string written = tessel::runFileLine(line, line.request, line.results, 0);
    tessel::RunFileFault fault;
    const auto again = tessel::parseRunLine(std::string_view(written).substr(0, written.size() - 1), fault);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->expect == line.expect && again->expectCode == line.expectCode);
    FUZZ_CHECK(again->capture == line.capture);
    FUZZ_CHECK(again->untilTries == line.untilTries && again->untilEveryMs == line.untilEveryMs);
}

constexpr std::size_t longestLine = 1024;

// The lengths of the text's lines, without their line ends (a '\r' before one included).
std::vector<std::size_t> lineLengths(std::string_view text)
{
    std::vector<std::size_t> lengths;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::size_t length = end - start;
        if (length > 0 && text[end - 1] == '\r')
            --length;
        lengths.push_back(length);
        start = end + 1;
    }
    return lengths;
}

void readAsFile(std::string_view text)
{
    static QTemporaryFile file; // one for the whole run, rewritten for every input
    FUZZ_CHECK(file.isOpen() || file.open());
    FUZZ_CHECK(file.resize(0) && file.seek(0));
    FUZZ_CHECK(file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size()));
    FUZZ_CHECK(file.flush());
    tessel::RunFileReader reader;
    reader.setLongestLine(longestLine);
    std::string error;
    FUZZ_CHECK(reader.open(file.fileName(), error));
    const std::vector<std::size_t> lengths = lineLengths(text);
    const auto tooLong = [&](qint64 number) {
        return number >= 1 && static_cast<std::size_t>(number) <= lengths.size() &&
               lengths[static_cast<std::size_t>(number - 1)] > longestLine;
    };
    tessel::RunLine line;
    tessel::RunFileFault fault;
    tessel::RunFileReader::Step step;
    qint64 reached = 0; // every line up to here was within the cap
    while ((step = reader.next(line, fault)) == tessel::RunFileReader::Step::Line)
        reached = line.lineNumber;
    if (step == tessel::RunFileReader::Step::End)
        reached = static_cast<qint64>(lengths.size());
    // Other faults may quote the line's own text, so only the start tells.
    else if (fault.message.rfind("the line is longer than ", 0) != 0)
        reached = fault.line;
    else
        FUZZ_CHECK(tooLong(fault.line));
    for (qint64 number = 1; number <= reached; ++number)
        FUZZ_CHECK(!tooLong(number));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    readAsFile(text);
    tessel::RunFileFault fault;
    tessel::RunLine quick;
    if (!tessel::QuickLine(text).read(quick)) {
        if (const std::optional<tessel::RunLine> full = tessel::parseRunLine(text, fault))
            checkWrittenBack(*full);
        return 0;
    }
    const std::optional<tessel::RunLine> full = tessel::parseRunLineFully(text, fault);
    FUZZ_CHECK(full.has_value());
    FUZZ_CHECK(full->operation == quick.operation && full->request == quick.request);
    FUZZ_CHECK(full->ignore == quick.ignore);
    FUZZ_CHECK(sameResults(full->results, quick.results));
    return 0;
}
