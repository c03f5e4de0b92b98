#include "testsupport.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QTableWidget>
#include <QTextEdit>
#include <QWidget>
#include <QWindow>

ModalCloser::ModalCloser(std::function<void(QWidget*)> handler) : handler(std::move(handler))
{
    timer.setInterval(5);
    connect(&timer, &QTimer::timeout, this, &ModalCloser::poll);
    timer.start();
}

ModalCloser::~ModalCloser() = default;

void ModalCloser::poll()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->isVisible() || !widget->isModal())
            continue;
        Seen entry;
        entry.className = QString::fromLatin1(widget->metaObject()->className());
        entry.title = widget->windowTitle();
        const QWindow* native = widget->windowHandle();
        entry.onTop = widget->windowFlags().testFlag(Qt::WindowStaysOnTopHint) && native &&
                      native->flags().testFlag(Qt::WindowStaysOnTopHint);
        if (auto* box = qobject_cast<QMessageBox*>(widget)) {
            entry.text = box->text();
            entry.plainText = box->textFormat() == Qt::PlainText;
        }
        seen.append(entry);
        if (handler)
            handler(widget);
        if (!widget->isVisible())
            continue;
        if (auto* dialog = qobject_cast<QDialog*>(widget))
            dialog->done(QDialog::Rejected);
        else
            widget->close();
    }
}

QList<QWidget*> visibleTopLevels()
{
    QList<QWidget*> visible;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible())
            visible.append(widget);
    return visible;
}

void closeAllTopLevels()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        widget->close();
}

QTableWidget* tableOf(QWidget& window)
{
    return window.findChild<QTableWidget*>("tableWidget");
}

QPoint tableRowPoint(QWidget& window, int row)
{
    QTableWidget* table = tableOf(window);
    const QRect cell = table->visualRect(table->model()->index(row, 0));
    const QPoint inViewport = cell.center();
    if (cell.isEmpty() || !table->viewport()->rect().contains(inViewport))
        return QPoint(-1, -1);
    return table->viewport()->mapTo(&window, inViewport);
}

QMenu* openTableMenu(QWidget& window, const QPoint& windowPos)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, windowPos, window.mapToGlobal(windowPos));
    QApplication::sendEvent(&window, &event);
    for (QMenu* menu : tableOf(window)->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly))
        if (menu->isVisible())
            return menu;
    return nullptr;
}

QTextEdit* consoleReplyBox()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == "DemoChildGUIClass")
            return widget->findChild<QTextEdit*>("textEdit");
    return nullptr;
}
