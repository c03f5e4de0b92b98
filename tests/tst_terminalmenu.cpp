// The popup menu over the terminal table: its entries, which row it acts on
// and where it opens, from the mouse and from the keyboard.
#include "mainwindow/demogui.h"
#include "simulator/fleet.h"
#include "simulator/simulator.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTableWidget>
#include <QtTest>

#include <memory>

class TestTerminalMenu : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void menuEntries_data();
    void menuEntries();
    void keyboardMenuActsOnCurrentRow_data();
    void keyboardMenuActsOnCurrentRow();

private:
    QTableWidget* table() const { return tableOf(*window); }

    std::unique_ptr<DemoGUI> window;
};

void TestTerminalMenu::init()
{
    tesselsim::reset();
    tesselsim::setLatency(std::chrono::milliseconds(0));
    auto six = tesselsim::defaultFleet(); // every terminal row and a few empty ones in view
    six.resize(6);
    tesselsim::setFleet(six);
    window = std::make_unique<DemoGUI>();
    window->resize(700, 900);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(tesselsim::waitIdle());
    QTRY_COMPARE(window->terminalList().size(), std::size_t(6));
}

void TestTerminalMenu::cleanup()
{
    window.reset();
    closeAllTopLevels();
    QVERIFY(visibleTopLevels().isEmpty());
    tesselsim::reset();
}

void TestTerminalMenu::menuEntries_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("aboveTable");
    QTest::addColumn<bool>("listed");
    QTest::newRow("terminal row") << 2 << false << true;
    QTest::newRow("empty row") << 7 << false << false;
    QTest::newRow("no row") << -1 << true << false;
}

void TestTerminalMenu::menuEntries()
{
    QFETCH(int, row);
    QFETCH(bool, aboveTable);
    QFETCH(bool, listed);
    // Above the table lies the row of search buttons: no row is under the pointer.
    const QPoint point = aboveTable ? QPoint(5, 5) : tableRowPoint(*window, row);
    QVERIFY(point.x() >= 0);
    QMenu* menu = openTableMenu(*window, point);
    QVERIFY(menu);
    QCOMPARE(window->contextRow(), row);
    QStringList texts;
    QStringList disabled;
    const QList<QAction*> actions = menu->actions();
    for (QAction* action : actions) {
        texts << action->text();
        if (!action->isEnabled())
            disabled << action->text();
        QCOMPARE(action->parent(), table());
    }
    // The seven actions, then a separator, the two copy entries and the batch
    // log-in (disabled: no row is selected).
    QCOMPARE(texts, (QStringList{"连接", "连接system", "退出", "重命名", "修改密码", "忘记密码",
                                 "下载运行日志", "", "复制序列号", "复制IP", "批量连接…"}));
    QStringList expectedDisabled{"重命名", "忘记密码", "下载运行日志"};
    if (!listed)
        expectedDisabled << "复制序列号"
                         << "复制IP";
    expectedDisabled << "批量连接…";
    QCOMPARE(disabled, expectedDisabled);
    QVERIFY(actions[7]->isSeparator());
    if (listed) {
        const tsc::SearchResponseData& terminal = window->terminalList()[std::size_t(row)];
        actions[8]->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString::fromStdString(terminal.sn));
        actions[9]->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString::fromStdString(terminal.ip));
    }
    menu->close();
}

void TestTerminalMenu::keyboardMenuActsOnCurrentRow_data()
{
    QTest::addColumn<bool>("keyboard");
    QTest::addColumn<int>("current"); // -1: no current row
    QTest::addColumn<int>("expected");
    QTest::newRow("keyboard, terminal row") << true << 3 << 3;
    QTest::newRow("keyboard, first row") << true << 0 << 0;
    QTest::newRow("keyboard, empty row") << true << 7 << 7;
    QTest::newRow("keyboard, no current row") << true << -1 << -1;
    QTest::newRow("mouse on row 4, current row 3") << false << 3 << 4;
}

void TestTerminalMenu::keyboardMenuActsOnCurrentRow()
{
    QFETCH(bool, keyboard);
    QFETCH(int, current);
    QFETCH(int, expected);
    table()->setCurrentIndex(current < 0 ? QModelIndex() : table()->model()->index(current, 1));
    QMenu* menu = nullptr;
    if (keyboard) {
        // As Qt sends it: to the table, at the current cell in viewport
        // coordinates; the table passes it on to the window.
        const QPoint at = table()->visualRect(table()->currentIndex()).center();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, at, table()->mapToGlobal(at));
        QApplication::sendEvent(table(), &event);
        for (QMenu* candidate : table()->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly))
            if (candidate->isVisible())
                menu = candidate;
    } else {
        menu = openTableMenu(*window, tableRowPoint(*window, 4));
    }
    QVERIFY(menu);
    QCOMPARE(window->contextRow(), expected);
    if (keyboard && current >= 0) {
        const QRect cell = table()->visualRect(table()->currentIndex());
        QCOMPARE(menu->pos(), table()->viewport()->mapToGlobal(cell.center()));
    }
    menu->close();
}

QTEST_MAIN(TestTerminalMenu)
#include "tst_terminalmenu.moc"
