// The main window: start-up, table, rows, double-click and meta-object.
#include "batchwindow/batchlogindialog.h"
#include "batchwindow/batchwindow.h"
#include "console/consolehistory.h"
#include "console/demochildgui.h"
#include "history/historyrecorder.h"
#include "mainwindow/demogui.h"
#include "services/consoleservices.h"
#include "simulator/simulator.h"
#include "testsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QWindow>
#include <QtTest>

#include <nlohmann/json.hpp>

using namespace std::chrono_literals;

namespace {

QString cellText(QTableWidget* table, int row, int column)
{
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
}

tesselsim::Terminal terminal(const char* sn, std::int16_t width, std::int16_t height, bool loggedIn = false)
{
    tesselsim::Terminal t;
    t.sn = sn;
    t.name = std::string("屏") + sn;
    t.ip = std::string("10.0.0.") + sn;
    t.width = width;
    t.height = height;
    t.hostLoggedIn = loggedIn;
    return t;
}

} // namespace

class TestDemoGUI : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        tesselsim::reset();
        tesselsim::setLatency(0ms);
    }

    void cleanup()
    {
        tesselsim::reset(); // drops what is still in flight
        QVERIFY(visibleTopLevels().isEmpty());
    }

    void startUpInitialisesTheSdkThenSearches()
    {
        DemoGUI window;
        const auto calls = tesselsim::calls();
        QCOMPARE(calls.size(), std::size_t(2));
        QCOMPARE(calls[0].operation, std::string("tsInit"));
        QCOMPARE(calls[0].args.at(0), std::string("C:/Users/Public/tesselcore"));
        const std::string identity = calls[0].args.at(1);
        const auto parsed = nlohmann::ordered_json::parse(identity);
        QCOMPARE(parsed.dump(), identity); // compact: nothing between the tokens
        QCOMPARE(parsed.size(), std::size_t(3));
        auto key = parsed.begin();
        QCOMPARE(key.key(), std::string("company"));
        QCOMPARE(key->get<std::string>(), std::string("Corvane"));
        ++key;
        QCOMPARE(key.key(), std::string("phone"));
        QVERIFY(QRegularExpression("^\\d+-\\d+$")
                    .match(QString::fromStdString(key->get<std::string>()))
                    .hasMatch());
        ++key;
        QCOMPARE(key.key(), std::string("email"));
        QVERIFY(QString::fromStdString(key->get<std::string>()).endsWith("@example.com"));
        QCOMPARE(calls[1].operation, std::string("tsSearchTerminalAsync"));
        QVERIFY(calls[1].args.empty());
    }

    void worksOnHandedInServices()
    {
        QTemporaryDir dir;
        tessel::ConsoleServices::Options options;
        options.historyPath = dir.filePath("history.sqlite");
        tessel::ConsoleServices services(options);
        const tessel::HistoryList& history = services.historyRecorder()->list();
        {
            DemoGUI window(services);
            QCOMPARE(&window.requestRunner(), &services.requestRunner());
            QCOMPARE(&window.terminalList(), &services.terminals());
            QTRY_COMPARE(services.terminals().size(), tesselsim::fleet().size());
            window.dispatchApi("getVolume()", "{\"sn\":\"x\"}");
            QCOMPARE(history.endIndex() - history.firstIndex(), qint64(1));
        }
        // The services outlive the window and go on without it.
        QVERIFY(services.requestRunner().send("getVolume()", "{\"sn\":\"x\"}"));
        QVERIFY(tesselsim::waitIdle());
        QCoreApplication::sendPostedEvents();
        QCOMPARE(history.endIndex() - history.firstIndex(), qint64(2));
        services.historyRecorder()->flush();
    }

    void tableStartsWithHeadersAndHundredEmptyRows()
    {
        tesselsim::setLatency(10s); // nothing arrives during this test
        DemoGUI window;
        QTableWidget* table = tableOf(window);
        QCOMPARE(window.objectName(), QString("DemoGUIClass"));
        QCOMPARE(window.windowTitle(), QString("DemoGUI"));
        QCOMPARE(window.size(), QSize(600, 400));
        QCOMPARE(table->columnCount(), 4);
        QCOMPARE(table->rowCount(), 100);
        const QStringList headers{"终端名称", "状态", "终端IP", "显示屏大小"};
        for (int column = 0; column < 4; ++column) {
            QCOMPARE(table->horizontalHeaderItem(column)->text(), headers[column]);
            QCOMPARE(table->horizontalHeader()->sectionResizeMode(column), QHeaderView::Stretch);
        }
        QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
        for (int row = 0; row < 100; ++row)
            QVERIFY(!table->item(row, 0) && !table->item(row, 3));
        QCOMPARE(window.nextTableRow(), 0);
        QCOMPARE(window.findChild<QPushButton*>("pushButton")->text(), QString("搜索"));
        QCOMPARE(window.findChild<QPushButton*>("pushButton_2")->text(), QString("指定IP"));
        QCOMPARE(window.findChild<QPushButton*>("specifyRangeIpButton")->text(), QString("指定范围IP"));
    }

    void rowsShowTheTerminals_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("state");
        QTest::newRow("full hd") << 1920 << 1080 << false << "1920*1080"
                                 << "未登录";
        QTest::newRow("zero") << 0 << 0 << false << "0*0"
                              << "未登录";
        QTest::newRow("negative") << -5 << -32768 << true << "-5*-32768"
                                  << "已被上位机登录";
        QTest::newRow("largest") << 32767 << 1 << true << "32767*1"
                                 << "已被上位机登录";
    }

    void rowsShowTheTerminals()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, loggedIn);
        QFETCH(QString, size);
        QFETCH(QString, state);
        tesselsim::setFleet({terminal("7", std::int16_t(width), std::int16_t(height), loggedIn)});
        DemoGUI window;
        QTRY_COMPARE(window.terminalList().size(), std::size_t(1));
        QTableWidget* table = tableOf(window);
        QCOMPARE(cellText(table, 0, 0), QString("屏7"));
        QCOMPARE(cellText(table, 0, 1), state);
        QCOMPARE(cellText(table, 0, 2), QString("10.0.0.7"));
        QCOMPARE(cellText(table, 0, 3), size);
        QCOMPARE(window.nextTableRow(), 1);
        QVERIFY(!table->item(1, 0));
    }

    void doubleClickOpensTheConsoleForThatTerminal_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::newRow("first row") << 0 << 0;
        QTest::newRow("last listed row, last column") << 5 << 3;
        QTest::newRow("middle") << 2 << 1;
    }

    void doubleClickOpensTheConsoleForThatTerminal()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        DemoGUI window;
        const auto fleet = tesselsim::fleet();
        QTRY_COMPARE(window.terminalList().size(), fleet.size());
        emit tableOf(window)->cellDoubleClicked(row, column);
        DemoChildGUI* console = topLevel<DemoChildGUI>();
        QVERIFY(console && console->isVisible());
        QCOMPARE(console->findChild<QLineEdit*>("lineEdit")->text(),
                 QString::fromStdString(fleet[std::size_t(row)].sn));
        console->close();
    }

    void doubleClickOnAnEmptyRowChangesNeitherSerialNorSender()
    {
        DemoGUI window;
        QTRY_COMPARE(window.terminalList().size(), tesselsim::fleet().size());
        DemoChildGUI* console = topLevel<DemoChildGUI>();
        QVERIFY(console);
        console->findChild<QLineEdit*>("lineEdit")->setText("typed");
        int sent = 0;
        console->setRequestSender([&sent](const QByteArray&, const QByteArray&) { ++sent; });

        emit tableOf(window)->cellDoubleClicked(50, 2);
        QVERIFY(console->isVisible());
        QCOMPARE(console->findChild<QLineEdit*>("lineEdit")->text(), QString("typed"));
        console->findChild<QComboBox*>("comboBox_APIName")->setCurrentText("getVolume()");
        console->findChild<QPushButton*>("pushButton")->click();
        QCOMPARE(sent, 1); // still our sender
        console->close();
    }

    void windowsOpenAboveTheConsole_data()
    {
        QTest::addColumn<QString>("opened");
        QTest::addColumn<bool>("consoleShown"); // else the main window owns it
        for (const char* opened : {"batch send", "batch log-in dialog", "batch log-in", "replay"})
            QTest::newRow(opened) << opened << true;
        QTest::newRow("batch log-in, no console") << "batch log-in" << false;
    }

    void windowsOpenAboveTheConsole()
    {
        QFETCH(QString, opened);
        QFETCH(bool, consoleShown);
        DemoGUI window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(window.terminalList().size(), tesselsim::fleet().size());
        tableOf(window)->selectionModel()->select(tableOf(window)->model()->index(0, 0),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
        auto* console = topLevel<DemoChildGUI>();
        if (consoleShown) {
            emit tableOf(window)->cellDoubleClicked(0, 0);
            QVERIFY(QTest::qWaitForWindowActive(console));
        }
        QWidget* shown = nullptr;
        if (opened == "batch send") {
            console->findChild<QComboBox*>("comboBox_APIName")->setCurrentText("getVolume()");
            QTest::keyClick(console->findChild<QTextEdit*>("textEdit_2"), Qt::Key_Return,
                            Qt::ControlModifier | Qt::ShiftModifier);
            shown = topLevel<tessel::BatchWindow>();
        } else if (opened == "replay") {
            emit console->history().replayRequested({});
            shown = window.replay();
        } else {
            QMenu* menu = openTableMenu(window, tableRowPoint(window, 0));
            menu->hide();
            menu->actions().constLast()->trigger(); // 批量连接…
            shown = topLevel<tessel::BatchLoginDialog>();
            if (opened == "batch log-in") {
                QVERIFY(shown);
                shown->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
                shown = topLevel<tessel::BatchWindow>();
            }
        }
        QVERIFY(shown && shown->isVisible());
        // Owned, so kept above its owner alone; dialog-type, else X11 drops the owner.
        QCOMPARE(shown->windowType(), Qt::Dialog);
        QVERIFY(!shown->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(shown->windowHandle()->transientParent(),
                 consoleShown ? console->windowHandle() : window.windowHandle());
        if (!qobject_cast<QDialog*>(shown))
            QVERIFY(shown->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QTRY_VERIFY(shown->isActiveWindow());
        // A batch window keeps the program going when the main window closes.
        QCOMPARE(window.testAttribute(Qt::WA_QuitOnClose), opened == "replay" || opened.endsWith("dialog"));
        closeAllTopLevels();
    }

    void metaObjectListsSignalsThenSlotsInOrder()
    {
        const QStringList expected{
            "signalsendSN(QString)",
            "signalsendResponseData(int,QString)",
            "signalDissconnect(int,std::string)",
            "signalSerch(int,QString)",
            "signalLogin(int,QString)",
            "slotsGetIndex(int,int)",
            "slotsConnect()",
            "slotsConnectSys()",
            "slotsQuit()",
            "slotsRename()",
            "slotsRepassword()",
            "slotsForgetPassword()",
            "slotsDownload()",
            "slotClickedSearch()",
            "slotDissconnect(int,std::string)",
            "slotSerch(int,QString)",
            "slotLogin(int,QString)",
            "on_pushButton_2_clicked()",
            "on_slotsIp_button_start_clicked()",
            "on_specifyRangeIpButton_clicked()",
            "on_slotsRange_Ip_button_start_clicked()",
        };
        const QMetaObject& meta = DemoGUI::staticMetaObject;
        QStringList actual;
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
            actual << QString::fromLatin1(meta.method(i).methodSignature());
        QCOMPARE(actual, expected);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(meta.method(meta.methodOffset() + i).methodType(), QMetaMethod::Signal);
        for (int i = 5; i < expected.size(); ++i) {
            QCOMPARE(meta.method(meta.methodOffset() + i).methodType(), QMetaMethod::Slot);
            QCOMPARE(meta.method(meta.methodOffset() + i).access(), QMetaMethod::Private);
        }
    }
};

QTEST_MAIN(TestDemoGUI)
#include "tst_demogui.moc"
