#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <optional>

class QTableWidget;
class QWidget;

namespace tessel {

// The timed headless run, for benchmarks: once the first `rows` rows of the
// start-up search are in the window's terminal table and the window is
// exposed, prints one line
//   rows in: N after T ms from process start, peak memory K KiB
// on stdout and quits with 0. Gives up with 1 after a minute.
class ExitAfterRows : public QObject
{
    Q_OBJECT

public:
    // `table` is the window's terminal table; both outlive the run.
    ExitAfterRows(QWidget& window, const QTableWidget& table, int rows);

    // The row count of the environment variable's text, or nothing when it
    // is not a whole number from 1 to maxRows.
    static std::optional<int> parseRowCount(const QByteArray& text);
    static constexpr int maxRows = 1000000;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void check();
    void giveUp();

    QWidget& window;
    const QTableWidget& table;
    const int rows;
    QTimer deadline;
    bool finished = false;
};

} // namespace tessel
