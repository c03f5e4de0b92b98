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
// allows. Nothing when no side has room for the window.
std::optional<QPoint> placeClearOf(const QRect& available, const QRect& frame, const QRect& keepClear);

} // namespace tessel
