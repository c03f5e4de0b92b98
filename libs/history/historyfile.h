#pragma once

// The history as JSON Lines: the export ("导出…", one request with its results
// per line) and the reader of the file that earlier versions kept the history
// in (a header line, then one line per send and one per result), which is
// imported once into the database.

#include "history/historyentry.h"

#include <QByteArray>
#include <QString>

#include <deque>
#include <functional>

class QIODevice;

namespace tessel {

using HistoryEntries = std::deque<HistoryEntry>;

// The newest version of the old file's format line that this build reads.
constexpr int historyFileVersion = 1;

// The request's "sn" when it is a JSON object holding a text there, else empty.
QString serialOfRequest(const QByteArray& requestText);

// One line of the old history file, as read.
struct HistoryLine
{
    enum class Kind
    {
        Blank,   // empty: nothing to import
        Header,  // the file's format line; `version` holds its version
        Send,    // `entry` holds the request (no results)
        Result,  // `id` names the request, `result` holds the result
        Damaged, // not one of the above
    };
    Kind kind = Kind::Blank;
    int version = 0;
    HistoryEntry entry;
    QString id;
    HistoryResult result;
};

// The line without its line end.
HistoryLine parseHistoryLine(const QByteArray& line);

// Where the import puts what it reads, line by line in file order.
struct HistoryImportSink
{
    std::function<void(qint64 lineNumber, const HistoryEntry& send)> send;
    std::function<void(qint64 lineNumber, const QString& id, const HistoryResult& result)> result;
    std::function<void(qint64 lineNumber)> damaged;
    // When set, asked after each line: false ends the reading there.
    std::function<bool()> more;
};

struct HistoryImportCounts
{
    qint64 sends = 0;
    qint64 results = 0;
    qint64 damaged = 0; // lines that were not ours, also a last line cut short
    // A format line of a version newer than historyFileVersion ends the
    // reading: what follows it is not read the way its writer meant.
    int newerVersion = 0;
    qint64 newerAtLine = 0;
};

// Reads the device to its end, one line at a time (a file of any size): every
// well-formed line goes to the sink, also a last line without its line end
// when it parses; a line longer than `longestLine` bytes counts as damaged.
// It stops early at a format line of a newer version, or when `sink.more` says so.
HistoryImportCounts importHistoryLines(QIODevice& device, const HistoryImportSink& sink,
                                       qint64 longestLine = qint64(512) << 20);

// The export: one JSON object per request with its results, oldest first.
QByteArray historyExportLine(const HistoryEntry& entry);
bool exportHistory(const QString& path, const HistoryEntries& entries, QString* error);

} // namespace tessel
