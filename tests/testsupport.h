#pragma once

// Shared by the Qt tests: closing parentless message boxes and modal dialogs
// from a timer, so that a slot that runs one does not block the test.

#include <QApplication>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>

class QMenu;
class QPoint;
class QTableWidget;
class QTextEdit;

class ModalCloser : public QObject
{
public:
    struct Seen
    {
        QString className; // "QMessageBox", "LoginDialog", ...
        QString title;
        QString text;           // a message box's text, empty for other dialogs
        bool onTop = false;     // carries Qt::WindowStaysOnTopHint, also on its native window
        bool plainText = false; // a message box showing its text as plain text
    };

    // `handler` runs once for every modal window that shows up, before the
    // closer closes it. A failing check inside the handler only returns from
    // it; the window is closed all the same, so the test cannot hang.
    explicit ModalCloser(std::function<void(QWidget*)> handler = {});
    ~ModalCloser() override;

    QList<Seen> seen;

private:
    void poll();

    std::function<void(QWidget*)> handler;
    QTimer timer;
};

// Top-level widgets that are visible, for checking that a test left none.
QList<QWidget*> visibleTopLevels();

// Closes every top-level widget (hides it; none is deleted): the cleanup of GUI tests.
void closeAllTopLevels();

// The main window's terminal table.
QTableWidget* tableOf(QWidget& window);

// The centre of a table row in the main window's coordinates, or (-1, -1)
// when the row is not in view.
QPoint tableRowPoint(QWidget& window, int row);

// Right-clicks the main window there; the popup menu that opened, if any.
QMenu* openTableMenu(QWidget& window, const QPoint& windowPos);

// The widget of that object name inside any top-level window (the main
// window's search dialogs have no parent).
template <typename T> T* dialogWidget(const char* name)
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* found = widget->findChild<T*>(name))
            return found;
    return nullptr;
}

// The first top-level widget of that class (the console window, for one).
template <typename T> T* topLevel()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<T*>(widget))
            return found;
    return nullptr;
}

// The console's reply box.
QTextEdit* consoleReplyBox();
