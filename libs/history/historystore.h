#pragma once

// The history database (SQLite): one row per send, one per result. Several
// copies of the program may use one database at once (WAL journal, busy
// timeout, one write transaction per batch). A HistoryStore lives on one
// thread: its connection may not be used from any other.

#include "history/historyentry.h"
#include "history/historyfile.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>

#include <memory>
#include <vector>

class QSqlQuery;

namespace tessel {

struct HistoryLimits
{
    int requests = 10000;                 // the latest requests kept
    qint64 textBytes = qint64(256) << 20; // request and reply text kept, UTF-8
    qint64 replyBytes = qint64(16) << 20; // one reply longer than this is cut
    // Another copy may hold the database's lock: one attempt waits this long
    // for it, the next comes `retryMs` after; at exit the last writes are
    // given up after `exitWaitMs` (an attempt under way then ends first).
    int busyTimeoutMs = 2000;
    int retryMs = 200;
    int exitWaitMs = 3000;
};

// One thing to write: a send (its results come as writes of their own) or a
// result, which names its send by id.
struct HistoryWrite
{
    enum class Kind
    {
        Send,
        Result
    };
    Kind kind = Kind::Send;
    HistoryEntry send; // Kind::Send, without results
    QString id;        // Kind::Result
    HistoryResult result;
};

struct HistoryLoad
{
    HistoryEntries entries; // oldest first, the latest `limits.requests` at most
    QString message;        // one line when something had to be said, else empty
    bool writable = true;   // false: the session is kept in memory only
    bool busy = false;      // another copy held the lock too long: nothing read, open again later
};

class HistoryStore
{
public:
    enum class Outcome
    {
        Written,
        Busy,  // another copy held the database too long: try again later
        Failed // cannot be written (full disk, read-only, damaged): give up
    };

    HistoryStore(QString path, HistoryLimits limits);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens the database, creating it and its folder when missing. A file
    // that is not a sound history database is renamed to
    // "<name>.damaged-<time>" and a fresh one starts. The old JSON Lines
    // history beside it is imported once. Then reads the latest requests. A
    // database that cannot be written (a read-only folder) is read all the
    // same, and the load says it is not writable.
    HistoryLoad open();
    // For the attempts from now on, also those of an open connection.
    void setBusyTimeout(int ms);

    // All of them in one transaction, then the oldest beyond the limits go.
    Outcome write(const std::vector<HistoryWrite>& writes, QString* error);

    // The file that earlier versions kept the history in, in the same folder.
    static QString oldFilePath(const QString& databasePath);

private:
    enum class Check
    {
        Sound,
        Damaged,
        Unusable,
        Busy
    };
    enum class Claim
    {
        Ours,      // this copy imports, from `offset` on
        Done,      // imported before: only the renaming is left
        Elsewhere, // another copy is at it, or the file has gone
        Failed
    };
    static QString joined(const QString& first, const QString& second);
    static QString freeName(const QString& base);
    Check connect(QString* error);
    Check check(bool readOnly, QString* error);
    bool connectReadOnly(QString* error);
    void disconnect();
    bool setAside(QString* message);
    bool exec(const QString& sql, QString* error);
    // `unknown`, when given, counts the results whose send is not known.
    Outcome insert(const std::vector<HistoryWrite>& writes, std::vector<QString>* added, QString* error,
                   qint64* unknown = nullptr);
    bool trim(QString* error);
    bool importOldFile(QString* message);
    Claim claimImport(const QString& stamp, qint64* offset, QString* error);
    Outcome importBatch(const std::vector<HistoryWrite>& batch, const QString& stamp, qint64 from, qint64 to,
                        bool last, qint64* unknown, QString* error);
    bool readLatest(HistoryEntries* entries, QString* error);
    Outcome failure(const QString& what, const QSqlQuery& query, QString* error);
    // Commits a written transaction, or rolls it back and forgets the rows it
    // added; the outcome of the two.
    Outcome finish(Outcome outcome, QSqlQuery& transaction, const std::vector<QString>& added,
                   QString* error);

    QString path;
    HistoryLimits limits;
    int busyTimeoutMs;
    QString connection;
    QSqlDatabase db;
    bool open_ = false;
    QHash<QString, qint64> rowOfId; // this session's sends, by id
};

} // namespace tessel
