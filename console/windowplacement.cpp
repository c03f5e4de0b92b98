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

std::optional<QPoint> placeClearOf(const QRect& available, const QRect& frame, const QRect& keepClear)
{
    if (!frame.intersects(keepClear))
        return frame.topLeft();
    const int x = clampedStart(frame.left(), frame.width(), available.left(), available.right());
    const int y = clampedStart(frame.top(), frame.height(), available.top(), available.bottom());
    const QPoint candidates[] = {
        {keepClear.right() + 1, y},
        {keepClear.left() - frame.width(), y},
        {x, keepClear.bottom() + 1},
        {x, keepClear.top() - frame.height()},
    };
    for (const QPoint& at : candidates)
        if (available.contains(QRect(at, frame.size())))
            return at;
    return std::nullopt;
}

} // namespace tessel
