#pragma once

// One console request as the history keeps it, with every result it drew.

#include <QString>
#include <QtGlobal>

#include <vector>

namespace tessel {

struct HistoryResult
{
    int code = 0;
    qint64 ms = 0; // since the send
    QString reply;
    qint64 cutFromBytes = 0; // the reply's UTF-8 length before it was cut, 0 when whole
};

struct HistoryEntry
{
    QString id;          // unique across sessions: "<session>-<n>"
    qint64 sentAtMs = 0; // wall clock of the send, ms since the epoch
    QString serial;      // the request's "sn", empty when it has none
    QString operation;
    QString request;
    QString batch;                      // the batch send it belonged to, empty for an ordinary send
    std::vector<HistoryResult> results; // in order of arrival
};

// Cuts a reply longer than `maxBytes` (UTF-8) at a whole character and ends
// it with a visible mark; sets cutFromBytes to its length before.
void limitReply(HistoryResult& result, qint64 maxBytes);
// The mark that ends a reply of `wholeBytes` cut to its first `keptBytes`.
QString cutMark(qint64 wholeBytes, qint64 keptBytes);
// The text's length in UTF-8, counted without converting it.
qint64 utf8Length(const QString& text);

} // namespace tessel
