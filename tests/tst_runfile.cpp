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
    void handWrittenLine();
    void exportedLineRoundTrip();
    void fileIsStreamedAndChecked();
    void unreadableFile();
};

void TestRunFile::damagedLine_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("message");
    QTest::newRow("cut short") << QByteArray(R"j({"operation":"getVolume()","request":)j") << 38
                               << "not JSON";
    QTest::newRow("column in characters") << QByteArray("{\"operation\":\"音量\" x") << 19 << "not JSON";
    QTest::newRow("bad UTF-8") << QByteArray("{\"operation\":\"\xff\"}") << 15 << "not JSON";
    QTest::newRow("not an object") << QByteArray("[1,2]") << 1 << "must be a JSON object";
    QTest::newRow("no operation") << QByteArray(R"({"request":"{}"})") << 1 << "\"operation\" is missing";
    QTest::newRow("no request") << QByteArray(R"j({"operation":"getVolume()"})j") << 1
                                << "\"request\" is missing";
    QTest::newRow("operation not a text")
        << QByteArray(R"({"operation":3,"request":""})") << 1 << "\"operation\" must be";
    QTest::newRow("request a number")
        << QByteArray(R"j({"operation":"a()","request":3})j") << 1 << "\"request\" must be";
    QTest::newRow("misspelt member") << QByteArray(R"j({"operation":"a()","request":"","ignroe":[]})j") << 1
                                     << "unknown member \"ignroe\"";
    QTest::newRow("results not a list") << QByteArray(R"j({"operation":"a()","request":"","results":{}})j")
                                        << 1 << "\"results\" must be a list";
    QTest::newRow("result without code")
        << QByteArray(R"j({"operation":"a()","request":"","results":[{"reply":""}]})j") << 1
        << "result 1 lacks member \"code\"";
    QTest::newRow("code out of range")
        << QByteArray(R"j({"operation":"a()","request":"","results":[{"code":70000}]})j") << 1
        << "\"code\" must be a whole number from 0 to 65535";
    QTest::newRow("ignore not texts") << QByteArray(R"j({"operation":"a()","request":"","ignore":[1]})j") << 1
                                      << "\"ignore\" must be a list of texts";
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

void TestRunFile::handWrittenLine()
{
    tessel::RunFileFault fault;
    const auto line =
        tessel::parseRunLine(R"j({"operation":"getVolume()","request":{"sn":"B1"},"ignore":["time"],)j"
                             R"("results":[{"code":0,"reply":{"ratio":50.0}}]})",
                             fault);
    QVERIFY2(line, fault.message.c_str());
    QCOMPARE(line->request, std::string(R"({"sn":"B1"})"));
    QCOMPARE(line->results.size(), std::size_t(1));
    QCOMPARE(line->results[0].reply, std::string(R"({"ratio":50.0})"));
    QCOMPARE(line->ignore, std::vector<std::string>{"time"});
}

// The history's export is a run file as it stands, and a run line written
// back reads the same.
void TestRunFile::exportedLineRoundTrip()
{
    tessel::HistoryEntry entry;
    entry.sentAtMs = 1700000000000;
    entry.serial = "B1";
    entry.operation = "getVolume()";
    entry.request = R"({"sn":"B1"})";
    entry.results = {{0, 12, R"({"ratio":50.0})"}, {1003, 13, "不是\n\"JSON\""}};
    const QByteArray exported = tessel::historyExportLine(entry).trimmed();
    tessel::RunFileFault fault;
    const auto line = tessel::parseRunLine(exported.toStdString(), fault);
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
    QCOMPARE(again->results[1].reply, line->results[1].reply);
}

void TestRunFile::fileIsStreamedAndChecked()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("run.jsonl");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\xEF\xBB\xBF{\"operation\":\"a()\",\"request\":{\"sn\":\"B1\"}}\r\n"
               "\n   \n"
               "{\"operation\":\"b()\",\"request\":{\"sn\":\"B2\"}}\n"
               "{\"operation\":\"c()\",\"request\":{\"sn\":\"B1\"}}"); // no final line end
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
    QCOMPARE(reader.next(line, fault), tessel::RunFileReader::Step::Line);
    QCOMPARE(line.lineNumber, qint64(1));
    QCOMPARE(reader.next(line, fault), tessel::RunFileReader::Step::Line);
    QCOMPARE(line.lineNumber, qint64(4));
    QCOMPARE(reader.next(line, fault), tessel::RunFileReader::Step::Line);
    QCOMPARE(line.operation, std::string("c()"));
    QCOMPARE(reader.next(line, fault), tessel::RunFileReader::Step::End);

    QVERIFY(file.open(QIODevice::Append));
    file.write("\n{\"operation\":\"d()\",\"request\":\"\"}\n{\"operation\":\"e()\",\"request\":\"\",}\n");
    file.close();
    check = tessel::checkRunFile(path);
    QVERIFY(!check.ok());
    QCOMPARE(check.fault->line, qint64(7));
    QCOMPARE(check.fault->column, 33);
    QVERIFY(QString::fromStdString(check.fault->text()).startsWith("line 7, column 33: not JSON"));
}

void TestRunFile::unreadableFile()
{
    QTemporaryDir dir;
    QVERIFY(!tessel::checkRunFile(dir.filePath("missing.jsonl")).openError.empty());
    QVERIFY(!tessel::checkRunFile(dir.path()).ok()); // a folder
}

QTEST_APPLESS_MAIN(TestRunFile)
#include "tst_runfile.moc"
