// Batches from the main window: the batch window over the listed terminals,
// its settings, retry and export, and the batch log-in.
#include "batch/batchrequest.h"
#include "batchwindow/batchlogindialog.h"
#include "batchwindow/batchwindow.h"
#include "console/consoletools.h"
#include "console/demochildgui.h"
#include "mainwindow/demogui.h"
#include "simulator/simulator.h"
#include "testsupport.h"

#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <nlohmann/json.hpp>

#include <memory>

using tessel::BatchState;
using tessel::BatchWindow;

namespace {

// Five terminals: the second is logged in to by a host, the fourth has
// another password.
std::vector<tesselsim::Terminal> fiveTerminals()
{
    std::vector<tesselsim::Terminal> fleet;
    for (int i = 0; i < 5; ++i)
        fleet.push_back({"BZSA0000000000000" + std::to_string(i), "大厅主屏" + std::to_string(i),
                         "192.168.1." + std::to_string(20 + i)});
    fleet[1].hostLoggedIn = true;
    fleet[3].password = "654321";
    return fleet;
}

int callsOf(const std::string& operation)
{
    const auto calls = tesselsim::calls();
    return int(std::count_if(calls.begin(), calls.end(),
                             [&](const tesselsim::Call& call) { return call.operation == operation; }));
}

} // namespace

class TestBatchWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        tesselsim::reset();
        tesselsim::setLatency(std::chrono::milliseconds(0));
        tesselsim::setFleet(fiveTerminals());
        window = std::make_unique<DemoGUI>();
        window->resize(700, 600);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTRY_COMPARE(window->terminalList().size(), std::size_t(5));
    }
    void cleanup()
    {
        window.reset();
        closeAllTopLevels();
        QVERIFY(visibleTopLevels().isEmpty());
        tesselsim::reset();
    }

    void batchLogin()
    {
        ModalCloser closer;
        const auto loginEntry = [this] {
            QMenu* menu = openTableMenu(*window, tableRowPoint(*window, 0));
            menu->hide();
            return menu->actions().last();
        };
        QVERIFY(!loginEntry()->isEnabled()); // nothing selected
        select({0, 1, 2, 3});
        QAction* entry = loginEntry();
        QCOMPARE(entry->text(), QStringLiteral("批量连接…"));
        QVERIFY(entry->isEnabled());
        entry->trigger();

        auto* dialog = topLevel<tessel::BatchLoginDialog>();
        QVERIFY(dialog);
        auto* password = dialog->findChild<QLineEdit*>("batchPasswordEdit");
        QCOMPARE(dialog->findChild<QLineEdit*>("batchUserEdit")->text(), QStringLiteral("admin"));
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QCOMPARE(dialog->focusWidget(), password);
        password->setText("123456");
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();

        BatchWindow* batch = topLevel<BatchWindow>();
        QVERIFY(batch);
        QTRY_VERIFY(!batch->engine().running());
        const tessel::BatchEngine& engine = batch->engine();
        QCOMPARE(engine.done(), 4);
        // The host's terminal is not logged in to again, nor counted as failed.
        QCOMPARE(callsOf("tsLoginAsync"), 3);
        QCOMPARE(engine.row(1).state, BatchState::Skipped);
        QCOMPARE(engine.failedCount(), 1);
        QCOMPARE(engine.row(3).last.code, 1005);
        const QStringList expected{"登录成功!!!", "已被上位机登录", "登录成功!!!", "未登录", "未登录"};
        for (int row = 0; row < 5; ++row)
            QCOMPARE(tableOf(*window)->item(row, 1)->text(), expected[row]);
        QVERIFY(closer.seen.isEmpty()); // no message box per terminal
    }

    void badSettingsAreRefused_data()
    {
        QTest::addColumn<QString>("concurrency");
        QTest::addColumn<QString>("timeout");
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const char* concurrency, const char* timeout,
                            const char* request, const char* message) {
            QTest::newRow(name) << concurrency << timeout << request << message;
        };
        const char* good = R"({"sn":"X"})";
        row("concurrency 0", "0", "10", good, "并发数");
        row("concurrency 65", "65", "10", good, "并发数");
        row("concurrency not a number", "八", "10", good, "并发数");
        row("timeout empty", "8", "", good, "超时");
        row("timeout negative", "8", "-1", good, "超时");
        row("no top-level sn", "8", "10", R"({"volumeInfo":{"sn":"X"}})", "\"sn\"");
    }
    void badSettingsAreRefused()
    {
        QFETCH(QString, concurrency);
        QFETCH(QString, timeout);
        QFETCH(QString, request);
        QFETCH(QString, message);
        BatchWindow* batch = openBatch("getVolume()", request);
        QVERIFY(batch);
        QCOMPARE(batch->model().checkedRows().size(), std::size_t(5)); // none selected: every terminal
        batch->findChild<QLineEdit*>("concurrencyEdit")->setText(concurrency);
        batch->findChild<QLineEdit*>("timeoutEdit")->setText(timeout);
        batch->findChild<QPushButton*>("startButton")->click();
        QVERIFY2(batch->message().contains(message), qPrintable(batch->message()));
        QVERIFY(!batch->engine().running());
        QCOMPARE(callsOf("tsGetVolumeAsync"), 0);
    }

    void sendRetryAndExport()
    {
        tesselsim::setLatency(std::chrono::milliseconds(20));
        select({0, 1, 2, 3, 4});
        DemoChildGUI* console = this->console("setVolume()", R"({"sn":"X","volumeInfo":{"ratio":30.0}})");
        console->show();
        QApplication::setActiveWindow(console);
        QVERIFY(QTest::qWaitForWindowActive(console));
        QTest::keyClick(console->findChild<QTextEdit*>("textEdit_2"), Qt::Key_Return,
                        Qt::ControlModifier | Qt::ShiftModifier);
        BatchWindow* batch = topLevel<BatchWindow>();
        QVERIFY(batch);
        QCOMPARE(batch->model().checkedRows(), (std::vector<int>{0, 1, 2, 3, 4}));
        QCOMPARE(callsOf("tsSetVolumeAsync"), 0); // nothing is sent before "开始"
        batch->findChild<QPushButton*>("startButton")->click();
        // A new search while the batch runs: the sends still go and are shown.
        window->findChild<QPushButton*>("pushButton")->click();
        QTRY_VERIFY(!batch->engine().running());
        QCOMPARE(batch->findChild<QLabel*>("progressLabel")->text(), QStringLiteral("已完成 5 / 5"));
        const tessel::BatchEngine& engine = batch->engine();
        // Only the host's terminal is logged in; the others answer 1003.
        QCOMPARE(callsOf("tsSetVolumeAsync"), 5);
        QCOMPARE(engine.row(1).state, BatchState::Succeeded);
        QCOMPARE(engine.failedCount(), 4);

        auto fleet = fiveTerminals();
        fleet[2].hostLoggedIn = true;
        tesselsim::setFleet(fleet);
        batch->findChild<QPushButton*>("retryButton")->click();
        QTRY_VERIFY(!batch->engine().running());
        QCOMPARE(callsOf("tsSetVolumeAsync"), 9);
        QCOMPARE(engine.row(2).results.size(), std::size_t(2));
        QCOMPARE(engine.failedCount(), 3);

        QTemporaryDir dir;
        const QString csvPath = dir.filePath("音量.csv");
        QCOMPARE(batch->exportTo(csvPath), QString());
        QFile csv(csvPath);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QCOMPARE(lines.size(), 7); // header, five rows, the end
        QVERIFY(lines[3].startsWith("大厅主屏2,BZSA00000000000002,192.168.1.22,成功,0,"));
        QVERIFY(!batch->exportTo(dir.filePath("missing/x.jsonl")).isEmpty());
        QVERIFY(!QFile::exists(dir.filePath("missing/x.jsonl")));
    }

    // The batch sends what its request box shows at 开始, whatever the console
    // shows by then; its check and refusals follow the edits.
    void requestBoxIsSent_data()
    {
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("edited");
        QTest::addColumn<bool>("framed");
        QTest::addColumn<QString>("refusal"); // empty: sent
        const QString good = R"({"sn":"X","volumeInfo":{"ratio":60}})";
        QTest::newRow("edited") << good << R"({"sn":"X","volumeInfo":{"ratio":10}})" << false << "";
        QTest::newRow("fixed after opening") << R"({"volumeInfo":{"ratio":10}})"
                                             << R"({"sn":"","volumeInfo":{"ratio":10}})" << false << "";
        QTest::newRow("not JSON") << good << R"({"sn":"X",)" << true << "不是 JSON";
        QTest::newRow("sn removed") << good << R"({"volumeInfo":{"ratio":10}})" << false << "\"sn\"";
    }
    void requestBoxIsSent()
    {
        QFETCH(QString, opened);
        QFETCH(QString, edited);
        QFETCH(bool, framed);
        QFETCH(QString, refusal);
        BatchWindow* batch = openBatch("setVolume()", opened);
        auto* box = batch->findChild<QPlainTextEdit*>("batchRequestEdit");
        QVERIFY(box && box->isVisible());
        QCOMPARE(box->toPlainText(), opened);
        QCOMPARE(batch->message(), tessel::batchRequestFault(opened.toUtf8()));
        console("setVolume()", R"({"sn":"X","volumeInfo":{"ratio":99}})");
        box->setPlainText(edited);
        QTRY_COMPARE(box->styleSheet().contains("#d32f2f"), framed);
        QCOMPARE(box->toolTip().startsWith("不是有效的 JSON"), framed);
        QTRY_VERIFY2(batch->message().contains(refusal), qPrintable(batch->message()));
        batch->findChild<QPushButton*>("startButton")->click();
        if (!refusal.isEmpty()) {
            QCOMPARE(callsOf("tsSetVolumeAsync"), 0);
            return;
        }
        QTRY_VERIFY(!batch->engine().running());
        // A retry sends the box as it is then.
        box->setPlainText(R"({"sn":"","volumeInfo":{"ratio":20}})");
        batch->findChild<QPushButton*>("retryButton")->click();
        QTRY_VERIFY(!batch->engine().running());
        std::vector<double> ratios;
        for (const tesselsim::Call& call : tesselsim::calls())
            if (call.operation == "tsSetVolumeAsync")
                ratios.push_back(nlohmann::json::parse(call.args.at(0)).at("volumeInfo").at("ratio"));
        QCOMPARE(ratios, (std::vector<double>{10, 10, 10, 10, 10, 20, 20, 20, 20}));
        QCOMPARE(batch->engine().row(1).request, edited); // the host's terminal was not retried
    }

    // Escape closes the window (its close button's path) from wherever the
    // keys are, unless a dialog of its own has them.
    void escapeCloses_data()
    {
        QTest::addColumn<QString>("focus");
        for (const char* focus : {"batchTable", "filterEdit", "replyView", "exportDialog"})
            QTest::newRow(focus) << focus;
    }
    void escapeCloses()
    {
        QFETCH(QString, focus);
        QPointer<BatchWindow> batch = standalone({{"A", "SN1"}});
        if (focus == "exportDialog")
            batch->findChild<QPushButton*>("exportButton")->click();
        QTest::keyClick(batch->findChild<QWidget*>(focus), Qt::Key_Escape);
        if (focus == "exportDialog")
            QVERIFY(!batch->findChild<QWidget*>(focus)->isVisible() && batch->isVisible());
        else
            QTRY_VERIFY(!batch);
    }

    void tabLeavesTable()
    {
        BatchWindow* batch = standalone({{"A", "SN1"}, {"B", "SN2"}});
        auto* table = batch->findChild<QTableView*>("batchTable");
        auto* exportButton = batch->findChild<QPushButton*>("exportButton");
        QApplication::setActiveWindow(batch);
        exportButton->setFocus();
        QTest::keyClick(exportButton, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), table);
        QCOMPARE(table->currentIndex().row(), 0); // where the keys are is shown
        QTest::keyClick(table, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), batch->findChild<QWidget*>("replyView"));
    }

    // The terminal state follows the main table's; 复制 before a run copies the
    // rows on show with it.
    void terminalStateAndCopyBeforeRun()
    {
        BatchWindow* batch = standalone({{"大厅", "SN1"}, {"门头", "SN2"}, {"大厅侧", "SN1"}});
        QSignalSpy changed(&batch->model(), &QAbstractItemModel::dataChanged);
        batch->setTerminalState("SN1", "登录成功!!!");
        QCOMPARE(changed.count(), 2);
        batch->findChild<QLineEdit*>("filterEdit")->setText("大厅");
        batch->findChild<QPushButton*>("copyButton")->click();
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral("终端名称\t序列号\t终端IP\t状态\t返回码\t耗时(ms)\t回复\n"
                                "大厅\tSN1\t192.168.1.21\t登录成功!!!\t\t\t\n"
                                "大厅侧\tSN1\t192.168.1.21\t登录成功!!!\t\t\t\n"));
    }

    // At 800×600 a whole serial shows, and the state and code columns need no scrolling.
    void columnsFitAt800()
    {
        BatchWindow* batch =
            standalone({{"大厅主屏", "BZSA07194A0049999716"}, {"展厅拼接屏", "BZVA28407N3X20008006"}});
        batch->resize(800, 600);
        QVERIFY(batch->minimumSizeHint().width() <= 800);
        auto* table = batch->findChild<QTableView*>("batchTable");
        QTRY_COMPARE(batch->width(), 800);
        QVERIFY(table->columnWidth(tessel::BatchTableModel::SerialColumn) >
                table->fontMetrics().horizontalAdvance("BZSA07194A0049999716"));
        for (int column : {tessel::BatchTableModel::StateColumn, tessel::BatchTableModel::CodeColumn})
            QVERIFY(table->columnViewportPosition(column) + table->columnWidth(column) <=
                    table->viewport()->width());
    }

    void retryHandler()
    {
        BatchWindow* batch = standalone({{"A", "SN1"}});
        batch->engine().setStarter([](int, tessel::BatchEngine::Attempt) { return QString("refused"); });
        int asked = 0;
        batch->setRetryHandler([&] { ++asked; });
        auto* retry = batch->findChild<QPushButton*>("retryButton");
        retry->click(); // nothing to retry yet
        QVERIFY(batch->startBatch());
        batch->findChild<QLineEdit*>("concurrencyEdit")->setText("0");
        retry->click();
        QVERIFY(batch->message().contains("并发数"));
        QCOMPARE(asked, 0);
        batch->findChild<QLineEdit*>("concurrencyEdit")->setText("8");
        retry->click();
        QCOMPARE(asked, 1);
        QVERIFY(batch->engine().row(0).results.empty()); // the handler retries, not the button
    }

private:
    // A batch window of its own over terminals (name, serial), none logged in.
    BatchWindow* standalone(const std::vector<std::pair<QString, QString>>& terminals)
    {
        std::vector<tessel::BatchCandidate> candidates;
        for (const auto& [name, serial] : terminals)
            candidates.push_back({{name, serial, "192.168.1.21"}, "未登录", true});
        auto* batch = new BatchWindow("getVolume()", std::move(candidates), window.get());
        batch->show();
        return QTest::qWaitForWindowExposed(batch) ? batch : nullptr;
    }
    BatchWindow* openBatch(const QString& name, const QString& request)
    {
        std::unique_ptr<QMenu> menu(
            console(name, request)->findChild<tessel::ConsoleTools*>("consoleTools")->requestMenu());
        for (QAction* action : menu->actions())
            if (action->text() == "批量发送…" && action->isEnabled())
                action->trigger();
        return topLevel<BatchWindow>();
    }
    void select(std::initializer_list<int> rows)
    {
        QItemSelectionModel* selection = tableOf(*window)->selectionModel();
        for (int row : rows)
            selection->select(tableOf(*window)->model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    // The console with the volume module's `name` and `request` in its request box.
    DemoChildGUI* console(const QString& name, const QString& request)
    {
        auto* console = topLevel<DemoChildGUI>();
        console->findChild<QComboBox*>("comboBox_APIModule")->setCurrentIndex(3);
        console->findChild<QComboBox*>("comboBox_APIName")->setCurrentText(name);
        console->findChild<QTextEdit*>("textEdit_2")->setPlainText(request);
        return console;
    }

    std::unique_ptr<DemoGUI> window;
};

QTEST_MAIN(TestBatchWindow)
#include "tst_batchwindow.moc"
