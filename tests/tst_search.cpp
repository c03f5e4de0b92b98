// The three searches: result-set reset, dialog validation, request texts and
// the reply path into the table.
#include "mainwindow/demogui.h"
#include "simulator/simulator.h"
#include "testsupport.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <nlohmann/json.hpp>

#include <set>

using namespace std::chrono_literals;

namespace {

std::vector<tesselsim::Call> callsAfterStartUp()
{
    auto calls = tesselsim::calls();
    calls.erase(calls.begin(),
                calls.begin() + std::min<std::size_t>(2, calls.size())); // tsInit, first search
    return calls;
}

// String values of a JSON object, without regard to its keys.
std::set<std::string> stringValues(const std::string& text)
{
    std::set<std::string> values;
    const nlohmann::json object = nlohmann::json::parse(text);
    for (const auto& item : object.items())
        if (item.value().is_string())
            values.insert(item.value().get<std::string>());
    return values;
}

std::string searchReply(const std::string& sn, const std::string& name)
{
    return nlohmann::json{{"sn", sn}, {"name", name}, {"ip", "192.0.2.1"}, {"width", 64}, {"height", 32}}
        .dump();
}

int fleetSize()
{
    return int(tesselsim::fleet().size());
}

bool tableIsEmpty(QTableWidget* table)
{
    for (int row = 0; row < table->rowCount(); ++row)
        for (int column = 0; column < table->columnCount(); ++column)
            if (table->item(row, column))
                return false;
    return true;
}

} // namespace

class TestSearch : public QObject
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
        tesselsim::reset();
        QVERIFY(visibleTopLevels().isEmpty());
    }

    void everySearchStartsANewResultSet()
    {
        DemoGUI window;
        QTableWidget* table = tableOf(window);
        QTRY_COMPARE(window.nextTableRow(), fleetSize());
        tesselsim::setLatency(10s); // the new replies stay away
        window.findChild<QPushButton*>("pushButton")->click();
        QCOMPARE(window.nextTableRow(), 0);
        QVERIFY(window.terminalList().empty());
        QCOMPARE(table->rowCount(), 100);
        QCOMPARE(table->horizontalHeaderItem(2)->text(), QString("终端IP"));
        QVERIFY(tableIsEmpty(table));
        QCOMPARE(callsAfterStartUp().size(), std::size_t(1));
        QCOMPARE(callsAfterStartUp()[0].operation, std::string("tsSearchTerminalAsync"));
    }

    void dialogsAreBuiltAsLaidOut()
    {
        DemoGUI window;
        auto* ipEdit = dialogWidget<QLineEdit>("ipLineEdit");
        auto* startEdit = dialogWidget<QLineEdit>("startIpLineEdit");
        QVERIFY(ipEdit && startEdit);
        auto* ipDialog = qobject_cast<QDialog*>(ipEdit->window());
        auto* rangeDialog = qobject_cast<QDialog*>(startEdit->window());
        QVERIFY(ipDialog && rangeDialog && !ipDialog->parent() && !rangeDialog->parent());
        // Above the console, which stays on top.
        QVERIFY(ipDialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(rangeDialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(ipDialog->size(), QSize(250, 70));
        QCOMPARE(rangeDialog->size(), QSize(250, 100));
        QCOMPARE(ipEdit->geometry(), QRect(90, 8, 130, 20));
        QCOMPARE(dialogWidget<QLabel>("ipLabel")->text(), QString("请输入指定IP:"));
        QCOMPARE(dialogWidget<QLabel>("startIpLabel")->text(), QString("请输入起始IP:"));
        QCOMPARE(dialogWidget<QLabel>("endIpLabel")->geometry(), QRect(10, 33, 150, 30));
        QCOMPARE(dialogWidget<QPushButton>("rangeOkButton")->pos(), QPoint(35, 65));
        QCOMPARE(dialogWidget<QPushButton>("rangeCancelButton")->text(), QString("取消"));
        // Creation order: OK, cancel, labels, fields.
        const auto children = rangeDialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        QStringList order;
        for (QWidget* child : children)
            order << child->objectName();
        QCOMPARE(order, (QStringList{"rangeOkButton", "rangeCancelButton", "startIpLabel", "endIpLabel",
                                     "startIpLineEdit", "endIpLineEdit"}));

        window.findChild<QPushButton*>("pushButton_2")->click();
        QVERIFY(ipDialog->isVisible() && !ipDialog->isModal());
        QCOMPARE(ipDialog->focusWidget(), ipEdit);
        dialogWidget<QPushButton>("ipCancelButton")->click();
        QVERIFY(!ipDialog->isVisible());
        window.findChild<QPushButton*>("specifyRangeIpButton")->click();
        QVERIFY(rangeDialog->isVisible());
        QCOMPARE(rangeDialog->focusWidget(), startEdit);
        dialogWidget<QPushButton>("rangeCancelButton")->click();
        QVERIFY(!rangeDialog->isVisible());
        QVERIFY(callsAfterStartUp().empty());
    }

    void oneAddressSearch_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("rows");
        QTest::newRow("empty") << ""
                               << "没有输入ip,请输入ip:" << 0;
        QTest::newRow("address record") << R"({"ip":"192.168.1.23"})"
                                        << "" << 1;
        QTest::newRow("bare address") << "192.168.1.24"
                                      << "" << 1;
        // Checked here, before the list is emptied or anything is sent.
        QTest::newRow("blank") << "  "
                               << "没有输入ip,请输入ip:" << 0;
        QTest::newRow("garbage") << "garbage!!"
                                 << "指定IP不是IPv4地址:应为以\".\"分隔的四个0到255的数字(如192.168.1.10),"
                                    "输入的是1段,请重新输入:"
                                 << 0;
        QTest::newRow("letter in a part") << "192.168.1.2x"
                                          << "指定IP不是IPv4地址:第4段\"2x\"不是数字,请重新输入:" << 0;
        QTest::newRow("part too large") << "192.168.1.300"
                                        << "指定IP不是IPv4地址:第4段\"300\"大于255,请重新输入:" << 0;
        QTest::newRow("long part shown cut")
            << "1.2.3." + QString(100, 'x')
            << "指定IP不是IPv4地址:第4段\"" + QString(24, 'x') + "…\"不是数字,请重新输入:" << 0;
    }

    void oneAddressSearch()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(int, rows);
        DemoGUI window;
        QTRY_COMPARE(window.nextTableRow(), fleetSize());
        window.findChild<QPushButton*>("pushButton_2")->click();
        dialogWidget<QLineEdit>("ipLineEdit")->setText(typed);
        ModalCloser closer;
        dialogWidget<QPushButton>("ipOkButton")->click();
        // A refused input loses nothing: the dialog stays open, the list stays.
        QCOMPARE(dialogWidget<QLineEdit>("ipLineEdit")->window()->isVisible(), !message.isEmpty());
        if (!message.isEmpty()) {
            QCOMPARE(closer.seen.size(), 1);
            QCOMPARE(closer.seen[0].title, QString("提示"));
            QCOMPARE(closer.seen[0].text, message);
            QVERIFY(closer.seen[0].onTop && closer.seen[0].plainText);
            QVERIFY(callsAfterStartUp().empty());
            QCOMPARE(window.nextTableRow(), fleetSize());
            QCOMPARE(int(window.terminalList().size()), fleetSize());
            dialogWidget<QPushButton>("ipCancelButton")->click();
            return;
        }
        const auto calls = callsAfterStartUp();
        QCOMPARE(calls.size(), std::size_t(1));
        QCOMPARE(calls[0].operation, std::string("tsSearchAppointIpAsync"));
        QCOMPARE(QString::fromStdString(calls[0].args.at(0)), typed);
        QTRY_COMPARE(window.nextTableRow(), rows);
        QVERIFY(closer.seen.isEmpty());
    }

    void rangeSearch_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("message");   // empty when a search is sent
        QTest::addColumn<QString>("operation"); // "range" or "one"
        QTest::addColumn<QStringList>("sent");  // range: the two addresses; one: the request text

        const QString noStart = "没有输入起始ip,请输入起始ip:";
        const QString noEnd = "没有输入终止ip,请输入终止ip:";
        const QString otherNet = "两次输入的IP不在同一网段，请重新输入:";
        const QString startAfter = "起始IP大于终止IP,请重新输入:";
        QTest::newRow("no start") << ""
                                  << "192.168.1.20" << noStart << "" << QStringList();
        QTest::newRow("no end") << "192.168.1.10"
                                << "" << noEnd << "" << QStringList();
        QTest::newRow("bare addresses") << "192.168.1.10"
                                        << "192.168.1.20"
                                        << ""
                                        << "range" << QStringList{"192.168.1.10", "192.168.1.20"};
        QTest::newRow("bare addresses with blanks") << " 192.168.1.10"
                                                    << "192.168.1.20 \t"
                                                    << ""
                                                    << "range" << QStringList{"192.168.1.10", "192.168.1.20"};
        QTest::newRow("address records") << R"({"ip":"192.168.1.21"})"
                                         << R"({"ip":"192.168.1.26"})"
                                         << ""
                                         << "range" << QStringList{"192.168.1.21", "192.168.1.26"};
        QTest::newRow("other segment") << "192.168.1.10"
                                       << "192.168.2.20" << otherNet << "" << QStringList();
        QTest::newRow("segments compared as text") << "192.168.01.10"
                                                   << "192.168.1.20" << otherNet << "" << QStringList();
        QTest::newRow("start after end") << "192.168.1.20"
                                         << "192.168.1.10" << startAfter << "" << QStringList();
        QTest::newRow("hosts compared numerically") << "192.168.1.9"
                                                    << "192.168.1.10"
                                                    << ""
                                                    << "range" << QStringList{"192.168.1.9", "192.168.1.10"};
        QTest::newRow("negative host is no address") << "192.168.1.-1"
                                                     << "192.168.1.5"
                                                     << "起始IP不是IPv4地址:第4段\"-1\"不是数字,请重新输入:"
                                                     << "" << QStringList();
        QTest::newRow("equal ends") << R"({"ip":"192.168.1.22"})"
                                    << R"({ "ip" : "192.168.1.22" })"
                                    << ""
                                    << "one" << QStringList{R"({ "ip" : "192.168.1.22" })"};
        QTest::newRow("equal bare ends") << "192.168.1.22"
                                         << " 192.168.1.22 "
                                         << ""
                                         << "one" << QStringList{" 192.168.1.22 "};
        const QString onePart = "IP不是IPv4地址:应为以\".\"分隔的四个0到255的数字(如192.168.1.10),"
                                "输入的是1段,请重新输入:";
        QTest::newRow("host names, equal") << "screen-a"
                                           << "screen-a"
                                           << "起始" + onePart << "" << QStringList();
        QTest::newRow("host names, different") << "screen-a"
                                               << "screen-b"
                                               << "起始" + onePart << "" << QStringList();
        QTest::newRow("records without address") << "{}"
                                                 << "{}"
                                                 << "起始IP中没有IP地址,请重新输入:"
                                                 << "" << QStringList();
        // A slip in either end is named, not taken for another subnet.
        QTest::newRow("blank start") << " \t"
                                     << "192.168.1.20" << noStart << "" << QStringList();
        QTest::newRow("garbage end") << "192.168.1.10"
                                     << "garbage!!"
                                     << "终止" + onePart << "" << QStringList();
        QTest::newRow("letter in the end") << "192.168.1.10"
                                           << "192.168.1.2x"
                                           << "终止IP不是IPv4地址:第4段\"2x\"不是数字,请重新输入:"
                                           << "" << QStringList();
    }

    void rangeSearch()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, message);
        QFETCH(QString, operation);
        QFETCH(QStringList, sent);
        DemoGUI window;
        QTRY_COMPARE(window.nextTableRow(), fleetSize());
        tesselsim::setLatency(10s); // only the request matters here
        window.findChild<QPushButton*>("specifyRangeIpButton")->click();
        dialogWidget<QLineEdit>("startIpLineEdit")->setText(start);
        dialogWidget<QLineEdit>("endIpLineEdit")->setText(end);
        ModalCloser closer;
        dialogWidget<QPushButton>("rangeOkButton")->click();

        // The fields keep what was typed.
        QCOMPARE(dialogWidget<QLineEdit>("startIpLineEdit")->text(), start);
        QCOMPARE(dialogWidget<QLineEdit>("endIpLineEdit")->text(), end);
        const auto calls = callsAfterStartUp();
        if (!message.isEmpty()) {
            // Refused: the dialog stays open and the list as it was.
            QVERIFY(dialogWidget<QLineEdit>("startIpLineEdit")->window()->isVisible());
            QCOMPARE(window.nextTableRow(), fleetSize());
            QCOMPARE(int(window.terminalList().size()), fleetSize());
            QCOMPARE(closer.seen.size(), 1);
            QCOMPARE(closer.seen[0].className, QString("QMessageBox"));
            QCOMPARE(closer.seen[0].title, QString("提示"));
            QCOMPARE(closer.seen[0].text, message);
            QVERIFY(calls.empty());
            dialogWidget<QPushButton>("rangeCancelButton")->click();
            return;
        }
        QVERIFY(!dialogWidget<QLineEdit>("startIpLineEdit")->window()->isVisible());
        QVERIFY(tableIsEmpty(tableOf(window)));
        QVERIFY(window.terminalList().empty());
        QVERIFY(closer.seen.isEmpty());
        QCOMPARE(calls.size(), std::size_t(1));
        if (operation == "one") {
            QCOMPARE(calls[0].operation, std::string("tsSearchAppointIpAsync"));
            QCOMPARE(QString::fromStdString(calls[0].args.at(0)), sent.at(0));
        } else {
            QCOMPARE(calls[0].operation, std::string("tsSearchRangeIpAsync"));
            const std::string request = calls[0].args.at(0);
            QCOMPARE(nlohmann::json::parse(request).dump(), request); // compact
            QCOMPARE(stringValues(request),
                     (std::set<std::string>{sent.at(0).toStdString(), sent.at(1).toStdString()}));
        }
    }

    void rangeSearchFindsTheTerminalsInTheRange()
    {
        DemoGUI window;
        QTRY_COMPARE(window.nextTableRow(), fleetSize());
        window.findChild<QPushButton*>("specifyRangeIpButton")->click();
        dialogWidget<QLineEdit>("startIpLineEdit")->setText("192.168.1.22");
        dialogWidget<QLineEdit>("endIpLineEdit")->setText("192.168.1.24");
        dialogWidget<QPushButton>("rangeOkButton")->click();
        QTRY_COMPARE(window.nextTableRow(), 3);
        QVERIFY(tesselsim::waitIdle());
        QCOMPARE(tableOf(window)->item(0, 2)->text(), QString("192.168.1.22"));
        QCOMPARE(tableOf(window)->item(2, 2)->text(), QString("192.168.1.24"));
    }

    void statusLineFollowsTheSearch_data()
    {
        QTest::addColumn<QString>("search"); // "broadcast", "ip" or "range"
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("settled");
        QTest::newRow("broadcast") << "broadcast" << QStringList{}
                                   << QString("搜索结束，找到 %1 台终端").arg(fleetSize());
        QTest::newRow("one address") << "ip" << QStringList{"192.168.1.22"} << "搜索结束，找到 1 台终端";
        QTest::newRow("nobody at the address") << "ip" << QStringList{"10.0.0.1"} << "搜索结束，没有找到终端";
        QTest::newRow("range") << "range" << QStringList{"192.168.1.22", "192.168.1.24"}
                               << "搜索结束，找到 3 台终端";
    }

    // A line below the table says that a search runs until it has settled,
    // then how many terminals it found.
    void statusLineFollowsTheSearch()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, typed);
        QFETCH(QString, settled);
        DemoGUI window;
        auto* status = window.findChild<QLabel*>("searchStatus");
        QVERIFY(status);
        QCOMPARE(status->text(), QString("正在搜索…"));
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), QString("搜索结束，找到 %1 台终端").arg(fleetSize()),
                                  10000);
        ModalCloser closer;           // the warning of a search that finds nobody
        tesselsim::setLatency(300ms); // the first reply comes later than the quiet time
        if (search == "broadcast") {
            window.findChild<QPushButton*>("pushButton")->click();
        } else if (search == "ip") {
            window.findChild<QPushButton*>("pushButton_2")->click();
            dialogWidget<QLineEdit>("ipLineEdit")->setText(typed.at(0));
            dialogWidget<QPushButton>("ipOkButton")->click();
        } else {
            window.findChild<QPushButton*>("specifyRangeIpButton")->click();
            dialogWidget<QLineEdit>("startIpLineEdit")->setText(typed.at(0));
            dialogWidget<QLineEdit>("endIpLineEdit")->setText(typed.at(1));
            dialogWidget<QPushButton>("rangeOkButton")->click();
        }
        QCOMPARE(status->text(), QString("正在搜索…"));
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), settled, 15000);
        QVERIFY(tesselsim::waitIdle());
        QCOMPARE(status->text(), settled); // nothing more came after it settled
    }

    void failureRepliesAreShownAndNotAdded()
    {
        DemoGUI window;
        QTRY_COMPARE(window.nextTableRow(), fleetSize());
        tesselsim::scriptReplies(
            "tsSearchTerminalAsync",
            {{0, searchReply("A", "甲")}, {9, "搜索超时 timeout"}, {0, searchReply("B", "乙")}});
        ModalCloser closer;
        window.findChild<QPushButton*>("pushButton")->click();
        QTRY_COMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].title, QString("警告"));
        QCOMPARE(closer.seen[0].text, QString("搜索超时 timeout"));
        QTRY_COMPARE(window.nextTableRow(), 2);
        QCOMPARE(window.terminalList()[0].sn, std::string("A"));
        QCOMPARE(window.terminalList()[1].sn, std::string("B"));
        QCOMPARE(tableOf(window)->item(1, 0)->text(), QString("乙"));
    }

    void repliesThatAreNotRecordsAddNoRow_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::newRow("not json") << "terminal found";
        QTest::newRow("empty") << "";
        QTest::newRow("wrong types") << R"({"sn":"X","name":"named","width":"wide"})";
        QTest::newRow("array") << "[1,2]";
        QTest::newRow("no serial") << R"({"name":"named","ip":"192.0.2.9"})";
        QTest::newRow("empty serial") << R"({"sn":"","name":"named"})";
    }

    void repliesThatAreNotRecordsAddNoRow()
    {
        QFETCH(QString, reply);
        tesselsim::setFleet({});
        tesselsim::scriptReplies("tsSearchTerminalAsync",
                                 {{0, reply.toStdString()}, {0, searchReply("B", "乙")}});
        ModalCloser closer;
        DemoGUI window;
        QTRY_COMPARE(window.nextTableRow(), 1);
        QVERIFY(tesselsim::waitIdle());
        QCoreApplication::processEvents();
        QCOMPARE(window.nextTableRow(), 1);
        QCOMPARE(window.terminalList()[0].sn, std::string("B"));
        QCOMPARE(tableOf(window)->item(0, 0)->text(), QString("乙"));
        QVERIFY(!tableOf(window)->item(1, 0));
        QVERIFY(closer.seen.isEmpty());
    }

    void aTerminalAnsweringTwiceGetsTwoRows()
    {
        tesselsim::setFleet({});
        tesselsim::scriptReplies("tsSearchTerminalAsync",
                                 {{0, searchReply("A", "甲")}, {0, searchReply("A", "甲")}});
        DemoGUI window;
        QTRY_COMPARE(window.nextTableRow(), 2);
        QCOMPARE(tableOf(window)->item(1, 0)->text(), QString("甲"));
    }

    void everyTerminalGetsARowBeyondTheFirstHundred()
    {
        std::vector<tesselsim::Terminal> fleet;
        for (int i = 0; i < 150; ++i) {
            tesselsim::Terminal t;
            t.sn = "SN" + std::to_string(i);
            t.name = "终端" + std::to_string(i);
            t.ip = "10.0." + std::to_string(i / 250) + "." + std::to_string(i % 250);
            fleet.push_back(t);
        }
        tesselsim::setFleet(fleet);
        DemoGUI window;
        QTRY_COMPARE(window.nextTableRow(), 150);
        QTableWidget* table = tableOf(window);
        QCOMPARE(table->rowCount(), 150);
        for (int row : {0, 99, 100, 149})
            QCOMPARE(table->item(row, 0)->text(),
                     QString::fromStdString(window.terminalList()[std::size_t(row)].name));
        // A new result set starts from the usual hundred empty rows.
        tesselsim::setLatency(10s);
        window.findChild<QPushButton*>("pushButton")->click();
        QCOMPARE(table->rowCount(), 100);
        QVERIFY(tableIsEmpty(table));
    }

    void staleRepliesAreDropped_data()
    {
        QTest::addColumn<bool>("oneAddress"); // else a second broadcast
        QTest::addColumn<int>("rows");
        QTest::newRow("broadcast after broadcast") << false << fleetSize();
        QTest::newRow("one address after broadcast") << true << 1;
    }

    void staleRepliesAreDropped()
    {
        QFETCH(bool, oneAddress);
        QFETCH(int, rows);
        // The start-up search answers a terminal and a failure; both are
        // still on their way when the next search starts.
        tesselsim::scriptReplies("tsSearchTerminalAsync", {{0, searchReply("OLD", "旧")}, {9, "旧的失败"}});
        ModalCloser closer;
        DemoGUI window;
        if (oneAddress) {
            window.findChild<QPushButton*>("pushButton_2")->click();
            dialogWidget<QLineEdit>("ipLineEdit")->setText(R"({"ip":"192.168.1.23"})");
            dialogWidget<QPushButton>("ipOkButton")->click();
        } else {
            window.findChild<QPushButton*>("pushButton")->click();
        }
        QTRY_COMPARE(window.nextTableRow(), rows);
        QVERIFY(tesselsim::waitIdle());
        QCoreApplication::processEvents();
        QCOMPARE(window.nextTableRow(), rows);
        for (const tsc::SearchResponseData& terminal : window.terminalList())
            QVERIFY(terminal.sn != "OLD");
        if (oneAddress)
            QCOMPARE(tableOf(window)->item(0, 2)->text(), QString("192.168.1.23"));
        QVERIFY(closer.seen.isEmpty());
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
