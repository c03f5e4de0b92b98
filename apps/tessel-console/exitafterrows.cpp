#include "tessel-console/exitafterrows.h"

#include "processfigures/processfigures.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QEvent>
#include <QTableWidget>
#include <QWidget>
#include <QWindow>

#include <cstdio>

namespace tessel {

namespace {
constexpr int deadlineMs = 60000;
} // namespace

ExitAfterRows::ExitAfterRows(QWidget& window, const QTableWidget& table, int rows)
    : window(window), table(table), rows(rows)
{
    deadline.setSingleShot(true);
    deadline.setInterval(deadlineMs);
    connect(&deadline, &QTimer::timeout, this, &ExitAfterRows::giveUp);
    // Checked on the spot, not through a queued call: the replies still queued
    // would otherwise be counted into the time.
    connect(table.model(), &QAbstractItemModel::dataChanged, this, &ExitAfterRows::check);
    if (QWindow* handle = window.windowHandle())
        handle->installEventFilter(this);
    deadline.start();
    check();
}

std::optional<int> ExitAfterRows::parseRowCount(const QByteArray& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 1 || value > maxRows)
        return std::nullopt;
    return value;
}

bool ExitAfterRows::eventFilter(QObject* watched, QEvent* event)
{
    // The window is marked exposed before its expose event is delivered.
    if (event->type() == QEvent::Expose)
        check();
    return QObject::eventFilter(watched, event);
}

void ExitAfterRows::check()
{
    if (finished)
        return;
    // Rows fill in order and the last column is set last, so row rows-1
    // having that cell means the rows asked for are all in.
    const bool rowsIn = table.rowCount() >= rows && table.item(rows - 1, table.columnCount() - 1);
    const QWindow* handle = window.windowHandle();
    if (!rowsIn || !handle || !handle->isExposed())
        return;
    finished = true;
    deadline.stop();
    const std::optional<double> elapsed = tessel::msSinceProcessStart();
    const std::optional<long> peak = tessel::peakMemoryKiB();
    std::printf("rows in: %d after %.0f ms from process start, peak memory %ld KiB\n", rows,
                elapsed.value_or(-1.0), peak.value_or(-1L));
    std::fflush(stdout);
    QApplication::exit(0);
}

void ExitAfterRows::giveUp()
{
    if (finished)
        return;
    finished = true;
    int complete = 0;
    while (complete < table.rowCount() && table.item(complete, table.columnCount() - 1))
        ++complete;
    std::fprintf(stderr, "tessel-console: only %d of %d rows in the table after %d s; quitting\n", complete,
                 rows, deadlineMs / 1000);
    QApplication::exit(1);
}

} // namespace tessel
