#pragma once

class QTextDocument;

namespace tessel {

// Lines longer than this wrap anywhere rather than at word boundaries.
constexpr int longLineChars = 10000;

// Makes `document` wrap anywhere while one of its lines is longer than
// longLineChars, and at word boundaries (Qt's default) otherwise. Qt breaks a
// line that offers no break opportunity (a run of one letter, say) at word
// boundaries in time growing with the square of its length: half a million
// characters froze the window for half a minute. Wrapping anywhere is linear.
// The choice is made on each change before the document lays it out, so
// pasting, typing, undo and text set by code are all covered.
void wrapLongLinesAnywhere(QTextDocument& document);

} // namespace tessel
