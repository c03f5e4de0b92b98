#include "history/historyrecorder.h"

#include "history/historyfile.h"
#include "history/historywriter.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QtDebug>

#include <algorithm>
#include <mutex>
#include <utility>

namespace tessel {

namespace {
constexpr int sliceMs = 2; // GUI-thread time per slice of results
} // namespace

void HistoryTicket::record(int code, const QString& reply) const
{
    if (!inbox)
        return;
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent);
    HistoryResult result{code, static_cast<qint64>(ms.count()), reply};
    limitReply(result, replyBytes);
    inbox->post({id, std::move(result)});
}

HistoryRecorder::HistoryRecorder(QString filePath, int cap, QObject* parent)
    : HistoryRecorder(std::move(filePath), HistoryLimits{cap}, parent)
{}

HistoryRecorder::HistoryRecorder(QString filePath, HistoryLimits limits, QObject* parent)
    : QObject(parent), path(std::move(filePath)), limits(limits), entries(limits.requests),
      inbox(std::make_shared<ResultInbox>(this,
                                          [](HistoryRecorder& recorder) { emit recorder.resultsWaiting(); })),
      session(QString::number(QRandomGenerator::system()->generate(), 16))
{
    connect(this, &HistoryRecorder::resultsWaiting, this, &HistoryRecorder::takeResults,
            Qt::QueuedConnection);
    connect(this, &HistoryRecorder::readFinished, this, &HistoryRecorder::finishLoad, Qt::QueuedConnection);
    connect(this, &HistoryRecorder::storeFailed, this, &HistoryRecorder::setMessage, Qt::QueuedConnection);
}

HistoryRecorder::~HistoryRecorder()
{
    inbox->sever();
    // Whatever came in and was not taken yet still goes to the database: the
    // rest of the backlog, then what the inbox holds. The writer commits it
    // before its thread ends.
    take(Take::AllQuietly);
    take(Take::AllQuietly);
    writer.reset();
}

QString HistoryRecorder::defaultFilePath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("history.sqlite"));
}

HistoryTicket HistoryRecorder::recordSend(const QByteArray& operation, const QByteArray& requestText,
                                          const QString& batch)
{
    ensureLoaded();
    HistoryEntry entry;
    entry.id = session + QLatin1Char('-') + QString::number(nextNumber++);
    entry.sentAtMs = QDateTime::currentMSecsSinceEpoch();
    entry.serial = serialOfRequest(requestText);
    entry.operation = QString::fromUtf8(operation);
    entry.request = QString::fromUtf8(requestText);
    entry.batch = batch;
    std::vector<HistoryWrite> write(1);
    write[0].send = entry;
    writer->add(std::move(write));

    HistoryTicket ticket;
    ticket.inbox = inbox;
    ticket.id = entry.id;
    ticket.replyBytes = limits.replyBytes;
    entries.add(std::move(entry));
    emit requestAdded();
    ticket.sent = std::chrono::steady_clock::now();
    return ticket;
}

void HistoryRecorder::ensureLoaded()
{
    if (loadState != LoadState::NotLoaded)
        return;
    loadState = LoadState::Loading;
    writer = std::make_unique<HistoryWriter>(
        path, limits,
        [this](HistoryLoad load) {
            {
                std::lock_guard<std::mutex> lock(loadMutex);
                loadResult = std::move(load);
            }
            emit readFinished();
        },
        [this](const QString& failure) { emit storeFailed(failure); });
}

void HistoryRecorder::flush()
{
    take(Take::All);
    take(Take::All);
    if (writer)
        writer->sync();
}

void HistoryRecorder::takeResults()
{
    if (take(Take::Slice))
        // The rest waits for the next turn of the event loop, after timers and input.
        QMetaObject::invokeMethod(this, &HistoryRecorder::takeResults, Qt::QueuedConnection);
}

bool HistoryRecorder::take(Take mode)
{
    if (backlogNext == backlog.size()) {
        // Used up: swapped for what waits, in constant time under the lock.
        // The GUI thread does not wait for the lock: an SDK thread may be put
        // to sleep holding it.
        backlogNext = 0;
        backlog.clear();
        if (!inbox->takeInto(backlog,
                             mode == Take::Slice ? ResultInbox::Lock::IfFree : ResultInbox::Lock::Wait))
            return true;
    }
    QElapsedTimer slice;
    slice.start();
    qint64 first = -1;
    qint64 last = -1;
    std::vector<HistoryWrite> writes;
    while (backlogNext < backlog.size()) {
        PendingHistoryResult& pending = backlog[backlogNext++];
        HistoryWrite write;
        write.kind = HistoryWrite::Kind::Result;
        write.id = pending.id;
        write.result = pending.result; // shares the reply's text
        writes.push_back(std::move(write));
        const qint64 at = entries.addResult(pending.id, std::move(pending.result));
        if (at >= 0) {
            first = first < 0 ? at : std::min(first, at);
            last = std::max(last, at);
        }
        pending = PendingHistoryResult(); // its texts now live in the list
        if (mode == Take::Slice && slice.elapsed() >= sliceMs)
            break;
    }
    if (writer)
        writer->add(std::move(writes));
    if (last >= 0 && mode != Take::AllQuietly)
        emit resultsAdded(first, last);
    return backlogNext < backlog.size();
}

void HistoryRecorder::finishLoad()
{
    std::optional<HistoryLoad> load;
    {
        std::lock_guard<std::mutex> lock(loadMutex);
        load.swap(loadResult);
    }
    if (loadState != LoadState::Loading || !load)
        return;
    loadState = LoadState::Loaded;
    entries.prependOlder(std::move(load->entries));
    if (!load->message.isEmpty())
        setMessage(load->message);
    emit listReset();
}

void HistoryRecorder::setMessage(const QString& text)
{
    // Each trouble is said once; a later one replaces the line, and an empty
    // one takes it away (a locked database that could be written again).
    if (text == message)
        return;
    message = text;
    if (!text.isEmpty())
        qWarning().noquote() << text;
    if (loadState == LoadState::Loaded)
        emit messageChanged(text);
}

} // namespace tessel
