#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class DemoGUI;

namespace tessel {

// The headless run: once the first search has settled (no new row for a
// short quiet period), writes main.png of the main window into the folder,
// prints the table rows on stdout and quits with 0.
class SnapshotRun : public QObject
{
    Q_OBJECT

public:
    SnapshotRun(DemoGUI& window, QString folder);

private:
    void finish();

    DemoGUI& window;
    QString folder;
    QTimer quiet;
    QTimer deadline;
};

} // namespace tessel
