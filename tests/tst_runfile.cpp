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
    void unusualLines_data();
    void unusualLines();
    void fileIsStreamedAndChecked();
    void longLinesAcrossReads();
    void lineOverTheCap_data();
    void lineOverTheCap();
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
    row("code negative", R"j({"operation":"a()","request":"","results":[{"code":-1}]})j", 1,
        "\"code\" must be a whole number from 0 to 65535");
    row("code a fraction", R"j({"operation":"a()","request":"","results":[{"code":1.0}]})j", 1,
        "\"code\" must be a whole number from 0 to 65535");
    row("ms a fraction", R"j({"operation":"a()","request":"","results":[{"code":0,"ms":1.5}]})j", 1,
        "\"ms\" must be a whole number");
    row("result a text", R"j({"operation":"a()","request":"","results":["x"]})j", 1,
        "result 1 must be an object");
    row("empty operation", R"j({"operation":"","request":""})j", 1, "\"operation\" must be");
    row("number beyond a double", R"j({"operation":"a()","request":"","results":[{"code":0,"ms":1e999}]})j",
        1, "not JSON: number overflow");
    row("leading zero", R"j({"operation":"a()","request":"","results":[{"code":01}]})j", 53, "not JSON");
    row("control character", "{\"operation\":\"a()\",\"request\":\"a\tb\"}", 32, "not JSON");
    row("overlong UTF-8", "{\"operation\":\"a()\",\"request\":\"\xC0\x80\"}", 31, "not JSON");
    row("surrogate in UTF-8", "{\"operation\":\"a()\",\"request\":\"\xED\xA0\x80\"}", 32, "not JSON");
    row("lone surrogate escape", R"j({"operation":"a()","request":"\uD800"})j", 37, "not JSON");
    row("member twice", R"j({"operation":"a()","operation":"b()","request":""})j", 1,
        "member \"operation\" given twice");
    row("result member twice", R"j({"operation":"a()","request":"","results":[{"code":0,"code":1}]})j", 1,
        "member \"code\" given twice");
    // A checklist's members: the column is where the member's value stands.
    row("expect a number", R"j({"operation":"a()","request":"","expect":3})j", 42,
        "\"expect\" must be a JSON object or list");
    row("expect a text not JSON", R"j({"operation":"a()","request":"","expect":"{\"a\":}"})j", 42,
        "\"expect\" is a text that is not JSON");
    row("expect a text of a number", R"j({"operation":"a()","request":"","expect":"3"})j", 42,
        "\"expect\" must be a JSON object or list");
    row("expect text member twice", R"j({"operation":"a()","request":"","expect":"{\"a\":1,\"a\":2}"})j", 42,
        "member \"a\" given twice");
    QTest::newRow("expect a text too deep to write back")
        << R"j({"operation":"a()","request":"","expect":")j" + QByteArray(256, '[') + QByteArray(256, ']') +
               "\"}"
        << 42 << QString("nested deeper than 255 levels");
    row("expectCode a fraction", R"j({"operation":"a()","request":"","expect":{},"expectCode":1.5})j", 58,
        "\"expectCode\" must be a whole number from 0 to 65535");
    row("expectCode without expect", R"j({"operation":"a()","request":"","expectCode":1003})j", 46,
        "\"expectCode\" needs an \"expect\"");
    row("capture not an object", R"j({"operation":"a()","request":"","capture":["v"]})j", 43,
        "\"capture\" must be an object");
    row("capture not a variable", R"j({"operation":"a()","request":"","capture":{"1x":"a"}})j", 43,
        "capture \"1x\": not a variable name");
    row("capture not a dotted path", R"j({"operation":"a()","request":"","capture":{"v":"a..b"}})j", 43,
        "capture \"v\" must be a dotted path");
    row("until without expect", R"j({"operation":"a()","request":"","until":{"tries":3,"every":10}})j", 41,
        "\"until\" needs an \"expect\"");
    row("until no tries", R"j({"operation":"a()","request":"","expect":{},"until":{"tries":0,"every":10}})j",
        53, "\"tries\" must be a whole number from 1 to 1000");
    row("until waits too long",
        R"j({"operation":"a()","request":"","expect":{},"until":{"every":3600001,"tries":2}})j", 53,
        "\"every\" must be a whole number from 0 to 3600000");
    row("until other member", R"j({"operation":"a()","request":"","expect":{},"until":{"tries":2,"x":1}})j",
        53, "unknown member \"x\"");
    row("until lacks every", R"j({"operation":"a()","request":"","expect":{},"until":{"tries":2}})j", 53,
        "lacks \"every\"");
}

// Lines beside the usual shape read as their members say.
void TestRunFile::unusualLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<qint64>("lastMs");
    QTest::addColumn<int>("ignored");
    QTest::addColumn<QString>("checks"); // a checklist's members, as checksOf gives them
    const auto row = [](const char* tag, const char* line, const char* operation, const char* request,
                        QList<int> codes, qint64 lastMs, int ignored, const char* checks = "") {
        QTest::newRow(tag) << QByteArray(line) << QString(operation) << QString(request) << codes << lastMs
                           << ignored << QString(checks);
    };
    row("all members",
        R"j({"time":"t","sn":"B1","batch":"b","operation":"a()","request":"{}",)j"
        R"j("results":[{"code":0,"ms":12,"reply":"{}"},)j"
        R"j({"code":65535,"ms":-3,"reply":"x"}],"ignore":["a","b.c"]})j",
        "a()", "{}", {0, 65535}, -3, 2);
    row("request an object", R"j({"operation":"a()","request":{"n":1.5}})j", "a()", R"({"n":1.5})", {}, 0, 0);
    row("ms past 32 bits", R"j({"operation":"a()","request":"","results":[{"ms":5000000000,"code":7}]})j",
        "a()", "", {7}, 5000000000, 0);
    row("reply an object",
        R"j({"operation":"a()","request":"","batch":"b","results":[{"code":1,"reply":{"k":true}}]})j", "a()",
        "", {1}, 0, 0);
    row("escapes and blanks", " {\t\"operation\" : \"a()\" ,\r\n\"request\":\"a\\\"b\\\\c\\/d\\te\" } ",
        "a()", "a\"b\\c/d\te", {}, 0, 0);
    row("beyond ASCII", R"j({"operation":"音量()","request":"\u00e9","results":[{"code":-0}]})j", "音量()",
        "é", {0}, 0, 0);
    row("checklist members",
        R"j({"operation":"a()","request":"{}","expect":{"w":1920,"a":[true]},"expectCode":3,)j"
        R"j("capture":{"ver":"status.version","n0":"list.0.name"},"until":{"tries":5,"every":0}})j",
        "a()", "{}", {}, 0, 0,
        R"(expect {"w":1920,"a":[true]} code 3 capture ver=status.version,n0=list.0.name until 5/0)");
    row("expect a text, with results",
        R"j({"operation":"a()","request":"","expect":" [ {\"v\": \"{{ver}}\"} ] ",)j"
        R"j("results":[{"code":0}],"capture":{}})j",
        "a()", "", {0}, 0, 0, R"(expect [{"v":"{{ver}}"}] code 0)");
}

namespace {

QString checksOf(const tessel::RunLine& line)
{
    QStringList captures;
    for (const auto& [name, path] : line.capture)
        captures << QString::fromStdString(name + "=" + path);
    QString checks;
    if (line.expect)
        checks = QString("expect %1 code %2").arg(line.expect->c_str()).arg(line.expectCode);
    if (!captures.isEmpty())
        checks += " capture " + captures.join(',');
    if (line.untilTries > 0)
        checks += QString(" until %1/%2").arg(line.untilTries).arg(line.untilEveryMs);
    return checks;
}

} // namespace

void TestRunFile::unusualLines()
{
    QFETCH(QByteArray, line);
    tessel::RunFileFault fault;
    const auto parsed = tessel::parseRunLine(line.toStdString(), fault);
    QVERIFY2(parsed, fault.message.c_str());
    QTEST(QString::fromStdString(parsed->operation), "operation");
    QTEST(QString::fromStdString(parsed->request), "request");
    QList<int> codes;
    for (const tessel::ResultRecord& result : parsed->results)
        codes << result.code;
    QTEST(codes, "codes");
    QTEST(parsed->results.empty() ? qint64(0) : parsed->results.back().ms, "lastMs");
    QTEST(int(parsed->ignore.size()), "ignored");
    QTEST(checksOf(*parsed), "checks");
    // Recorded, the line keeps its checks.
    const std::string written = tessel::runFileLine(*parsed, parsed->request, parsed->results, 0);
    const auto again = tessel::parseRunLine(std::string_view(written).substr(0, written.size() - 1), fault);
    QVERIFY2(again, fault.message.c_str());
    QTEST(checksOf(*again), "checks");
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

// The file is read in pieces; a line longer than a piece, or cut between two,
// comes whole.
void TestRunFile::longLinesAcrossReads()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("long.jsonl");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const std::vector<int> sizes{10, 150000, 65000, 3};
    for (const int size : sizes)
        file.write("{\"operation\":\"a()\",\"request\":\"" + QByteArray(size, 'x') + "\"}\r\n");
    file.close();
    tessel::RunFileReader reader;
    std::string error;
    QVERIFY(reader.open(path, error));
    tessel::RunLine line;
    tessel::RunFileFault fault;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        QCOMPARE(reader.next(line, fault), tessel::RunFileReader::Step::Line);
        QCOMPARE(line.request, std::string(std::size_t(sizes[i]), 'x'));
        QCOMPARE(line.lineNumber, qint64(i + 1));
    }
    QCOMPARE(reader.next(line, fault), tessel::RunFileReader::Step::End);
}

void TestRunFile::lineOverTheCap_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: /dev/zero, a file without line ends
    QTest::addColumn<int>("lines");          // read before the fault
    const auto line = [](int bytes) {
        return "{\"operation\":\"a()\",\"request\":\"" + QByteArray(bytes - 32, 'x') + "\"}";
    };
    QTest::newRow("with its line end") << line(10) + "\n" + line(1001) + "\n" + line(10) << 1;
    QTest::newRow("at the cap, then past it without a line end")
        << line(1000) + "\r\n" + line(10) + "\n" + QByteArray(300000, ' ') << 2;
    QTest::newRow("/dev/zero") << QByteArray() << 0;
}

// A line longer than the cap is refused, without reading much past the cap.
void TestRunFile::lineOverTheCap()
{
    QFETCH(QByteArray, content);
    QFETCH(int, lines);
    QTemporaryDir dir;
    QString path = "/dev/zero";
    if (!content.isEmpty()) {
        path = dir.filePath("long.jsonl");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    tessel::RunFileReader reader;
    reader.setLongestLine(1000);
    std::string error;
    QVERIFY2(reader.open(path, error), error.c_str());
    tessel::RunLine line;
    tessel::RunFileFault fault;
    for (int i = 0; i < lines; ++i)
        QCOMPARE(reader.next(line, fault), tessel::RunFileReader::Step::Line);
    QCOMPARE(reader.next(line, fault), tessel::RunFileReader::Step::Fault);
    QCOMPARE(QString::fromStdString(fault.text()),
             QString("line %1, column 1: the line is longer than 1000 bytes").arg(lines + 1));
}

QTEST_APPLESS_MAIN(TestRunFile)
#include "tst_runfile.moc"
