#include "console/consolehistory.h"

#include "core/catalogue.h"

#include <QAction>
#include <QComboBox>
#include <QKeySequence>
#include <QMenu>
#include <QShortcut>
#include <QTextEdit>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <string>

namespace tessel {

ConsoleHistory::ConsoleHistory(QWidget& console, QComboBox& modules, QComboBox& names, QTextEdit& request)
    : QObject(&console), console(console), modules(modules), names(names), request(request)
{
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_H), &console);
    connect(shortcut, &QShortcut::activated, this, &ConsoleHistory::openWindow);
}

ConsoleHistory::~ConsoleHistory() = default;

HistoryWindow& ConsoleHistory::window()
{
    if (!historyWindow) {
        historyWindow = std::make_unique<HistoryWindow>(historyRecorder);
        // A window of the console (see openWindow). Window managers honour an
        // owner only for dialog-type windows; the buttons stay a main window's.
        historyWindow->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                      Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
        connect(historyWindow.get(), &HistoryWindow::loadRequested, this, &ConsoleHistory::loadRequest);
        connect(historyWindow.get(), &HistoryWindow::replayRequested, this, &ConsoleHistory::replayRequested);
    }
    return *historyWindow;
}

void ConsoleHistory::openWindow()
{
    historyRecorder.ensureLoaded();
    HistoryWindow& shown = window();
    // Owned by the console: the window manager keeps it above the console,
    // which stays on top, without keeping it above every other window.
    if (QWindow* owner = console.windowHandle()) {
        shown.winId(); // its native window, to be given an owner
        shown.windowHandle()->setTransientParent(owner);
    }
    shown.show();
    shown.raise();
    shown.activateWindow();
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
    // The console takes the keyboard, so that Ctrl+Enter sends what was loaded.
    console.show();
    console.raise();
    console.activateWindow();
}

} // namespace tessel
