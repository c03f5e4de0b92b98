#pragma once

#include "mailbox/mailbox.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <unordered_map>

namespace tessel {

class HistoryRecorder;

struct RunnerResult
{
    std::uint64_t id = 0;
    int code = 0;
    QString reply;
    qint64 ms = 0;
};

// The one way the program sends an SDK operation by its console name, and the
// one place that knows which names start one. Every result comes back on the
// runner's own thread as `result(id, code, reply, ms)`, in the order the SDK
// gave them, as often as it answers and however late; the history, when one
// is given, gets every send and every result, also those that come after the
// runner is gone. A flood is emitted in slices of a few milliseconds, so that
// the runner's thread keeps serving its other events.
class RequestRunner : public QObject
{
    Q_OBJECT

public:
    using Id = std::uint64_t;

    // What a send came to: a request id, or (id 0) why nothing was sent.
    struct Sent
    {
        Id id = 0;
        QString refusal;
        explicit operator bool() const { return id != 0; }
    };

    // What the runner remembers of a request, to say which one a result answers.
    struct Request
    {
        QString operation;
        QString serial; // the request's top-level text "sn", empty without one
        std::chrono::steady_clock::time_point sentAt;
    };

    // Requests remembered for `request()` by default; older ones are forgotten first.
    static constexpr std::size_t rememberedRequests = 10000;

    // Which requests `request()` knows: the latest `rememberedRequests` (a
    // window that names the request of a late result), or those not yet
    // released (a tool that sends many and settles each: memory stays flat).
    enum class Memory
    {
        Latest,
        UntilReleased
    };

    explicit RequestRunner(HistoryRecorder* history = nullptr, QObject* parent = nullptr,
                           Memory memory = Memory::Latest);
    ~RequestRunner() override;

    // The SDK operation `name` starts ("tsGetVolumeAsync"), or nullptr.
    static const char* sdkOperation(std::string_view name);
    static bool startsOperation(std::string_view name) { return sdkOperation(name) != nullptr; }
    static QString refusalText();

    // Sends `requestText` as the operation `name`. The send is recorded in the
    // history also when refused, so that the history shows every attempt;
    // `batch` marks the sends of one batch there.
    Sent send(const QByteArray& name, const QByteArray& requestText, const QString& batch = QString());
    // The same with the request's top-level text "sn" set to `serial` first.
    Sent sendTo(const QByteArray& name, const QByteArray& requestText, const QByteArray& serial,
                const QString& batch = QString());

    // The sender needs `id` no more. Forgets it with Memory::UntilReleased;
    // with Memory::Latest it stays until newer ones push it out.
    void release(Id id);

    // The request behind `id`, or nullptr once forgotten (or never sent).
    const Request* request(Id id) const;
    // Which request a result answers, in one line:
    // "getVolume() · BZWA17422J1X20000093 · 4012 ms".
    QString describe(Id id, qint64 ms) const;

signals:
    // `ms`: milliseconds from the send to the moment the SDK answered.
    void result(tessel::RequestRunner::Id id, int code, const QString& reply, qint64 ms);

private:
    // SDK threads leave results here; one posted call takes all that wait.
    using RunnerInbox = Mailbox<RequestRunner, RunnerResult>;

    void takeResults();

    HistoryRecorder* history;
    Memory memory;
    Id nextId = 1;
    std::unordered_map<Id, Request> requests;
    std::deque<Id> requestOrder; // Memory::Latest only
    std::shared_ptr<RunnerInbox> inbox;
    std::deque<RunnerResult> backlog; // taken from the inbox, runner's thread only
};

} // namespace tessel

Q_DECLARE_METATYPE(tessel::RequestRunner::Id)
