// tessel-run as a whole, in process: its arguments, exit codes, the JUnit
// report, --record, damaged run files and Ctrl+C.
#include "history/historyfile.h"
#include "run/runarguments.h"
#include "run/runtool.h"
#include "simulator/simulator.h"

#include <nlohmann/json.hpp>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <cstdio>

using namespace std::chrono_literals;

namespace {

// One run-file line; with a reply, that is the one result recorded.
QByteArray runLine(const char* operation, const char* sn, const char* reply = nullptr)
{
    nlohmann::json line{{"operation", operation}, {"request", nlohmann::json{{"sn", sn}}.dump()}};
    if (reply)
        line["results"] = nlohmann::json::array({{{"code", 0}, {"reply", reply}}});
    return QByteArray::fromStdString(line.dump());
}

// getVolume() of the terminal a host is logged in to answers {"ratio":50.0}.
const QByteArray volumeSame = runLine("getVolume()", "BZWA17422J1X20000093", "{\"ratio\":50}");
const QByteArray volumeDifferent = runLine("getVolume()", "BZWA17422J1X20000093", "{\"ratio\":51}");
const QByteArray unknownOperation = R"({"operation":"待开发","request":"{}"})";

// A send of a batch as the history's export writes it, its reply cut if asked.
QByteArray exportedBatchSend(qint64 cutReplyTo = 0)
{
    tessel::HistoryEntry entry;
    entry.sentAtMs = 1700000000000;
    entry.serial = "BZWA17422J1X20000093";
    entry.operation = "getVolume()";
    entry.request = R"({"sn":"BZWA17422J1X20000093"})";
    entry.batch = "batch-1";
    entry.results = {{0, 3, R"({"ratio":50})"}};
    if (cutReplyTo > 0)
        tessel::limitReply(entry.results.front(), cutReplyTo);
    return tessel::historyExportLine(entry).trimmed();
}

QString readAll(std::FILE* file)
{
    std::fflush(file);
    std::rewind(file);
    QFile in;
    in.open(file, QIODevice::ReadOnly);
    return QString::fromUtf8(in.readAll());
}

QStringList words(const char* text)
{
    return QString(text).split(' ', Qt::SkipEmptyParts);
}

} // namespace

class TestRunTool : public QObject
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
        QVERIFY(tesselsim::waitIdle());
        tesselsim::reset();
    }
    void arguments_data();
    void arguments();
    void exitCodes_data();
    void exitCodes();
    void junitReport();
    void recordThenReplay();
    void cutReplyNoted();
    void interruptReportsWhatFinished();

private:
    QString write(const QString& name, const QByteArrayList& lines);
    // Runs tessel-run with these arguments; its exit code, stdout then stderr.
    void run(const QStringList& arguments, int& code, QString* said = nullptr,
             const std::function<void(tessel::RunTool&)>& meanwhile = {});

    QTemporaryDir dir;
};

QString TestRunTool::write(const QString& name, const QByteArrayList& lines)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(lines.join('\n') + '\n');
    return path;
}

void TestRunTool::run(const QStringList& arguments, int& code, QString* said,
                      const std::function<void(tessel::RunTool&)>& meanwhile)
{
    code = -1;
    QString error;
    const auto parsed = tessel::parseRunArguments(arguments, QByteArray(), error);
    QVERIFY2(parsed, qPrintable(error));
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::tmpfile(), &std::fclose),
        err(std::tmpfile(), &std::fclose);
    tessel::RunTool tool(*parsed, out.get(), err.get(), false);
    QSignalSpy done(&tool, &tessel::RunTool::done);
    tool.start();
    if (meanwhile)
        meanwhile(tool);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 20000);
    code = done.at(0).at(0).toInt();
    if (said)
        *said = readAll(out.get()) + readAll(err.get());
}

void TestRunTool::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("passwordVariable");
    QTest::addColumn<QString>("error"); // empty: accepted
    const auto row = [](const char* tag, const char* arguments, const char* variable, const char* error) {
        // an unset variable is not an empty one
        QTest::newRow(tag) << words(arguments) << (*variable ? QByteArray(variable) : QByteArray())
                           << QString(error);
    };
    row("file only", "a.jsonl", "", "");
    row("everything",
        "a.jsonl --sn B1 --login admin:12:34 --ignore time,x.y --ignore=z --timeout 100 --grace=0 "
        "--concurrency 4 --junit r.xml --record n.jsonl",
        "", "");
    row("password from the environment", "a.jsonl --login admin", "123456", "");
    row("no password anywhere", "a.jsonl --login admin", "", "no password");
    row("no run file", "--sn B1", "", "no run file");
    row("two run files", "a b", "", "one run file only");
    row("unknown option", "a --snn B1", "", "unknown option --snn");
    row("value missing", "a --timeout", "", "--timeout needs a value");
    row("not a number", "a --grace 5s", "", "whole number");
    row("no concurrency", "a --concurrency 0", "", "from 1");
}

void TestRunTool::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, passwordVariable);
    QFETCH(QString, error);
    QString said;
    const auto parsed = tessel::parseRunArguments(arguments, passwordVariable, said);
    QCOMPARE(bool(parsed), error.isEmpty());
    QVERIFY2(said.contains(error), qPrintable(said));
    if (QTest::currentDataTag() == QLatin1String("everything")) {
        QCOMPARE(parsed->password, QByteArray("12:34"));
        QCOMPARE(parsed->ignore, (std::vector<std::string>{"time", "x.y", "z"}));
        QCOMPARE(parsed->graceMs, 0);
    }
    if (!passwordVariable.isEmpty())
        QCOMPARE(parsed->password, passwordVariable);
}

void TestRunTool::exitCodes_data()
{
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("unanswered"); // the first getVolume() is never answered
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said");
    const auto row = [](const char* tag, const QByteArrayList& lines, const char* options, bool unanswered,
                        int code, const char* said) {
        QTest::newRow(tag) << lines << words(options) << unanswered << code << QString(said);
    };
    row("all the same", {volumeSame, volumeSame}, "", false, 0, "2 requests: 2 same");
    row("one differs", {volumeDifferent, volumeSame}, "", false, 1, "ratio: recorded 51, now 50.0");
    row("ignored member", {volumeDifferent}, "--ignore ratio", false, 0, "1 same");
    row("times out", {volumeSame}, "--timeout 50", true, 1, "1 timeout");
    row("unknown operation, run goes on", {unknownOperation, volumeSame}, "", false, 1,
        "1 same, 0 different, 0 timeout, 1 error");
    row("damaged line", {volumeSame, "{\"operation\":"}, "", false, 2, "line 2, column 14");
    row("nested too deep",
        {volumeSame,
         "{\"operation\":\"a()\",\"request\":" + QByteArray(75000, '[') + QByteArray(75000, ']') + '}'},
        "", false, 2, "line 2, column 285: nested deeper than 256 levels");
    row("history export with a batch send", {exportedBatchSend()}, "", false, 0, "1 requests: 1 same");
    row("login, then the same", {runLine("getVolume()", "BZSA07194A0049999716")}, "--login admin:123456",
        false, 0, "logged in to BZSA07194A0049999716");
    row("wrong password", {volumeSame}, "--login admin:nope --sn BZSA07194A0049999716", false, 2,
        "code 1005");
    row("login with nothing to log in to", {runLine("getVolume()", "")}, "--login a:b", false, 2,
        "no terminal to log in to");
}

void TestRunTool::exitCodes()
{
    QFETCH(QByteArrayList, lines);
    QFETCH(QStringList, options);
    QFETCH(bool, unanswered);
    QFETCH(int, code);
    QFETCH(QString, said);
    if (unanswered)
        tesselsim::holdNextCallback("tsGetVolumeAsync");
    int exitCode = -1;
    QString text;
    run(QStringList{write("run.jsonl", lines), "--grace", "10"} + options, exitCode, &text);
    QCOMPARE(exitCode, code);
    QVERIFY2(text.contains(said), qPrintable(text));
    for (const tesselsim::Call& call : tesselsim::calls()) // 2: refused before anything was sent
        QVERIFY2(code != 2 || call.operation == "tsInit" || call.operation == "tsLoginAsync",
                 call.operation.c_str());
}

void TestRunTool::junitReport()
{
    const QString report = dir.filePath("report.xml");
    int code = -1;
    run({write("volume.jsonl", {volumeSame, volumeDifferent, unknownOperation}), "--grace", "10", "--junit",
         report},
        code);
    QCOMPARE(code, 1);
    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QStringList seen; // element names with their key attributes
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (xml.name() == QLatin1String("testsuite"))
            seen << QString("suite %1 tests=%2 failures=%3 errors=%4")
                        .arg(a.value("name"), a.value("tests"), a.value("failures"), a.value("errors"));
        else if (xml.name() == QLatin1String("testcase"))
            seen << QString("case %1").arg(a.value("name"));
        else if (xml.name() == QLatin1String("failure"))
            seen << QString("failure %1 %2: %3")
                        .arg(a.value("type"), a.value("message"), xml.readElementText());
        else
            seen << xml.name().toString();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(seen, (QStringList{"suite volume tests=3 failures=1 errors=1", "case line 1: getVolume()",
                                "case line 2: getVolume()",
                                "failure different differs: ratio: ratio: recorded 51, now 50.0\n",
                                "case line 3: 待开发", "error"}));
}

// A run file written by hand (no results) records a baseline that replays the same.
void TestRunTool::recordThenReplay()
{
    const QString baseline = dir.filePath("baseline.jsonl");
    int code = -1;
    run({write("hand.jsonl", {runLine("getDisplayInfo()", "BZSA07194A0049999716"),
                              runLine("getVolume()", "BZSA07194A0049999716")}),
         "--grace", "10", "--login", "admin:123456", "--record", baseline},
        code);
    QCOMPARE(code, 0);
    QCOMPARE(tessel::checkRunFile(baseline).requests, qint64(2));
    QString said;
    run({baseline, "--grace", "10"}, code, &said);
    QCOMPARE(code, 0);
    QVERIFY2(said.contains("2 requests: 2 same"), qPrintable(said));
}

// A reply the history kept cut is the same when the new one starts with the
// kept part, and the output and the report say it was cut.
void TestRunTool::cutReplyNoted()
{
    const QString report = dir.filePath("report.xml");
    int code = -1;
    QString said;
    run({write("cut.jsonl", {exportedBatchSend(5)}), "--grace", "10", "--junit", report}, code, &said);
    QCOMPARE(code, 0);
    QVERIFY2(said.contains("getVolume()  (the recorded reply was cut: its kept part was compared)"),
             qPrintable(said));
    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("<system-out>the recorded reply was cut"));
}

void TestRunTool::interruptReportsWhatFinished()
{
    const QString report = dir.filePath("report.xml");
    const QString record = dir.filePath("new.jsonl");
    int code = -1;
    QString said;
    tesselsim::holdNextCallback("tsGetVolumeAsync"); // the second line waits for ever
    run({write("run.jsonl", {unknownOperation, volumeSame}), "--junit", report, "--record", record}, code,
        &said, [](tessel::RunTool& tool) { tool.interrupt(); });
    QCOMPARE(code, 1);
    QVERIFY2(said.contains("interrupted: 1 requests: 0 same, 0 different, 0 timeout, 1 error"),
             qPrintable(said));
    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("<testcase"), 1);
    QVERIFY(!QFile::exists(record)); // no partial baseline
}

QTEST_GUILESS_MAIN(TestRunTool)
#include "tst_runtool.moc"
