#pragma once

#include "history/historyentry.h"
#include "history/historyfile.h"
#include "history/historylist.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <deque>
#include <memory>
#include <thread>

namespace tessel {

class ResultInbox;

struct PendingHistoryResult
{
    QString id;
    HistoryResult result;
};

// Handed out for one send; the call's result callback records every result
// through it, on any thread, as often as the SDK answers.
class HistoryTicket
{
public:
    void record(int code, const QString& reply) const;

private:
    friend class HistoryRecorder;
    std::shared_ptr<ResultInbox> inbox;
    QString id;
    std::chrono::steady_clock::time_point sent;
};

// Every console send and each of its results, kept in memory (the latest
// `cap` requests) and appended to the history file as they arrive.
//
// The file is read on first use (a send, or the history window opening), on
// a thread of its own, so that start-up does not pay for it; what is recorded
// meanwhile is written once the file is known. Results come in from SDK
// threads into an inbox; one queued signal wakes the GUI thread, which takes
// them in slices of a few milliseconds so that a flood cannot stall it.
class HistoryRecorder : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultCap = 10000;

    explicit HistoryRecorder(QString filePath = defaultFilePath(), int cap = defaultCap,
                             QObject* parent = nullptr);
    ~HistoryRecorder() override;

    // history.jsonl in the user's data folder.
    static QString defaultFilePath();

    HistoryTicket recordSend(const QByteArray& operation, const QByteArray& requestText);
    void ensureLoaded();
    bool isLoaded() const { return loadState == LoadState::Loaded; }
    const HistoryList& list() const { return entries; }
    const QString& filePath() const { return path; }
    const QString& statusMessage() const { return message; }
    // Writes what is waiting for the file now.
    void flush();

signals:
    void resultsWaiting();  // emitted on SDK threads, queued to the GUI thread
    void readFinished();    // emitted on the reading thread, queued
    void rewriteFinished(); // emitted on the rewriting thread, queued
    void listReset();       // the file's requests came in: every index is new
    void requestAdded();    // one more at the end; the oldest may have gone
    void resultsAdded(qint64 firstIndex, qint64 lastIndex);
    void messageChanged(const QString& message);

private:
    enum class LoadState
    {
        NotLoaded,
        Loading,
        Loaded
    };

    void takeResults();
    bool takeSlice(int budgetMs); // true while results wait; budget -1: all, quietly
    void finishLoad();
    void adoptRead();
    void append(const QByteArray& line);
    void writePending();
    void compactIfDue(bool inBackground = true);
    void finishRewrite();
    void setMessage(const QString& text);

    QString path;
    HistoryList entries;
    std::shared_ptr<ResultInbox> inbox;
    QString session;
    qint64 nextNumber = 1;

    LoadState loadState = LoadState::NotLoaded;
    std::thread reader;
    HistoryLoad readResult; // written by the reader, read after joining it

    std::thread rewriter;
    bool rewriting = false;
    QString rewriteError; // written by the rewriter, read after joining it

    std::deque<PendingHistoryResult> backlog; // taken from the inbox, GUI thread only
    std::size_t backlogNext = 0;
    QByteArray pendingLines;
    qint64 requestsInFile = 0;
    bool fileWritable = true;
    bool writeFailed = false;
    QFile file;
    QTimer flushTimer;
    QString message;
};

} // namespace tessel
