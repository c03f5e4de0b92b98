#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>

namespace tessel {

// The console's latest request from its send to its first result, for the
// line below the reply box: "等待回复… 3 秒", counted each second, until the
// result or the timeout. The runner has no timeout of its own for the
// console, whose results may come however late: this one only says that none
// came in time ("10 秒内没有回复（已超时）"); a later result is shown as any.
class ReplyWait : public QObject
{
    Q_OBJECT

public:
    using Request = std::uint64_t; // the runner's request id; 0 for none
    static constexpr std::chrono::milliseconds defaultTimeout{10000};

    explicit ReplyWait(QObject* parent = nullptr);

    void setTimeout(std::chrono::milliseconds timeout) { this->timeout = timeout; }
    // Waits for `request`, the latest one sent, instead of the one before.
    void start(Request request);
    // A result of `request` came; ends the wait, or its timeout note, when
    // it is the one waited for.
    void answered(Request request);
    // Forgets the wait and its timeout note.
    void clear();

    bool waiting() const { return state == State::Waiting; }
    // What the line says of the wait, empty when there is nothing to say.
    QString text() const;

signals:
    void changed();

private:
    void tick();

    enum class State
    {
        Idle,
        Waiting,
        Expired // until a result of it or another send
    };
    Request awaited = 0;
    State state = State::Idle;
    std::chrono::milliseconds timeout = defaultTimeout;
    QElapsedTimer since;
    QTimer next; // the next whole second, or the timeout
};

} // namespace tessel
