#pragma once

class QAbstractItemView;

namespace tessel {

// A table that has the keyboard frames its current row, so that the user
// sees where the arrows act; the style's own focus mark covers one cell at
// most, and Fusion draws it only after a key has moved the focus. Installs a
// delegate of its own on `view`.
void frameCurrentRowOnFocus(QAbstractItemView& view);

} // namespace tessel
