// tessel-run as a whole, in process: its arguments, exit codes, the JUnit
// report, --record, damaged run files and Ctrl+C.
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

QString readAll(std::FILE* file)
{
    std::fflush(file);
    std::rewind(file);
    QByteArray text;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, static_cast<int>(n));
    return QString::fromUtf8(text);
}

} // namespace

class TestRunTool : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void arguments_data();
    void arguments();
    void exitCodes_data();
    void exitCodes();
    void junitReport();
    void recordThenReplay();
    void interruptReportsWhatFinished();

private:
    QString write(const QString& name, const QByteArrayList& lines);
    // Runs tessel-run with these arguments; the exit code, stdout and stderr.
    void run(const QStringList& arguments, int& code, QString* out = nullptr, QString* err = nullptr,
             const std::function<void(tessel::RunTool&)>& meanwhile = {});

    std::unique_ptr<QTemporaryDir> dir;
};

void TestRunTool::init()
{
    tesselsim::reset();
    tesselsim::setLatency(0ms);
    dir = std::make_unique<QTemporaryDir>();
}

void TestRunTool::cleanup()
{
    QVERIFY(tesselsim::waitIdle());
    tesselsim::reset();
    dir.reset();
}

QString TestRunTool::write(const QString& name, const QByteArrayList& lines)
{
    const QString path = dir->filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(lines.join('\n') + '\n');
    return path;
}

void TestRunTool::run(const QStringList& arguments, int& code, QString* out, QString* err,
                      const std::function<void(tessel::RunTool&)>& meanwhile)
{
    code = -1;
    QString error;
    const auto parsed = tessel::parseRunArguments(arguments, QByteArray(), error);
    QVERIFY2(parsed, qPrintable(error));
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> outFile(std::tmpfile(), &std::fclose);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> errFile(std::tmpfile(), &std::fclose);
    tessel::RunTool tool(*parsed, outFile.get(), errFile.get(), false);
    QSignalSpy done(&tool, &tessel::RunTool::done);
    tool.start();
    if (meanwhile)
        meanwhile(tool);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 20000);
    code = done.at(0).at(0).toInt();
    if (out)
        *out = readAll(outFile.get());
    if (err)
        *err = readAll(errFile.get());
}

void TestRunTool::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("passwordVariable");
    QTest::addColumn<QString>("error"); // empty: accepted
    QTest::newRow("file only") << QStringList{"a.jsonl"} << QByteArray() << "";
    QTest::newRow("everything") << QStringList{"a.jsonl",     "--sn",     "B1",        "--login",
                                               "admin:12:34", "--ignore", "time,x.y",  "--ignore=z",
                                               "--timeout",   "100",      "--grace=0", "--concurrency",
                                               "4",           "--junit",  "r.xml",     "--record",
                                               "n.jsonl"}
                                << QByteArray() << "";
    QTest::newRow("password from the environment")
        << QStringList{"a.jsonl", "--login", "admin"} << QByteArray("123456") << "";
    QTest::newRow("no password anywhere")
        << QStringList{"a.jsonl", "--login", "admin"} << QByteArray() << "no password";
    QTest::newRow("no run file") << QStringList{"--sn", "B1"} << QByteArray() << "no run file";
    QTest::newRow("two run files") << QStringList{"a", "b"} << QByteArray() << "one run file only";
    QTest::newRow("unknown option") << QStringList{"a", "--snn", "B1"} << QByteArray()
                                    << "unknown option --snn";
    QTest::newRow("value missing") << QStringList{"a", "--timeout"} << QByteArray()
                                   << "--timeout needs a value";
    QTest::newRow("not a number") << QStringList{"a", "--grace", "5s"} << QByteArray() << "whole number";
    QTest::newRow("no concurrency") << QStringList{"a", "--concurrency", "0"} << QByteArray() << "from 1";
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
    if (QTest::currentDataTag() == QLatin1String("password from the environment"))
        QCOMPARE(parsed->password, QByteArray("123456"));
}

void TestRunTool::exitCodes_data()
{
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("unanswered"); // the first getVolume() is never answered
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said");
    QTest::newRow("all the same") << QByteArrayList{volumeSame, volumeSame} << QStringList{} << false << 0
                                  << "2 requests: 2 same";
    QTest::newRow("one differs") << QByteArrayList{volumeDifferent, volumeSame} << QStringList{} << false << 1
                                 << "ratio: recorded 51, now 50.0";
    QTest::newRow("ignored member") << QByteArrayList{volumeDifferent} << QStringList{"--ignore", "ratio"}
                                    << false << 0 << "1 same";
    QTest::newRow("times out") << QByteArrayList{volumeSame} << QStringList{"--timeout", "50"} << true << 1
                               << "1 timeout";
    QTest::newRow("unknown operation, run goes on")
        << QByteArrayList{unknownOperation, volumeSame} << QStringList{} << false << 1
        << "1 same, 0 different, 0 timeout, 1 error";
    QTest::newRow("damaged line") << QByteArrayList{volumeSame, "{\"operation\":"} << QStringList{} << false
                                  << 2 << "line 2, column 14";
    QTest::newRow("login, then the same")
        << QByteArrayList{runLine("getVolume()", "BZSA07194A0049999716")}
        << QStringList{"--login", "admin:123456"} << false << 0 << "logged in to BZSA07194A0049999716";
    QTest::newRow("wrong password") << QByteArrayList{volumeSame}
                                    << QStringList{"--login", "admin:nope", "--sn", "BZSA07194A0049999716"}
                                    << false << 2 << "code 1005";
    QTest::newRow("login with nothing to log in to")
        << QByteArrayList{runLine("getVolume()", "")} << QStringList{"--login", "a:b"} << false << 2
        << "no terminal to log in to";
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
    QString out, err;
    run(QStringList{write("run.jsonl", lines), "--grace", "10"} + options, exitCode, &out, &err);
    QCOMPARE(exitCode, code);
    QVERIFY2((out + err).contains(said), qPrintable(out + err));
    if (code == 2) { // refused before anything was sent
        for (const tesselsim::Call& call : tesselsim::calls())
            QVERIFY2(call.operation == "tsInit" || call.operation == "tsLoginAsync", call.operation.c_str());
    }
}

void TestRunTool::junitReport()
{
    const QString report = dir->filePath("report.xml");
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
    const QString baseline = dir->filePath("baseline.jsonl");
    int code = -1;
    run({write("hand.jsonl", {runLine("getDisplayInfo()", "BZSA07194A0049999716"),
                              runLine("getVolume()", "BZSA07194A0049999716")}),
         "--grace", "10", "--login", "admin:123456", "--record", baseline},
        code);
    QCOMPARE(code, 0);
    QCOMPARE(tessel::checkRunFile(baseline).requests, qint64(2));
    QString out;
    run({baseline, "--grace", "10"}, code, &out);
    QCOMPARE(code, 0);
    QVERIFY2(out.contains("2 requests: 2 same"), qPrintable(out));
}

void TestRunTool::interruptReportsWhatFinished()
{
    const QString report = dir->filePath("report.xml");
    const QString record = dir->filePath("new.jsonl");
    int code = -1;
    QString out, err;
    tesselsim::holdNextCallback("tsGetVolumeAsync"); // the second line waits for ever
    run({write("run.jsonl", {unknownOperation, volumeSame}), "--junit", report, "--record", record}, code,
        &out, &err, [](tessel::RunTool& tool) { tool.interrupt(); });
    QCOMPARE(code, 1);
    QVERIFY2(out.contains("interrupted: 1 requests: 0 same, 0 different, 0 timeout, 1 error"),
             qPrintable(out));
    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("<testcase"), 1);
    QVERIFY(!QFile::exists(record)); // no partial baseline
}

QTEST_GUILESS_MAIN(TestRunTool)
#include "tst_runtool.moc"
