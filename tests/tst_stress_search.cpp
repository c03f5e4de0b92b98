// The search reply path under load: thousands of replies into the table,
// new searches started while replies of earlier ones still arrive, and
// replies or typed texts that are broken or blank.
#include "mainwindow/demogui.h"
#include "simulator/simulator.h"
#include "testsupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

std::string searchReply(const std::string& sn, const std::string& name, const std::string& ip, int width,
                        int height)
{
    return nlohmann::json{{"sn", sn}, {"name", name}, {"ip", ip}, {"width", width}, {"height", height}}
        .dump();
}

QString cell(QTableWidget* table, int row, int column)
{
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString("<none>");
}

// Row i shows terminals[i], nextRow is the list's size, no row beyond it is
// filled. Empty when that holds, else what is wrong.
QString inconsistency(DemoGUI& window)
{
    QTableWidget* table = tableOf(window);
    const auto& terminals = window.terminalList();
    if (window.nextTableRow() != int(terminals.size()))
        return QString("nextRow %1, %2 terminals").arg(window.nextTableRow()).arg(terminals.size());
    for (int row = 0; row < table->rowCount(); ++row) {
        if (row >= int(terminals.size())) {
            for (int column = 0; column < table->columnCount(); ++column)
                if (table->item(row, column))
                    return QString("row %1 filled beyond the list").arg(row);
            continue;
        }
        const tsc::SearchResponseData& terminal = terminals[std::size_t(row)];
        if (cell(table, row, 0) != QString::fromStdString(terminal.name) ||
            cell(table, row, 2) != QString::fromStdString(terminal.ip) ||
            cell(table, row, 3) != QString("%1*%2").arg(terminal.width).arg(terminal.height))
            return QString("row %1 shows %2, not %3")
                .arg(row)
                .arg(cell(table, row, 0))
                .arg(terminal.name.c_str());
    }
    return {};
}

} // namespace

class TestStressSearch : public QObject
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
        QVERIFY(tesselsim::waitIdle(30s));
        tesselsim::reset();
        QVERIFY(visibleTopLevels().isEmpty());
    }

    void tenThousandRepliesFillTheTableInOrder();
    void searchesRestartWhileRepliesArrive();
    void manyFailureReplies();
    void brokenReplies_data();
    void brokenReplies();
    void blankAddresses_data();
    void blankAddresses();
};

void TestStressSearch::tenThousandRepliesFillTheTableInOrder()
{
    constexpr int count = 10000;
    std::vector<tesselsim::Reply> replies;
    for (int i = 0; i < count; ++i)
        replies.push_back({0, searchReply("SN" + std::to_string(i), "终端" + std::to_string(i),
                                          "10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256),
                                          i % 32768, -i)});
    tesselsim::setFleet({});
    tesselsim::scriptReplies("tsSearchTerminalAsync", std::move(replies));
    DemoGUI window; // its start-up search gets the replies
    QTRY_COMPARE_WITH_TIMEOUT(window.nextTableRow(), count, 60000);
    QVERIFY(tesselsim::waitIdle());
    QCoreApplication::processEvents();

    QTableWidget* table = tableOf(window);
    QCOMPARE(table->rowCount(), count);
    QCOMPARE(int(window.terminalList().size()), count);
    for (int row = 0; row < count; ++row) {
        QCOMPARE(cell(table, row, 0), QString("终端%1").arg(row));
        QCOMPARE(cell(table, row, 3), QString("%1*%2").arg(row % 32768).arg(-row));
        QCOMPARE(window.terminalList()[std::size_t(row)].sn, "SN" + std::to_string(row));
    }
    QCOMPARE(inconsistency(window), QString());
}

void TestStressSearch::searchesRestartWhileRepliesArrive()
{
    // A thread of the test's own keeps answering the start-up search while
    // broadcast, one-address and range searches start anew: each result set
    // keeps only the replies of its own search.
    std::vector<tesselsim::Terminal> fleet;
    for (int i = 1; i <= 40; ++i) {
        tesselsim::Terminal terminal;
        terminal.sn = "F" + std::to_string(i);
        terminal.name = "屏" + std::to_string(i);
        terminal.ip = "192.168.7." + std::to_string(i);
        terminal.width = std::int16_t(i);
        terminal.height = std::int16_t(2 * i);
        fleet.push_back(terminal);
    }
    tesselsim::setFleet(fleet);
    tesselsim::holdNextCallback("tsSearchTerminalAsync");
    DemoGUI window;
    const ResultCallback early = tesselsim::takeHeldCallback();
    QVERIFY(early);

    QObject context; // its queued calls go with it
    std::atomic<int> delivered{0};
    int inconsistent = 0;
    QString firstFault;
    // Queued after slotSerch's own connection (the signal is emitted on the
    // GUI thread), so it sees each reply added.
    connect(
        &window, &DemoGUI::signalSerch, &context,
        [&] {
            ++delivered;
            const QString fault = inconsistency(window);
            if (!fault.isEmpty() && inconsistent++ == 0)
                firstFault = fault;
        },
        Qt::QueuedConnection);

    constexpr int earlyReplies = 3000;
    std::atomic<int> sent{0};
    std::thread answering([&] {
        for (int i = 0; i < earlyReplies;) {
            if (sent - delivered > 100) { // keep the GUI thread's queue short
                std::this_thread::yield();
                continue;
            }
            const std::string reply = searchReply("E" + std::to_string(i), "早" + std::to_string(i),
                                                  "192.168.9." + std::to_string(i % 256), i % 100, 1);
            early(0, reply.c_str());
            ++sent;
            ++i;
        }
    });

    int deliveredAtLastStart = 0;
    auto start = [&](const char* button, const char* field1 = nullptr, const char* text1 = nullptr,
                     const char* field2 = nullptr, const char* text2 = nullptr) {
        window.findChild<QPushButton*>(button)->click();
        if (field1)
            dialogWidget<QLineEdit>(field1)->setText(text1);
        if (field2)
            dialogWidget<QLineEdit>(field2)->setText(text2);
        deliveredAtLastStart = delivered;
        if (field1)
            dialogWidget<QPushButton>(field2 ? "rangeOkButton" : "ipOkButton")->click();
        QCOMPARE(window.nextTableRow(), 0);
    };
    QTRY_VERIFY_WITH_TIMEOUT(delivered >= 500, 30000);
    start("pushButton");
    QTRY_VERIFY_WITH_TIMEOUT(delivered >= 1000, 30000);
    start("pushButton_2", "ipLineEdit", R"({"ip":"192.168.7.5"})");
    QTRY_VERIFY_WITH_TIMEOUT(delivered >= 1500, 30000);
    start("specifyRangeIpButton", "startIpLineEdit", "192.168.7.10", "endIpLineEdit", "192.168.7.29");
    QTRY_VERIFY_WITH_TIMEOUT(delivered >= 2000, 30000);
    start("pushButton");
    start("pushButton"); // twice in a row

    QTRY_COMPARE_WITH_TIMEOUT(sent.load(), earlyReplies, 30000); // it needs the event loop running
    answering.join();
    QVERIFY(tesselsim::waitIdle());
    const int expected = earlyReplies + 40 + 1 + 20 + 40 + 40;
    QTRY_COMPARE_WITH_TIMEOUT(delivered.load(), expected, 30000);
    QCOMPARE(inconsistent, 0);
    QCOMPARE(firstFault, QString());
    QCOMPARE(inconsistency(window), QString());
    QVERIFY(deliveredAtLastStart > 0);
    QCOMPARE(window.nextTableRow(), 40); // the last broadcast's own
    for (const tsc::SearchResponseData& terminal : window.terminalList())
        QCOMPARE(terminal.sn.front(), 'F');
}

void TestStressSearch::manyFailureReplies()
{
    // Every failure reply gets its warning and no row, and no warning waits
    // inside the one before: nested, a few hundred would exhaust a stack.
    constexpr int failures = 300;
    std::vector<tesselsim::Reply> replies;
    for (int i = 0; i < failures; ++i)
        replies.push_back({9, "终端 " + std::to_string(i) + " 无应答"});
    replies.push_back({0, searchReply("A", "甲", "192.168.1.2", 1, 1)});
    tesselsim::setFleet({});
    tesselsim::scriptReplies("tsSearchTerminalAsync", std::move(replies));
    ModalCloser closer;
    DemoGUI window;
    QObject context; // its queued calls go with it
    int deepestLoop = 0;
    connect(&window, &DemoGUI::signalSerch, &context,
            [&] { deepestLoop = std::max(deepestLoop, QThread::currentThread()->loopLevel()); });
    QTRY_COMPARE_WITH_TIMEOUT(closer.seen.size(), failures, 30000);
    QTRY_COMPARE(window.nextTableRow(), 1);
    QVERIFY2(deepestLoop <= 1, qPrintable(QString::number(deepestLoop)));
    QStringList texts;
    for (const ModalCloser::Seen& seen : closer.seen) {
        QCOMPARE(seen.title, QString("警告"));
        texts << seen.text;
    }
    QStringList expected;
    for (int i = 0; i < failures; ++i)
        expected << QString("终端 %1 无应答").arg(i);
    texts.sort();
    expected.sort();
    QCOMPARE(texts, expected); // the closer finds them in no particular order
}

void TestStressSearch::brokenReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("ip"); // both empty: not a record, no row
    QTest::newRow("bad bytes in the name")
        << QByteArray("{\"sn\":\"A\",\"name\":\"\xff\xfe\xe5\xb1\x8f\",\"ip\":\"192.168.1.9\"}")
        << QString(QChar(0xFFFD)) + QChar(0xFFFD) + "屏"
        << "192.168.1.9";
    QTest::newRow("character cut at the end of a member")
        << QByteArray("{\"sn\":\"A\",\"name\":\"\xe5\xb1\",\"ip\":\"1.2.3.4\"}")
        << QString(QChar(0xFFFD)) + QChar(0xFFFD) << "1.2.3.4";
    QTest::newRow("bad bytes outside the JSON text")
        << QByteArray("\xff{\"sn\":\"A\",\"name\":\"n\"}") << QString() << QString();
    QTest::newRow("blank") << QByteArray(" \t\r\n") << QString() << QString();
}

void TestStressSearch::brokenReplies()
{
    // Bad bytes show as replacement characters and spoil nothing else; a
    // reply that is no record at all adds no row.
    QFETCH(QByteArray, reply);
    QFETCH(QString, name);
    QFETCH(QString, ip);
    tesselsim::setFleet({});
    tesselsim::scriptReplies("tsSearchTerminalAsync",
                             {{0, reply.toStdString()}, {0, searchReply("B", "乙", "192.168.1.2", 8, 4)}});
    const bool listed = !name.isEmpty() || !ip.isEmpty();
    const int rows = listed ? 2 : 1;
    DemoGUI window;
    QTRY_COMPARE(window.nextTableRow(), rows);
    QVERIFY(tesselsim::waitIdle());
    QCoreApplication::processEvents();
    QCOMPARE(window.nextTableRow(), rows);
    QTableWidget* table = tableOf(window);
    if (listed) {
        QCOMPARE(cell(table, 0, 0), name);
        QCOMPARE(cell(table, 0, 2), ip);
    }
    QCOMPARE(cell(table, rows - 1, 0), QString("乙"));
    QCOMPARE(cell(table, rows - 1, 3), QString("8*4"));
    QCOMPARE(inconsistency(window), QString());
}

void TestStressSearch::blankAddresses_data()
{
    QTest::addColumn<QString>("start"); // empty: the one-address dialog
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("message");
    const QString noIp = "没有输入ip,请输入ip:";
    QTest::newRow("one address, blanks") << QString() << "   " << noIp;
    QTest::newRow("one address, tab and line end") << QString() << "\t\r\n" << noIp;
    QTest::newRow("one address, record of blanks") << QString() << R"({"ip":"  "})"
                                                   << "指定IP中没有IP地址,请重新输入:";
    QTest::newRow("range of blanks") << " "
                                     << "  "
                                     << "没有输入起始ip,请输入起始ip:";
    QTest::newRow("one address, bad UTF-16")
        << QString() << QString(QChar(0xD800))
        << "指定IP不是IPv4地址:应为以\".\"分隔的四个0到255的数字(如192.168.1.10),输入的是1段,请重新输入:";
}

void TestStressSearch::blankAddresses()
{
    // Texts that are not empty but hold no address are refused before the
    // list is emptied or anything is sent.
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, message);
    DemoGUI window;
    const int listed = int(tesselsim::fleet().size());
    QTRY_COMPARE(window.nextTableRow(), listed);
    const std::size_t callsBefore = tesselsim::calls().size();
    ModalCloser closer;
    if (start.isEmpty()) {
        window.findChild<QPushButton*>("pushButton_2")->click();
        dialogWidget<QLineEdit>("ipLineEdit")->setText(end);
        dialogWidget<QPushButton>("ipOkButton")->click();
    } else {
        window.findChild<QPushButton*>("specifyRangeIpButton")->click();
        dialogWidget<QLineEdit>("startIpLineEdit")->setText(start);
        dialogWidget<QLineEdit>("endIpLineEdit")->setText(end);
        dialogWidget<QPushButton>("rangeOkButton")->click();
    }
    QCOMPARE(closer.seen.size(), 1);
    QCOMPARE(closer.seen[0].title, QString("提示"));
    QCOMPARE(closer.seen[0].text, message);
    QCOMPARE(tesselsim::calls().size(), callsBefore);
    QCOMPARE(window.nextTableRow(), listed);
    QCOMPARE(inconsistency(window), QString());
    closeAllTopLevels();
}

QTEST_MAIN(TestStressSearch)
#include "tst_stress_search.moc"
