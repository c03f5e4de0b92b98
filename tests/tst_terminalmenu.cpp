// The popup menu over the terminal table: its entries, which row it acts on
// and where it opens, from the mouse and from the keyboard; the batch log-in
// it starts.
#include "batchwindow/batchlogindialog.h"
#include "batchwindow/batchwindow.h"
#include "console/consolehistory.h"
#include "console/demochildgui.h"
#include "mainwindow/demogui.h"
#include "simulator/fleet.h"
#include "simulator/simulator.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
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
    void batchLogInRecordedWithoutItsPassword();
    void batchWindowFollowsTheStateCells_data();
    void batchWindowFollowsTheStateCells();

private:
    QTableWidget* table() const { return tableOf(*window); }
    // "批量连接…" over the rows given, confirmed with `password`.
    tessel::BatchWindow* batchLogIn(std::initializer_list<int> rows, const QString& password);
    static void confirm(tessel::BatchLoginDialog* dialog, const QString& password);

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

void TestTerminalMenu::confirm(tessel::BatchLoginDialog* dialog, const QString& password)
{
    QVERIFY(dialog && dialog->isVisible());
    dialog->findChild<QLineEdit*>("batchPasswordEdit")->setText(password);
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

tessel::BatchWindow* TestTerminalMenu::batchLogIn(std::initializer_list<int> rows, const QString& password)
{
    for (int row : rows)
        table()->selectionModel()->select(table()->model()->index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QMenu* menu = openTableMenu(*window, tableRowPoint(*window, 0));
    menu->hide();
    menu->actions().constLast()->trigger();
    confirm(topLevel<tessel::BatchLoginDialog>(), password);
    auto* batch = topLevel<tessel::BatchWindow>();
    if (batch && !QTest::qWaitFor([batch] { return !batch->engine().running(); }))
        return nullptr;
    return batch;
}

void TestTerminalMenu::batchLogInRecordedWithoutItsPassword()
{
    tessel::BatchWindow* batch = batchLogIn({0, 2}, "wrong-pw");
    QVERIFY(batch);
    QCOMPARE(batch->engine().failedCount(), 2);
    // 重试失败项 asks again, for the user name given before, and sends the new password.
    batch->findChild<QPushButton*>("retryButton")->click();
    auto* again = batch->findChild<tessel::BatchLoginDialog*>();
    QVERIFY(again);
    QCOMPARE(again->findChild<QLineEdit*>("batchUserEdit")->text(), QStringLiteral("admin"));
    confirm(again, "123456");
    QTRY_VERIFY(!batch->engine().running());
    QCOMPARE(batch->engine().failedCount(), 0);
    QCOMPARE(table()->item(2, 1)->text(), QStringLiteral("登录成功!!!"));

    // Two sends and two retries, each with its result, the password masked.
    const tessel::HistoryRecorder& recorder = topLevel<DemoChildGUI>()->history().recorder();
    const auto logIns = [&recorder, tag = batch->engine().tag()] {
        std::vector<tessel::HistoryEntry> found;
        for (const tessel::HistoryEntry& entry : recorder.list().all())
            if (entry.batch == tag && entry.results.size() == 1)
                found.push_back(entry);
        return found;
    };
    QTRY_COMPARE(logIns().size(), std::size_t(4));
    for (const tessel::HistoryEntry& entry : logIns()) {
        QCOMPARE(entry.operation, QStringLiteral("login()"));
        QVERIFY2(entry.request.contains(R"("password":"******")"), qPrintable(entry.request));
        for (const QString& text : {entry.request, entry.results.at(0).reply})
            QVERIFY(!text.contains("wrong-pw") && !text.contains("123456"));
    }
}

void TestTerminalMenu::batchWindowFollowsTheStateCells_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("searchAfter");
    QTest::addColumn<QString>("state");
    QTest::newRow("logged in") << "123456" << false << "登录成功!!!";
    QTest::newRow("a new search after the log-in") << "123456" << true << "已被上位机登录";
}

void TestTerminalMenu::batchWindowFollowsTheStateCells()
{
    QFETCH(QString, password);
    QFETCH(bool, searchAfter);
    QFETCH(QString, state);
    tessel::BatchWindow* batch = batchLogIn({3}, password);
    QVERIFY(batch);
    if (searchAfter)
        window->findChild<QPushButton*>("pushButton")->click();
    const QModelIndex cell = batch->model().index(3, tessel::BatchTableModel::TerminalStateColumn);
    QTRY_COMPARE(cell.data().toString(), state);
}

QTEST_MAIN(TestTerminalMenu)
#include "tst_terminalmenu.moc"
