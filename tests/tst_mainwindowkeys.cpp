// The main window's keyboard: F5, Enter on a row, Shift+F10, and the Tab order.
#include "console/demochildgui.h"
#include "mainwindow/demogui.h"
#include "simulator/simulator.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace std::chrono_literals;

class TestMainWindowKeys : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void f5Searches();
    void enterOpensTheConsole_data();
    void enterOpensTheConsole();
    void tabOrder();
    void anotherRowActivatesTheConsole_data();
    void anotherRowActivatesTheConsole();
    void shiftF10OpensTheMenu_data();
    void shiftF10OpensTheMenu();

private:
    std::unique_ptr<DemoGUI> window;
};

void TestMainWindowKeys::init()
{
    tesselsim::reset();
    tesselsim::setLatency(0ms);
    window = std::make_unique<DemoGUI>();
    window->show();
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QVERIFY(tesselsim::waitIdle());
    QTRY_VERIFY(!window->terminalList().empty());
}

void TestMainWindowKeys::cleanup()
{
    window.reset();
    closeAllTopLevels();
    QVERIFY(visibleTopLevels().isEmpty());
    tesselsim::reset();
}

void TestMainWindowKeys::f5Searches()
{
    const auto searches = [] {
        const auto calls = tesselsim::calls();
        return std::count_if(calls.begin(), calls.end(), [](const tesselsim::Call& call) {
            return call.operation == "tsSearchTerminalAsync";
        });
    };
    QCOMPARE(searches(), 1L); // the one at start-up
    tableOf(*window)->setFocus();
    QTest::keyClick(tableOf(*window), Qt::Key_F5);
    QCOMPARE(searches(), 2L);
}

void TestMainWindowKeys::enterOpensTheConsole_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("listed");

    QTest::newRow("Return on a terminal") << 1 << int(Qt::Key_Return) << true;
    QTest::newRow("keypad Enter on a terminal") << 0 << int(Qt::Key_Enter) << true;
    QTest::newRow("Return on an empty row") << 90 << int(Qt::Key_Return) << false;
}

void TestMainWindowKeys::enterOpensTheConsole()
{
    QFETCH(int, row);
    QFETCH(int, key);
    QFETCH(bool, listed);
    QTableWidget* table = tableOf(*window);
    table->setCurrentCell(row, 2);
    table->setFocus();
    QTest::keyClick(table, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    auto* console = topLevel<DemoChildGUI>();
    QVERIFY(console && console->isVisible());
    const QString serial = console->findChild<QLineEdit*>("lineEdit")->text();
    QCOMPARE(serial,
             listed ? QString::fromStdString(window->terminalList()[std::size_t(row)].sn) : QString());
}

void TestMainWindowKeys::tabOrder()
{
    // Round and back to the start: the table does not keep the focus.
    const char* order[] = {"pushButton", "pushButton_2", "specifyRangeIpButton", "tableWidget", "pushButton"};
    window->findChild<QWidget*>(order[0])->setFocus();
    for (const char* name : order) {
        QCOMPARE(QApplication::focusWidget(), window->findChild<QWidget*>(name));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
}

void TestMainWindowKeys::anotherRowActivatesTheConsole_data()
{
    QTest::addColumn<bool>("doubleClick"); // else Enter
    QTest::addColumn<int>("row");
    QTest::newRow("double-click on another row") << true << 2;
    QTest::newRow("Enter on another row") << false << 3;
    QTest::newRow("Enter on the same row") << false << 0;
}

void TestMainWindowKeys::anotherRowActivatesTheConsole()
{
    QFETCH(bool, doubleClick);
    QFETCH(int, row);
    QTableWidget* table = tableOf(*window);
    table->setCurrentCell(0, 0);
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Return);
    auto* console = topLevel<DemoChildGUI>();
    QVERIFY(console && console->isVisible());
    QTRY_COMPARE(QApplication::activeWindow(), console);
    // The user goes back to the main window, the console stays open behind it.
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));

    table->setCurrentCell(row, 0);
    if (doubleClick)
        emit table->cellDoubleClicked(row, 1);
    else
        QTest::keyClick(table, Qt::Key_Return);
    QTRY_COMPARE(QApplication::activeWindow(), console);
    QCOMPARE(console->findChild<QLineEdit*>("lineEdit")->text(),
             QString::fromStdString(window->terminalList()[std::size_t(row)].sn));
}

void TestMainWindowKeys::shiftF10OpensTheMenu_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("current"); // -1: no current row
    QTest::newRow("in the table") << "tableWidget" << 3;
    QTest::newRow("on a search button") << "pushButton_2" << 1;
    QTest::newRow("no current row") << "tableWidget" << -1;
}

void TestMainWindowKeys::shiftF10OpensTheMenu()
{
    QFETCH(QString, focus);
    QFETCH(int, current);
    QTableWidget* table = tableOf(*window);
    table->setCurrentIndex(current < 0 ? QModelIndex() : table->model()->index(current, 1));
    auto* focused = window->findChild<QWidget*>(focus);
    focused->setFocus();
    QTest::keyClick(focused, Qt::Key_F10, Qt::ShiftModifier);
    QMenu* menu = nullptr;
    for (QMenu* candidate : table->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly))
        if (candidate->isVisible())
            menu = candidate;
    QVERIFY(menu);
    QCOMPARE(window->contextRow(), current);
    if (current >= 0)
        QCOMPARE(menu->pos(),
                 table->viewport()->mapToGlobal(table->visualRect(table->currentIndex()).center()));
    menu->close();
}

QTEST_MAIN(TestMainWindowKeys)
#include "tst_mainwindowkeys.moc"
