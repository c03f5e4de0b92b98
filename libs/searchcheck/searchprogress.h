#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace tessel {

// Whether a terminal search still runs. The SDK never says that a search is
// over: terminals answer one by one, as long as they take. A search has
// settled once no reply came for twice the longest wait between its replies
// so far (the wait for the first counting too), at least a second and at
// most ten; one that draws no reply at all settles after five seconds. A
// later reply of it still counts; only a new search starts another.
class SearchProgress : public QObject
{
    Q_OBJECT

public:
    static constexpr int shortestQuietMs = 1000;
    static constexpr int longestQuietMs = 10000;
    static constexpr int noReplyMs = 5000;

    explicit SearchProgress(QObject* parent = nullptr);

    void started(); // a new search; the one before is forgotten
    void replied(); // a reply of the current search came
    bool running() const { return searching; }

signals:
    void settled();

private:
    qint64 quietMs() const;
    void check();

    bool searching = false;
    bool anyReply = false;
    qint64 lastReplyAt = 0; // ms since the start
    qint64 longestGap = 0;
    QElapsedTimer sinceStart;
    QTimer timer; // restarted at the first reply only: replies may come by the thousand
};

} // namespace tessel
