#pragma once

// Where a window goes so that it leaves a part of the screen uncovered.
// Rectangles only: no widget is read or moved here.

#include <QPoint>
#include <QRect>

#include <optional>

namespace tessel {

// Where the window whose frame is `frame` goes within `available` (the
// screen less its panels) so that it leaves `keepClear` uncovered: where it
// is when it covers none of it, else beside it, trying the right, the left,
// below and above in turn, the other coordinate kept as far as the screen
// allows. When no side has room for the whole window and `minShown` is
// positive, the side to the right, to the left or below that leaves most of
// it on the screen, if that is at least `minShown` pixels across (the window
// hangs over the screen's edge, its title bar on it). Nothing otherwise.
std::optional<QPoint> placeClearOf(const QRect& available, const QRect& frame, const QRect& keepClear,
                                   int minShown = 0);

} // namespace tessel
