#include "searchcheck/searchprogress.h"

#include <algorithm>

namespace tessel {

SearchProgress::SearchProgress(QObject* parent) : QObject(parent)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &SearchProgress::check);
}

void SearchProgress::started()
{
    searching = true;
    anyReply = false;
    lastReplyAt = 0;
    longestGap = 0;
    sinceStart.start();
    timer.start(noReplyMs);
}

void SearchProgress::replied()
{
    if (!searching)
        return;
    const qint64 now = sinceStart.elapsed();
    longestGap = std::max(longestGap, now - lastReplyAt);
    lastReplyAt = now;
    if (!anyReply) {
        anyReply = true;
        timer.start(static_cast<int>(quietMs()));
    }
}

qint64 SearchProgress::quietMs() const
{
    return std::clamp<qint64>(2 * longestGap, shortestQuietMs, longestQuietMs);
}

void SearchProgress::check()
{
    if (!searching)
        return;
    if (anyReply) {
        const qint64 left = lastReplyAt + quietMs() - sinceStart.elapsed();
        if (left > 0) {
            timer.start(static_cast<int>(left));
            return;
        }
    }
    searching = false;
    emit settled();
}

} // namespace tessel
