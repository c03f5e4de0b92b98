#include "console/replywait.h"

#include <algorithm>

namespace tessel {

ReplyWait::ReplyWait(QObject* parent) : QObject(parent)
{
    next.setSingleShot(true);
    next.setTimerType(Qt::PreciseTimer); // the count goes up on the second
    connect(&next, &QTimer::timeout, this, &ReplyWait::tick);
}

void ReplyWait::start(Request request)
{
    awaited = request;
    state = State::Waiting;
    since.start();
    tick();
}

void ReplyWait::answered(Request request)
{
    if (state != State::Idle && request == awaited)
        clear();
}

void ReplyWait::clear()
{
    const bool had = state != State::Idle;
    state = State::Idle;
    next.stop();
    if (had)
        emit changed();
}

void ReplyWait::tick()
{
    if (state != State::Waiting)
        return;
    const qint64 elapsed = since.elapsed();
    if (elapsed >= timeout.count()) {
        state = State::Expired;
    } else {
        const qint64 toNextSecond = 1000 - elapsed % 1000;
        next.start(static_cast<int>(std::min<qint64>(toNextSecond, timeout.count() - elapsed)));
    }
    emit changed();
}

QString ReplyWait::text() const
{
    switch (state) {
    case State::Idle:
        break;
    case State::Waiting:
        return tr("等待回复… %1 秒").arg(since.elapsed() / 1000);
    case State::Expired:
        return tr("%1 秒内没有回复（已超时）").arg(double(timeout.count()) / 1000.0);
    }
    return QString();
}

} // namespace tessel
