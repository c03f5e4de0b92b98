#pragma once

#include "history/historyentry.h"
#include "history/historylist.h"
#include "history/historystore.h"
#include "mailbox/mailbox.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace tessel {

class HistoryRecorder;

struct PendingHistoryResult
{
    QString id;
    HistoryResult result;
};

// Where SDK threads leave results for the recorder; one wake-up signal stands
// for everything left until the GUI thread takes it.
using ResultInbox = Mailbox<HistoryRecorder, PendingHistoryResult>;

// Handed out for one send; the call's result callback records every result
// through it, on any thread, as often as the SDK answers, also after the
// recorder is gone (the result is then dropped).
class HistoryTicket
{
public:
    void record(int code, const QString& reply) const;

private:
    friend class HistoryRecorder;
    std::shared_ptr<ResultInbox> inbox;
    QString id;
    qint64 replyBytes = 0;
    std::chrono::steady_clock::time_point sent;
};

class HistoryWriter;

// Every console send and each of its results, kept in memory (the latest
// `cap` requests) and in the history database.
//
// The database is opened and read on first use (a send, or the history
// window opening) by the writer's thread, so that start-up does not pay for
// it; what is recorded meanwhile is written after. Results come in from SDK
// threads into an inbox; one queued signal wakes the GUI thread, which takes
// them in slices of a few milliseconds, so that a flood cannot stall it, and
// hands them to the writer.
class HistoryRecorder : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultCap = 10000;

    explicit HistoryRecorder(QString filePath = defaultFilePath(), int cap = defaultCap,
                             QObject* parent = nullptr);
    HistoryRecorder(QString filePath, HistoryLimits limits, QObject* parent = nullptr);
    ~HistoryRecorder() override;

    // history.sqlite in the user's data folder.
    static QString defaultFilePath();

    HistoryTicket recordSend(const QByteArray& operation, const QByteArray& requestText,
                             const QString& batch = QString());
    void ensureLoaded();
    bool isLoaded() const { return loadState == LoadState::Loaded; }
    const HistoryList& list() const { return entries; }
    const QString& filePath() const { return path; }
    const QString& statusMessage() const { return message; }
    // Takes in every result waiting and commits everything to the database
    // now; returns once done.
    void flush();

signals:
    void resultsWaiting();                    // emitted on SDK threads, queued to the GUI thread
    void readFinished();                      // emitted on the writer's thread, queued
    void storeFailed(const QString& message); // emitted on the writer's thread, queued
    void listReset();                         // the database's requests came in: every index is new
    void requestAdded();                      // one more at the end; the oldest may have gone
    void resultsAdded(qint64 firstIndex, qint64 lastIndex);
    void messageChanged(const QString& message);

private:
    enum class LoadState
    {
        NotLoaded,
        Loading,
        Loaded
    };
    enum class Take
    {
        Slice,     // a few milliseconds' worth; the rest waits for the next turn
        All,       // everything waiting, announced as usual
        AllQuietly // everything waiting, no signals: the recorder is going
    };

    void takeResults();
    bool take(Take mode); // true while results wait
    void finishLoad();
    void setMessage(const QString& text);

    QString path;
    HistoryLimits limits;
    HistoryList entries;
    std::shared_ptr<ResultInbox> inbox;
    QString session;
    qint64 nextNumber = 1;

    LoadState loadState = LoadState::NotLoaded;
    std::mutex loadMutex;
    std::optional<HistoryLoad> loadResult; // left by the writer's thread
    std::unique_ptr<HistoryWriter> writer;

    std::deque<PendingHistoryResult> backlog; // taken from the inbox, GUI thread only
    std::size_t backlogNext = 0;
    QString message;
};

} // namespace tessel
