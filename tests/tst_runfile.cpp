// Run files: reading lines (also damaged ones, with their line and column),
// streaming a file, and the lines written back.
#include "history/historyentry.h"
#include "history/historyfile.h"
#include "replay/runfile.h"

#include <QTemporaryDir>
#include <QtTest>

class TestRunFile : public QObject
{
    Q_OBJECT

private slots:
    void damagedLine_data();
    void damagedLine();
    void goodLines();
    void fileIsStreamedAndChecked();
};

void TestRunFile::damagedLine_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("message");
    const auto row = [](const char* tag, const char* line, int column, const char* message) {
        QTest::newRow(tag) << QByteArray(line) << column << QString(message);
    };
    row("cut short", R"j({"operation":"getVolume()","request":)j", 38, "not JSON");
    row("column in characters", "{\"operation\":\"音量\" x", 19, "not JSON");
    row("bad UTF-8", "{\"operation\":\"\xff\"}", 15, "not JSON");
    row("not an object", "[1,2]", 1, "must be a JSON object");
    row("no operation", R"({"request":"{}"})", 1, "\"operation\" is missing");
    row("no request", R"j({"operation":"getVolume()"})j", 1, "\"request\" is missing");
    row("operation not a text", R"({"operation":3,"request":""})", 1, "\"operation\" must be");
    row("request a number", R"j({"operation":"a()","request":3})j", 1, "\"request\" must be");
    row("misspelt member", R"j({"operation":"a()","request":"","ignroe":[]})j", 1,
        "unknown member \"ignroe\"");
    row("results not a list", R"j({"operation":"a()","request":"","results":{}})j", 1,
        "\"results\" must be a list");
    row("result without code", R"j({"operation":"a()","request":"","results":[{"reply":""}]})j", 1,
        "result 1 lacks member \"code\"");
    row("code out of range", R"j({"operation":"a()","request":"","results":[{"code":70000}]})j", 1,
        "\"code\" must be a whole number from 0 to 65535");
    row("ignore not texts", R"j({"operation":"a()","request":"","ignore":[1]})j", 1,
        "\"ignore\" must be a list of texts");
}

void TestRunFile::damagedLine()
{
    QFETCH(QByteArray, line);
    QFETCH(int, column);
    QFETCH(QString, message);
    tessel::RunFileFault fault;
    QVERIFY(!tessel::parseRunLine(line.toStdString(), fault));
    QCOMPARE(fault.column, column);
    QVERIFY2(QString::fromStdString(fault.message).contains(message), fault.message.c_str());
}

// A line written by hand keeps its texts as written; the history's export is
// a run file as it stands; and a run line written back reads the same.
void TestRunFile::goodLines()
{
    tessel::RunFileFault fault;
    const auto hand =
        tessel::parseRunLine(R"j({"operation":"getVolume()","request":{"sn":"B1"},"ignore":["time"],)j"
                             R"("results":[{"code":0,"reply":{"ratio":50.0}}]})",
                             fault);
    QVERIFY2(hand, fault.message.c_str());
    QCOMPARE(hand->request, std::string(R"({"sn":"B1"})"));
    QCOMPARE(hand->results.at(0).reply, std::string(R"({"ratio":50.0})"));
    QCOMPARE(hand->ignore, std::vector<std::string>{"time"});

    tessel::HistoryEntry entry;
    entry.sentAtMs = 1700000000000;
    entry.serial = "B1";
    entry.operation = "getVolume()";
    entry.request = R"({"sn":"B1"})";
    entry.results = {{0, 12, R"({"ratio":50.0})"}, {1003, 13, "不是\n\"JSON\""}};
    const auto line = tessel::parseRunLine(tessel::historyExportLine(entry).trimmed().toStdString(), fault);
    QVERIFY2(line, fault.message.c_str());
    QCOMPARE(line->operation, std::string("getVolume()"));
    QCOMPARE(line->results.size(), std::size_t(2));
    QCOMPARE(line->results[1].reply, std::string("不是\n\"JSON\""));
    QCOMPARE(line->results[1].ms, qint64(13));

    const tessel::RunLine fromHistory = tessel::runLineOf(entry);
    const std::string written = tessel::runFileLine(fromHistory, fromHistory.request, fromHistory.results, 0);
    QVERIFY(written.back() == '\n');
    const auto again = tessel::parseRunLine(std::string_view(written).substr(0, written.size() - 1), fault);
    QVERIFY2(again, fault.message.c_str());
    QCOMPARE(again->request, line->request);
    QCOMPARE(again->results.at(1).reply, line->results[1].reply);
}

void TestRunFile::fileIsStreamedAndChecked()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("run.jsonl");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\xEF\xBB\xBF{\"operation\":\"a()\",\"request\":{\"sn\":\"B1\"}}\r\n\n   \n"
               "{\"operation\":\"b()\",\"request\":{\"sn\":\"B2\"}}\n"
               "{\"operation\":\"c()\",\"request\":{\"sn\":\"B1\"}}");
    file.close();

    tessel::RunFileCheck check = tessel::checkRunFile(path);
    QVERIFY(check.ok());
    QCOMPARE(check.requests, qint64(3));
    QCOMPARE(check.serials, (std::vector<std::string>{"B1", "B2"}));

    tessel::RunFileReader reader;
    std::string error;
    QVERIFY(reader.open(path, error));
    tessel::RunLine line;
    tessel::RunFileFault fault;
    QList<qint64> numbers;
    while (reader.next(line, fault) == tessel::RunFileReader::Step::Line)
        numbers << line.lineNumber;
    QCOMPARE(numbers, (QList<qint64>{1, 4, 5}));
    QCOMPARE(reader.next(line, fault), tessel::RunFileReader::Step::End);

    QVERIFY(file.open(QIODevice::Append));
    file.write("\n{\"operation\":\"d()\",\"request\":\"\"}\n{\"operation\":\"e()\",\"request\":\"\",}\n");
    file.close();
    check = tessel::checkRunFile(path);
    QVERIFY(!check.ok());
    QVERIFY(QString::fromStdString(check.fault->text()).startsWith("line 7, column 33: not JSON"));

    QVERIFY(!tessel::checkRunFile(dir.filePath("missing.jsonl")).openError.empty());
    QVERIFY(!tessel::checkRunFile(dir.path()).ok()); // a folder
}

QTEST_APPLESS_MAIN(TestRunFile)
#include "tst_runfile.moc"
