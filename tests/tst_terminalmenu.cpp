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
#include "targets/targets.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
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
    void batchLogInRecordedAndRetried();
    void exportTerminalList_data();
    void exportTerminalList();

private:
    QTableWidget* table() const { return tableOf(*window); }
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
    // The seven actions, then a separator, the two copy entries, the export of
    // the list and the batch log-in (disabled: no row is selected).
    QCOMPARE(texts, (QStringList{"连接", "连接system", "退出", "重命名", "修改密码", "忘记密码",
                                 "下载运行日志", "", "复制序列号", "复制IP", "导出终端列表…", "批量连接…"}));
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
        // Where the menu would pass the screen's bottom, Qt lifts it just enough.
        QPoint at = table()->viewport()->mapToGlobal(cell.center());
        at.setY(std::min(at.y(), menu->screen()->availableGeometry().bottom() + 1 - menu->height()));
        QCOMPARE(menu->pos(), at);
    }
    menu->close();
}

void TestTerminalMenu::confirm(tessel::BatchLoginDialog* dialog, const QString& password)
{
    QVERIFY(dialog && dialog->isVisible());
    dialog->findChild<QLineEdit*>("batchPasswordEdit")->setText(password);
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

void TestTerminalMenu::batchLogInRecordedAndRetried()
{
    for (int row : {0, 2})
        table()->selectionModel()->select(table()->model()->index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QMenu* menu = openTableMenu(*window, tableRowPoint(*window, 0));
    menu->hide();
    menu->actions().constLast()->trigger();
    confirm(topLevel<tessel::BatchLoginDialog>(), "wrong-pw");
    auto* batch = topLevel<tessel::BatchWindow>();
    QVERIFY(batch);
    QTRY_COMPARE(batch->engine().failedCount(), 2);
    // 重试失败项 asks again, for the same user, and sends the new password.
    batch->findChild<QPushButton*>("retryButton")->click();
    auto* again = batch->findChild<tessel::BatchLoginDialog*>();
    QVERIFY(again);
    QCOMPARE(again->findChild<QLineEdit*>("batchUserEdit")->text(), QStringLiteral("admin"));
    confirm(again, "123456");
    QTRY_VERIFY(!batch->engine().running());
    QCOMPARE(batch->engine().failedCount(), 0);
    // The window's 终端状态 follows the main table's, also after a new search.
    const QModelIndex state = batch->model().index(2, tessel::BatchTableModel::TerminalStateColumn);
    QTRY_COMPARE(state.data().toString(), QStringLiteral("登录成功!!!"));
    window->findChild<QPushButton*>("pushButton")->click();
    QTRY_COMPARE(state.data().toString(), QStringLiteral("已被上位机登录"));

    // Two sends and two retries under the window's tag, the password masked.
    const tessel::HistoryRecorder& recorder = topLevel<DemoChildGUI>()->history().recorder();
    std::vector<tessel::HistoryEntry> logIns;
    QTRY_VERIFY([&] {
        logIns.clear();
        for (const tessel::HistoryEntry& entry : recorder.list().all())
            if (entry.batch == batch->engine().tag() && entry.results.size() == 1)
                logIns.push_back(entry);
        return logIns.size() == 4;
    }());
    for (const tessel::HistoryEntry& entry : logIns) {
        QCOMPARE(entry.operation, QStringLiteral("login()"));
        QVERIFY2(entry.request.contains(R"("password":"******")"), qPrintable(entry.request));
        for (const QString& text : {entry.request, entry.results.at(0).reply})
            QVERIFY(!text.contains("wrong-pw") && !text.contains("123456"));
    }
}

void TestTerminalMenu::exportTerminalList_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("written");
    QTest::newRow("every listed terminal") << QList<int>{} << "terminals.csv" << true;
    QTest::newRow("the selected ones") << QList<int>{1, 4} << "site.csv" << true;
    QTest::newRow("a folder that is not there") << QList<int>{} << "none/terminals.csv" << false;
}

void TestTerminalMenu::exportTerminalList()
{
    QFETCH(QList<int>, selected);
    QFETCH(QString, file);
    QFETCH(bool, written);
    for (int row : selected)
        table()->selectionModel()->select(table()->model()->index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QMenu* menu = openTableMenu(*window, tableRowPoint(*window, 0));
    menu->hide();
    QAction* entry = menu->actions().at(menu->actions().size() - 2);
    QCOMPARE(entry->text(), QStringLiteral("导出终端列表…"));
    entry->trigger();
    auto* dialog = window->findChild<QFileDialog*>("exportTerminalsDialog");
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), QStringLiteral("terminals.csv"));
    QTemporaryDir dir;
    const QString path = dir.filePath(file);
    dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept(); // as its save button does

    QFile csv(path);
    if (!written) {
        auto* box = topLevel<QMessageBox>();
        QVERIFY(box && box->text().startsWith(QDir::toNativeSeparators(path)));
        QVERIFY(!csv.exists());
        return;
    }
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QByteArray text = csv.readAll();
    tessel::TargetsFault fault;
    const auto targets = tessel::parseTargetsCsv({text.constData(), std::size_t(text.size())}, fault);
    QVERIFY2(targets, fault.text().c_str());
    if (selected.isEmpty())
        for (int row = 0; row < 6; ++row)
            selected << row;
    QCOMPARE(targets->size(), std::size_t(selected.size()));
    for (int i = 0; i < selected.size(); ++i) {
        const tsc::SearchResponseData& terminal = window->terminalList()[std::size_t(selected[i])];
        const tessel::Target& target = targets->at(std::size_t(i));
        QCOMPARE(target.sn + '|' + target.name + '|' + target.ip,
                 terminal.sn + '|' + terminal.name + '|' + terminal.ip);
        QVERIFY(target.variables.empty());
    }
}

QTEST_MAIN(TestTerminalMenu)
#include "tst_terminalmenu.moc"
