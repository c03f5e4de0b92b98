#include "history/historyrecorder.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QtDebug>

#include <algorithm>
#include <mutex>
#include <utility>

namespace tessel {

namespace {
constexpr int sliceMs = 2;             // GUI-thread time per slice of results
constexpr int flushDelayMs = 100;      // lines are written together, this late at most
constexpr int flushBytes = 256 * 1024; // or once this many wait
} // namespace

// Where SDK threads leave results. One wake-up signal stands for everything
// left until the GUI thread takes it; the recorder severs the link first
// thing in its destructor.
class ResultInbox
{
public:
    explicit ResultInbox(HistoryRecorder* recorder) : recorder(recorder) {}

    void post(PendingHistoryResult result)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!recorder)
            return;
        items.push_back(std::move(result));
        if (!wakePosted) {
            wakePosted = true;
            emit recorder->resultsWaiting();
        }
    }

    // Swaps the waiting results for `into`, which the caller has used up:
    // constant time under the lock, whatever the flood. The GUI thread does
    // not wait for the lock: an SDK thread may be put to sleep holding it.
    // False when the lock was busy; the caller comes back later.
    bool swapInto(std::deque<PendingHistoryResult>& into, bool wait)
    {
        into.clear();
        std::unique_lock<std::mutex> lock(mutex, std::defer_lock);
        if (wait)
            lock.lock();
        else if (!lock.try_lock())
            return false;
        into.swap(items);
        wakePosted = false;
        return true;
    }

    void sever()
    {
        std::lock_guard<std::mutex> lock(mutex);
        recorder = nullptr;
    }

private:
    std::mutex mutex;
    HistoryRecorder* recorder;
    std::deque<PendingHistoryResult> items; // grows without moving what it holds
    bool wakePosted = false;
};

void HistoryTicket::record(int code, const QString& reply) const
{
    if (!inbox)
        return;
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent);
    inbox->post({id, {code, static_cast<qint64>(ms.count()), reply}});
}

HistoryRecorder::HistoryRecorder(QString filePath, int cap, QObject* parent)
    : QObject(parent), path(std::move(filePath)), entries(cap), inbox(std::make_shared<ResultInbox>(this)),
      session(QString::number(QRandomGenerator::system()->generate(), 16))
{
    connect(this, &HistoryRecorder::resultsWaiting, this, &HistoryRecorder::takeResults,
            Qt::QueuedConnection);
    connect(this, &HistoryRecorder::readFinished, this, &HistoryRecorder::finishLoad, Qt::QueuedConnection);
    connect(this, &HistoryRecorder::rewriteFinished, this, &HistoryRecorder::finishRewrite,
            Qt::QueuedConnection);
    flushTimer.setSingleShot(true);
    flushTimer.setInterval(flushDelayMs);
    connect(&flushTimer, &QTimer::timeout, this, &HistoryRecorder::writePending);
}

HistoryRecorder::~HistoryRecorder()
{
    inbox->sever();
    if (reader.joinable())
        reader.join();
    if (loadState == LoadState::Loading)
        adoptRead();
    if (rewriter.joinable()) {
        rewriter.join();
        rewriting = false;
        writeFailed = writeFailed || !rewriteError.isEmpty();
    }
    // Whatever came in and was not taken yet still goes to the file: the rest
    // of the backlog, then what the inbox holds.
    takeSlice(-1);
    takeSlice(-1);
    compactIfDue(false);
    writePending();
}

QString HistoryRecorder::defaultFilePath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("history.jsonl"));
}

HistoryTicket HistoryRecorder::recordSend(const QByteArray& operation, const QByteArray& requestText)
{
    ensureLoaded();
    HistoryEntry entry;
    entry.id = session + QLatin1Char('-') + QString::number(nextNumber++);
    entry.sentAtMs = QDateTime::currentMSecsSinceEpoch();
    entry.serial = serialOfRequest(requestText);
    entry.operation = QString::fromUtf8(operation);
    entry.request = QString::fromUtf8(requestText);
    append(historySendLine(entry));
    ++requestsInFile;

    HistoryTicket ticket;
    ticket.inbox = inbox;
    ticket.id = entry.id;
    entries.add(std::move(entry));
    emit requestAdded();
    compactIfDue();
    ticket.sent = std::chrono::steady_clock::now();
    return ticket;
}

void HistoryRecorder::ensureLoaded()
{
    if (loadState != LoadState::NotLoaded)
        return;
    loadState = LoadState::Loading;
    const int cap = entries.capacity();
    reader = std::thread([this, cap] {
        readResult = loadHistoryFile(path, cap);
        emit readFinished();
    });
}

void HistoryRecorder::flush()
{
    flushTimer.stop();
    writePending();
}

void HistoryRecorder::takeResults()
{
    if (takeSlice(sliceMs))
        // The rest waits for the next turn of the event loop, after timers and input.
        QMetaObject::invokeMethod(this, &HistoryRecorder::takeResults, Qt::QueuedConnection);
}

bool HistoryRecorder::takeSlice(int budgetMs)
{
    const bool quietly = budgetMs < 0;
    if (backlogNext == backlog.size()) {
        backlogNext = 0;
        if (!inbox->swapInto(backlog, quietly))
            return true;
    }
    QElapsedTimer slice;
    slice.start();
    qint64 first = -1;
    qint64 last = -1;
    while (backlogNext < backlog.size()) {
        PendingHistoryResult& pending = backlog[backlogNext++];
        const qint64 at = entries.addResult(pending.id, pending.result);
        if (at >= 0) {
            append(historyResultLine(pending.id, pending.result));
            first = first < 0 ? at : std::min(first, at);
            last = std::max(last, at);
        }
        pending = PendingHistoryResult(); // its texts now live in the list
        if (!quietly && slice.elapsed() >= budgetMs)
            break;
    }
    if (last >= 0 && !quietly)
        emit resultsAdded(first, last);
    return backlogNext < backlog.size();
}

void HistoryRecorder::finishLoad()
{
    if (loadState != LoadState::Loading)
        return;
    reader.join();
    adoptRead();
    emit listReset();
    writePending();
    compactIfDue();
}

void HistoryRecorder::adoptRead()
{
    loadState = LoadState::Loaded;
    entries.prependOlder(std::move(readResult.entries));
    requestsInFile += readResult.requestsInFile;
    fileWritable = readResult.writable;
    if (!readResult.message.isEmpty())
        setMessage(readResult.message);
}

void HistoryRecorder::append(const QByteArray& line)
{
    pendingLines += line;
    if (pendingLines.size() >= flushBytes)
        flush();
    else if (!flushTimer.isActive())
        flushTimer.start();
}

void HistoryRecorder::writePending()
{
    if (loadState != LoadState::Loaded || rewriting || pendingLines.isEmpty())
        return;
    const QByteArray lines = std::exchange(pendingLines, QByteArray());
    if (!fileWritable || writeFailed)
        return;
    if (!file.isOpen()) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        file.setFileName(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
            writeFailed = true;
            setMessage(QStringLiteral("历史文件无法写入（%1），本次的历史不会保存").arg(file.errorString()));
            return;
        }
    }
    bool written = true;
    if (file.size() == 0)
        written = file.write(historyHeaderLine()) >= 0;
    written = written && file.write(lines) == lines.size() && file.flush();
    if (!written) {
        writeFailed = true;
        setMessage(QStringLiteral("历史文件写入失败（%1），本次的历史不会保存").arg(file.errorString()));
    }
}

// The file may grow a tenth past the cap before it is rewritten with the
// requests kept, so that the rewrite is rare. The rewrite (some 30 ms for a
// full history) runs on a thread of its own from a copy of the list; lines
// recorded meanwhile wait and are appended to the new file.
void HistoryRecorder::compactIfDue(bool inBackground)
{
    const int cap = entries.capacity();
    if (loadState != LoadState::Loaded || rewriting || !fileWritable || writeFailed ||
        requestsInFile <= cap + std::max(1, cap / 10))
        return;
    flushTimer.stop();
    pendingLines.clear(); // everything in memory goes into the new file
    file.close();
    requestsInFile = static_cast<qint64>(entries.all().size());
    if (!inBackground) {
        QString error;
        if (!writeHistoryFile(path, entries.all(), &error)) {
            writeFailed = true;
            setMessage(QStringLiteral("历史文件无法整理（%1），本次的历史不会保存").arg(error));
        }
        return;
    }
    rewriting = true;
    rewriter = std::thread([this, snapshot = entries.all()] {
        rewriteError.clear();
        if (!writeHistoryFile(path, snapshot, &rewriteError) && rewriteError.isEmpty())
            rewriteError = QStringLiteral("?");
        emit rewriteFinished();
    });
}

void HistoryRecorder::finishRewrite()
{
    if (!rewriting)
        return;
    rewriter.join();
    rewriting = false;
    if (!rewriteError.isEmpty()) {
        writeFailed = true;
        setMessage(QStringLiteral("历史文件无法整理（%1），本次的历史不会保存").arg(rewriteError));
    }
    writePending();
    compactIfDue();
}

void HistoryRecorder::setMessage(const QString& text)
{
    message = text;
    qWarning().noquote() << text;
    if (loadState == LoadState::Loaded)
        emit messageChanged(text);
}

} // namespace tessel
