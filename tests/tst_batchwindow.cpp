// Batches from the main window: the batch window over the listed terminals,
// its settings, retry and export, and the batch log-in.
#include "batchwindow/batchlogindialog.h"
#include "batchwindow/batchwindow.h"
#include "console/consoletools.h"
#include "console/demochildgui.h"
#include "mainwindow/demogui.h"
#include "simulator/simulator.h"
#include "testsupport.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

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
        std::unique_ptr<QMenu> menu(
            console("getVolume()", request)->findChild<tessel::ConsoleTools*>("consoleTools")->requestMenu());
        for (QAction* action : menu->actions())
            if (action->text() == "批量发送…" && action->isEnabled())
                action->trigger();
        BatchWindow* batch = topLevel<BatchWindow>();
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

private:
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
