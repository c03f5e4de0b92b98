#include "console/windowplacement.h"

#include <algorithm>

namespace tessel {

namespace {

// The start of a span of `length` as near `wanted` as lies within [low, high].
int clampedStart(int wanted, int length, int low, int high)
{
    return std::max(low, std::min(wanted, high - length + 1));
}

} // namespace

std::optional<QPoint> placeClearOf(const QRect& available, const QRect& frame, const QRect& keepClear,
                                   int minShown)
{
    if (!frame.intersects(keepClear))
        return frame.topLeft();
    const int x = clampedStart(frame.left(), frame.width(), available.left(), available.right());
    const int y = clampedStart(frame.top(), frame.height(), available.top(), available.bottom());
    const QPoint right(keepClear.right() + 1, y);
    const QPoint left(keepClear.left() - frame.width(), y);
    const QPoint below(x, keepClear.bottom() + 1);
    const QPoint above(x, keepClear.top() - frame.height());
    for (const QPoint& at : {right, left, below, above})
        if (available.contains(QRect(at, frame.size())))
            return at;
    if (minShown <= 0)
        return std::nullopt;
    // Above is left out: its title bar would be off the screen.
    std::optional<QPoint> best;
    int bestArea = 0;
    for (const QPoint& at : {right, left, below}) {
        const QRect shown = available & QRect(at, frame.size());
        const int area = shown.width() * shown.height();
        if (std::min(shown.width(), shown.height()) >= minShown && area > bestArea) {
            best = at;
            bestArea = area;
        }
    }
    return best;
}

} // namespace tessel
