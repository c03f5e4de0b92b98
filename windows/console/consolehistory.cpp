#include "console/consolehistory.h"

#include "console/ownedwindow.h"
#include "console/windowplacement.h"
#include "operations/catalogue.h"

#include <QAction>
#include <QComboBox>
#include <QKeySequence>
#include <QMargins>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QTextEdit>
#include <QWidget>

#include <algorithm>
#include <string>

namespace tessel {

ConsoleHistory::ConsoleHistory(QWidget& console, HistoryRecorder& recorder, QComboBox& modules,
                               QComboBox& names, QTextEdit& request)
    : QObject(&console), console(console), modules(modules), names(names), request(request),
      historyRecorder(recorder)
{
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_H), &console);
    connect(shortcut, &QShortcut::activated, this, &ConsoleHistory::openWindow);
}

ConsoleHistory::~ConsoleHistory() = default;

HistoryWindow& ConsoleHistory::window()
{
    if (!historyWindow) {
        historyWindow = std::make_unique<HistoryWindow>(historyRecorder);
        giveOwnedWindowFlags(*historyWindow); // a window of the console (see openWindow)
        connect(historyWindow.get(), &HistoryWindow::loadRequested, this, &ConsoleHistory::loadRequest);
        connect(historyWindow.get(), &HistoryWindow::replayRequested, this, &ConsoleHistory::replayRequested);
    }
    return *historyWindow;
}

void ConsoleHistory::openWindow()
{
    historyRecorder.ensureLoaded();
    HistoryWindow& shown = window();
    if (shown.isVisible() && steppedAsideFrom) // wanted back where it was
        shown.move(*steppedAsideFrom);
    else if (!shown.isVisible() && console.isVisible())
        placeBesideConsole(shown);
    steppedAsideFrom.reset();
    showAboveConsole(shown, console);
}

void ConsoleHistory::placeBesideConsole(QWidget& shown)
{
    // Kept above the console, the window would hide it where it overlaps;
    // its frame is not known before it shows, so the console's stands in.
    const QRect consoleFrame = console.frameGeometry();
    const QRect consoleInside = console.geometry();
    const QMargins margins(
        consoleInside.left() - consoleFrame.left(), consoleInside.top() - consoleFrame.top(),
        consoleFrame.right() - consoleInside.right(), consoleFrame.bottom() - consoleInside.bottom());
    const QRect frame(consoleFrame.topLeft(), shown.size().grownBy(margins));
    if (const auto at = placeClearOf(console.screen()->availableGeometry(), frame, consoleFrame))
        shown.move(*at);
}

void ConsoleHistory::stepAsideOfRequest()
{
    if (!historyWindow || !historyWindow->isVisible())
        return;
    const QRect requestBox(request.mapToGlobal(QPoint(0, 0)), request.size());
    const QRect frame = historyWindow->frameGeometry();
    if (!frame.intersects(requestBox))
        return;
    // Minimising is no way out: window managers minimise the console with
    // a window it owns. With no room at all the window closes; Ctrl+H
    // brings it back as it was.
    constexpr int minShown = 120; // its title bar and the filter at least
    if (const auto at = placeClearOf(console.screen()->availableGeometry(), frame, requestBox, minShown)) {
        steppedAsideFrom = frame.topLeft();
        historyWindow->move(*at);
    } else {
        historyWindow->hide();
    }
}

QAction* ConsoleHistory::addMenuEntry(QMenu& menu)
{
    return menu.addAction(tr("历史记录\tCtrl+H"), this, &ConsoleHistory::openWindow);
}

void ConsoleHistory::loadRequest(const QString& operation, const QString& requestText)
{
    // The module on show is kept when it lists the operation; otherwise the
    // first functional module that does, the ALL list (module 0) last.
    if (names.findText(operation) < 0) {
        const std::string name = operation.toStdString();
        for (int step = 1; step <= modules.count(); ++step) {
            const int module = step % modules.count();
            const std::vector<std::string> list = apiNames(module);
            if (std::find(list.begin(), list.end(), name) != list.end()) {
                modules.setCurrentIndex(module);
                break;
            }
        }
    }
    const int at = names.findText(operation);
    if (at >= 0)
        names.setCurrentIndex(at);
    else if (historyWindow)
        historyWindow->showMessage(tr("接口 %1 不在接口列表中，只载入了请求").arg(operation));
    request.setPlainText(requestText);
    // The request box is seen and takes the keyboard, so that what is typed
    // next, and Ctrl+Enter, go where the user looks.
    stepAsideOfRequest();
    console.show();
    console.raise();
    console.activateWindow();
    request.setFocus();
}

} // namespace tessel
