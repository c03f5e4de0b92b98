#pragma once

// A batch's rows as files: CSV for spreadsheets, JSON Lines for programs.

#include "batch/batchengine.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

namespace tessel {

// Header row, then one row per given engine row; UTF-8 with a byte-order
// mark, so that spreadsheet programs read the Chinese texts; CRLF line ends.
QByteArray batchCsv(const BatchEngine& engine, const std::vector<int>& rows);

// One JSON object per given row, with every result of its sends.
QByteArray batchJsonLines(const BatchEngine& engine, const std::vector<int>& rows);

// The same rows as tab-separated text for the clipboard. A row no run has
// touched shows `idleState` of it as its state, when given.
QString batchClipboardText(const BatchEngine& engine, const std::vector<int>& rows,
                           const std::function<QString(int row)>& idleState = {});

// The texts shown in a row's result columns.
QString batchStateText(const BatchRow& row);
QString firstLine(const QString& text);

} // namespace tessel
