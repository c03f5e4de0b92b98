#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class QTableWidget;
class QWidget;

namespace tessel {

// The headless run: once the first search has settled (no new row for a
// short quiet period), writes main.png of the main window into the folder,
// prints the rows of its terminal table on stdout and quits with 0.
class SnapshotRun : public QObject
{
    Q_OBJECT

public:
    // `table` is the window's terminal table; both outlive the run.
    SnapshotRun(QWidget& window, const QTableWidget& table, QString folder);

private:
    void finish();

    QWidget& window;
    const QTableWidget& table;
    QString folder;
    QTimer quiet;
    QTimer deadline;
};

} // namespace tessel
