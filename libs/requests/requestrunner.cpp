#include "requests/requestrunner.h"

#include "history/historyfile.h"
#include "history/historyrecorder.h"
#include "requests/dispatchtable.h"
#include "requests/requesttarget.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QStringList>

#include <optional>
#include <string>
#include <utility>

namespace tessel {

namespace {
constexpr int sliceMs = 4; // of the runner's thread per slice of results
} // namespace

RequestRunner::RequestRunner(HistoryRecorder* history, QObject* parent, Memory memory)
    : QObject(parent), history(history), memory(memory),
      inbox(std::make_shared<RunnerInbox>(this, [](RequestRunner& runner) {
          // One posted call stands for everything left until the runner takes it.
          QMetaObject::invokeMethod(
              &runner, [target = &runner] { target->takeResults(); }, Qt::QueuedConnection);
      }))
{
    qRegisterMetaType<tessel::RequestRunner::Id>("tessel::RequestRunner::Id");
}

RequestRunner::~RequestRunner()
{
    // From here on no SDK callback reaches this runner; the history still
    // gets what comes later through its tickets.
    inbox->sever();
}

const char* RequestRunner::sdkOperation(std::string_view name)
{
    const DispatchEntry* entry = findDispatchEntry(name);
    return entry ? entry->operation : nullptr;
}

QString RequestRunner::refusalText()
{
    return QStringLiteral("该接口没有可调用的SDK操作，请求未发送");
}

RequestRunner::Sent RequestRunner::send(const QByteArray& name, const QByteArray& requestText,
                                        const QString& batch)
{
    const DispatchEntry* entry =
        findDispatchEntry(std::string_view(name.constData(), static_cast<std::size_t>(name.size())));
    std::optional<HistoryTicket> ticket;
    if (history)
        ticket = history->recordSend(name, requestText, batch);
    if (!entry)
        return Sent{0, refusalText()};

    const Id id = nextId++;
    const auto sentAt = std::chrono::steady_clock::now();
    // Runs on an SDK thread, possibly more than once and possibly after the
    // runner is gone: the ticket files each result in the history at once;
    // the runner, while it exists, finds it in its inbox.
    entry->start(requestText.constData(), [id, sentAt, inbox = inbox, ticket](unsigned short code,
                                                                              const char* reply) {
        const QString text = QString::fromUtf8(reply ? reply : ""); // bad bytes become U+FFFD
        const qint64 ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sentAt)
                .count();
        if (ticket)
            ticket->record(static_cast<int>(code), text);
        inbox->post(RunnerResult{id, static_cast<int>(code), text, ms});
    });

    // Remembered once sent, while the SDK is at work: results reach the
    // runner only through its event loop, after this.
    Request& remembered = requests[id];
    remembered.operation = QString::fromUtf8(name);
    remembered.serial = serialOfRequest(requestText);
    remembered.sentAt = sentAt;
    if (memory == Memory::Latest) {
        requestOrder.push_back(id);
        while (requestOrder.size() > rememberedRequests) {
            requests.erase(requestOrder.front());
            requestOrder.pop_front();
        }
    }
    return Sent{id, QString()};
}

RequestRunner::Sent RequestRunner::sendTo(const QByteArray& name, const QByteArray& requestText,
                                          const QByteArray& serial, const QString& batch)
{
    const std::string aimed = requesttarget::withSerial(
        std::string_view(requestText.constData(), static_cast<std::size_t>(requestText.size())),
        serial.toStdString());
    return send(name, QByteArray::fromStdString(aimed), batch);
}

void RequestRunner::takeResults()
{
    inbox->takeInto(backlog);
    QElapsedTimer slice;
    slice.start();
    while (!backlog.empty()) {
        const RunnerResult taken = std::move(backlog.front());
        backlog.pop_front();
        emit result(taken.id, taken.code, taken.reply, taken.ms);
        if (!backlog.empty() && slice.elapsed() >= sliceMs) {
            // The rest after the events that waited meanwhile.
            QMetaObject::invokeMethod(this, &RequestRunner::takeResults, Qt::QueuedConnection);
            return;
        }
    }
}

void RequestRunner::release(Id id)
{
    if (memory == Memory::UntilReleased)
        requests.erase(id);
}

const RequestRunner::Request* RequestRunner::request(Id id) const
{
    const auto found = requests.find(id);
    return found == requests.end() ? nullptr : &found->second;
}

QString RequestRunner::describe(Id id, qint64 ms) const
{
    QStringList parts;
    if (const Request* sent = request(id)) {
        parts << sent->operation;
        if (!sent->serial.isEmpty())
            parts << sent->serial;
    }
    parts << QString::number(ms) + QStringLiteral(" ms");
    return parts.join(QStringLiteral(" · "));
}

} // namespace tessel
