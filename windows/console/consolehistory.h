#pragma once

#include "history/historyrecorder.h"
#include "historywindow/historywindow.h"

#include <QObject>
#include <QPoint>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QAction;
class QComboBox;
class QMenu;
class QTextEdit;
class QWidget;

namespace tessel {

// The console's history: the recorder every send goes through, Ctrl+H and
// the request box's menu entry opening the history window, and "载入"
// putting a request back into the console.
class ConsoleHistory : public QObject
{
    Q_OBJECT

public:
    // `recorder` is borrowed: it outlives the console.
    ConsoleHistory(QWidget& console, HistoryRecorder& recorder, QComboBox& modules, QComboBox& names,
                   QTextEdit& request);
    ~ConsoleHistory() override;

    HistoryRecorder& recorder() { return historyRecorder; }
    // Created on first use, kept (hidden when closed) until the console goes.
    HistoryWindow& window();
    void openWindow();

    // Adds "历史记录" to a menu of the request box.
    QAction* addMenuEntry(QMenu& menu);

    // Chooses the operation through the two boxes, as by hand, so that its
    // sample loads as usual; then puts the request text in place of it.
    void loadRequest(const QString& operation, const QString& requestText);

signals:
    // "回放…" in the history window; whoever sends opens the replay.
    void replayRequested(const std::vector<tessel::HistoryEntry>& entries);

private:
    void placeBesideConsole(QWidget& shown);
    // Moves the window off the request box, or hides it when the screen
    // has no room for that.
    void stepAsideOfRequest();

    QWidget& console;
    QComboBox& modules;
    QComboBox& names;
    QTextEdit& request;
    HistoryRecorder& historyRecorder;
    std::unique_ptr<HistoryWindow> historyWindow; // shows the recorder, which outlives it
    std::optional<QPoint> steppedAsideFrom;       // where it was before "载入" moved it
};

} // namespace tessel
