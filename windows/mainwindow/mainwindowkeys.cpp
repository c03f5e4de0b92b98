#include "mainwindow/mainwindowkeys.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeySequence>
#include <QShortcut>

namespace tessel {

void installMainWindowKeys(QWidget* window, Ui::DemoGUIClass& form, std::function<void(int row)> openConsole)
{
    auto* search = new QShortcut(QKeySequence(Qt::Key_F5), window);
    QPushButton* searchButton = form.pushButton;
    QObject::connect(search, &QShortcut::activated, searchButton, [searchButton] { searchButton->click(); });

    // On the table only, so Enter keeps its meaning everywhere else.
    QTableWidget* table = form.tableWidget;
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* open = new QShortcut(QKeySequence(key), table, nullptr, nullptr, Qt::WidgetShortcut);
        QObject::connect(open, &QShortcut::activated, table, [table, openConsole] {
            if (table->currentRow() >= 0)
                openConsole(table->currentRow());
        });
    }

    // Shift+F10 asks for the popup menu as the Menu key does; only some
    // platforms turn it into a context-menu request themselves.
    auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), window);
    QObject::connect(menuKey, &QShortcut::activated, window, [window] {
        QWidget* target = QApplication::focusWidget();
        if (!target || target->window() != window)
            target = window;
        const QPoint at = target->rect().center();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &event);
    });

    QWidget::setTabOrder(form.pushButton, form.pushButton_2);
    QWidget::setTabOrder(form.pushButton_2, form.specifyRangeIpButton);
    QWidget::setTabOrder(form.specifyRangeIpButton, form.tableWidget);
    // Rows are selected whole, so Tab stepping from cell to cell would only
    // trap the focus in the table; the arrows still move between rows.
    form.tableWidget->setTabKeyNavigation(false);
}

} // namespace tessel
