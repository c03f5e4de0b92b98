#pragma once

// The history file: JSON Lines, one header line, then one line per send and
// one per result, appended as they happen, so that writing is cheap and the
// file can be replayed. A result line names its request by id; requests from
// several sessions (even two programs at once) can interleave.

#include "history/historyentry.h"

#include <QByteArray>
#include <QString>

#include <deque>

namespace tessel {

using HistoryEntries = std::deque<HistoryEntry>;

QByteArray historyHeaderLine();
QByteArray historySendLine(const HistoryEntry& entry);
QByteArray historyResultLine(const QString& id, const HistoryResult& result);

// The request's "sn" when it is a JSON object holding a text there, else empty.
QString serialOfRequest(const QByteArray& requestText);

struct HistoryLoad
{
    HistoryEntries entries;    // oldest first, the latest `cap` requests at most
    qint64 requestsInFile = 0; // send lines in the file as it now stands
    QString message;           // one line when the file had to be set aside
    bool writable = true;      // false when a bad file could not be moved away
};

// Replays the file. A missing or empty file is an empty history. A file that
// is not a history, or holds a line that is not one of ours, is renamed to
// "<name>.damaged-<time>" and the history starts afresh. A last line cut
// short (the program died while writing) is dropped. When the file holds more
// than `cap` requests, or had a cut line, it is rewritten with what is kept.
HistoryLoad loadHistoryFile(const QString& path, int cap);

// Replaces the file whole (QSaveFile) with the header and these entries.
bool writeHistoryFile(const QString& path, const HistoryEntries& entries, QString* error);

// The export: one JSON object per request with its results, oldest first.
QByteArray historyExportLine(const HistoryEntry& entry);
bool exportHistory(const QString& path, const HistoryEntries& entries, QString* error);

} // namespace tessel
