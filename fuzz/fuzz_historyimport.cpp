// The import of the old JSON Lines history: any bytes are read to the end
// without a crash; every line is reported once, as imported or as damaged,
// never both; an imported line read on its own is what the import took it
// for, and a line reported damaged is not one of ours (or is too long). A
// format line of a newer version ends the reading there, with nothing after
// it reported.
//
// Input: the text of a history file. Its length picks the longest line
// allowed, so that the skipping of long lines is reached as well.

#include "fuzz/fuzzsupport.h"
#include "history/historyfile.h"

#include <QBuffer>
#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>
#include <map>

namespace {

using Kind = tessel::HistoryLine::Kind;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > (1 << 20))
        return 0;
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    const qint64 longest = size % 3 == 0 ? 40 : qint64(1) << 20;

    std::map<qint64, Kind> reported; // line number -> what the import said
    bool twice = false;
    auto report = [&](qint64 line, Kind kind) {
        twice = twice || !reported.emplace(line, kind).second;
    };
    tessel::HistoryImportSink sink;
    sink.send = [&](qint64 line, const tessel::HistoryEntry& send) {
        FUZZ_CHECK(send.results.empty());
        report(line, Kind::Send);
    };
    sink.result = [&](qint64 line, const QString&, const tessel::HistoryResult&) {
        report(line, Kind::Result);
    };
    sink.damaged = [&](qint64 line) {
        report(line, Kind::Damaged);
    };
    const tessel::HistoryImportCounts counts = tessel::importHistoryLines(device, sink, longest);
    FUZZ_CHECK(!twice);
    const bool stopped = counts.newerVersion > 0;
    FUZZ_CHECK(stopped || device.atEnd());

    QList<QByteArray> lines = bytes.split('\n');
    if (bytes.endsWith('\n'))
        lines.removeLast(); // the empty part after the last line end
    qint64 sends = 0;
    qint64 results = 0;
    qint64 damaged = 0;
    for (const auto& [number, kind] : reported) {
        FUZZ_CHECK(number >= 1 && number <= lines.size() && (!stopped || number < counts.newerAtLine));
        const QByteArray& line = lines[static_cast<int>(number - 1)];
        const Kind alone = tessel::parseHistoryLine(line).kind;
        if (kind == Kind::Damaged) {
            FUZZ_CHECK(line.size() > longest || alone == Kind::Damaged);
            ++damaged;
        } else {
            FUZZ_CHECK(line.size() <= longest && alone == kind);
            ++(kind == Kind::Send ? sends : results);
        }
    }
    FUZZ_CHECK(counts.sends == sends && counts.results == results && counts.damaged == damaged);
    if (stopped) {
        FUZZ_CHECK(counts.newerAtLine >= 1 && counts.newerAtLine <= lines.size());
        const tessel::HistoryLine header =
            tessel::parseHistoryLine(lines[static_cast<int>(counts.newerAtLine - 1)]);
        FUZZ_CHECK(header.kind == Kind::Header && header.version > tessel::historyFileVersion);
    }
    // The lines not reported, up to where the reading stopped, are the blank
    // ones and headers of a version this build reads.
    const int read = stopped ? static_cast<int>(counts.newerAtLine - 1) : lines.size();
    for (int i = 0; i < read; ++i) {
        if (reported.count(i + 1) == 0) {
            const tessel::HistoryLine alone = tessel::parseHistoryLine(lines[i]);
            FUZZ_CHECK(lines[i].size() <= longest &&
                       (alone.kind == Kind::Blank ||
                        (alone.kind == Kind::Header && alone.version <= tessel::historyFileVersion)));
        }
    }
    return 0;
}
