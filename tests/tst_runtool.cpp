// tessel-run as a whole, in process and as the executable: its arguments,
// exit codes, the JUnit report, --record, damaged run files, pipes and signals.
#include "history/historyfile.h"
#include "simulator/simulator.h"
#include "tessel-run/runarguments.h"
#include "tessel-run/runtool.h"

#include <nlohmann/json.hpp>

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <cstdio>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool sent(const char* operation)
{
    for (const tesselsim::Call& call : tesselsim::calls())
        if (call.operation == operation)
            return true;
    return false;
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
    void interruptedReport_data();
    void interruptedReport();
    void fileChangedMeanwhile();
    void executable_data();
    void executable();

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
    row("misspelt at the end", "a --junti", "", "unknown option --junti; did you mean --junit?");
    row("one dash", "a -sn B1", "", "unknown option -sn; did you mean --sn?");
    row("one letter", "-x a", "", "unknown option -x");
    row("double dash ends the options", "--sn B1 -- -a.jsonl", "", "");
    row("value missing", "a --timeout", "", "--timeout needs a value");
    row("not a number", "a --grace 5s", "", "whole number");
    row("no concurrency", "a --concurrency 0", "", "from 1");
    row("fleet",
        "a --targets t.csv --limit h*,b? --parallel 64 --wave 10% --max-fail 2 --retries 3 --shard 2/4 "
        "--failed f.csv --record d --baseline b --login admin --list-targets",
        "", "");
    row("every terminal found", "a --all --max-fail 0", "", "");
    row("shard past its count", "a --targets t --shard 3/2", "", "--shard takes K/N");
    row("shard 0", "a --targets t --shard 0/4", "", "--shard takes K/N");
    row("wave 0", "a --targets t --wave 0", "", "--wave takes");
    row("budget over 100%", "a --targets t --max-fail 120%", "", "--max-fail takes");
    row("parallel 0", "a --targets t --parallel 0", "", "--parallel takes a whole number from 1 to 256");
    row("fleet option alone", "a --parallel 4", "", "--parallel needs --targets FILE or --all");
    row("switch with a value", "a --all=yes", "", "--all takes no value");
    row("serial and targets", "a --targets t --sn B1", "", "exclude each other");
    row("targets and all", "a --targets t --all", "", "exclude each other");
    row("no pattern", "a --targets t --limit=,", "", "--limit needs a pattern");
    row("help", "a --help --bogus", "", "");
    row("version", "--version", "", "");
    row("version and more", "--version extra", "", "--version takes no other arguments");
    row("version after a run file", "a --version", "", "--version takes no other arguments");
    row("version with a value", "--version=1", "", "--version takes no value");
    row("help with a value", "--help=x", "", "--help takes no value");
    row("version misspelt", "--verison", "", "did you mean --version?");
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
    if (QTest::currentDataTag() == QLatin1String("fleet")) {
        QCOMPARE(parsed->limit, (std::vector<std::string>{"h*", "b?"}));
        QCOMPARE(parsed->wave->of(50), std::size_t(5));
        QCOMPARE(parsed->shardK * 10 + parsed->shardN, 24);
        QVERIFY(parsed->password.isNull() && parsed->listTargets);
    }
    if (QTest::currentDataTag() == QLatin1String("double dash ends the options"))
        QCOMPARE(parsed->runFile, QString("-a.jsonl"));
    if (parsed && (parsed->help || parsed->version)) {
        QCOMPARE(parsed->help, QTest::currentDataTag() == QLatin1String("help"));
        QVERIFY(tessel::runUsage().contains("--version"));
        QVERIFY2(
            QRegularExpression("^tessel-run \\d+\\.\\d+\\.\\d+\n$").match(tessel::runVersion()).hasMatch(),
            qPrintable(tessel::runVersion()));
    }
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
    row("history export with a batch send", {exportedBatchSend()}, "", false, 0, "1 request: 1 same");
    row("login, then the same", {runLine("getVolume()", "BZSA07194A0049999716")}, "--login admin:123456",
        false, 0, "logged in to BZSA07194A0049999716");
    row("wrong password", {volumeSame}, "--login admin:nope --sn BZSA07194A0049999716", false, 2,
        "code 1005");
    row("login with nothing to log in to", {runLine("getVolume()", "")}, "--login a:b", false, 2,
        "no terminal to log in to");
    row("blank run file", {" ", "\r"}, "", false, 2, "no request in");
    // @run is the run file, @link a symbolic link to it, @dir the test's folder.
    row("report over the run file", {volumeSame}, "--junit @link", false, 2, "is the run file");
    row("baseline over the run file", {volumeSame}, "--record @run", false, 2, "is the run file");
    row("report and baseline in one file", {volumeSame}, "--junit @dir/a --record @dir/a", false, 2,
        "name one file");
    row("report not writable", {volumeSame}, "--junit @dir/none/r.xml", false, 2, "cannot write");
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
    const QString runFile = write("run.jsonl", lines);
    QFile::remove(dir.filePath("link"));
    QVERIFY(QFile::link(runFile, dir.filePath("link")));
    options.replaceInStrings("@run", runFile)
        .replaceInStrings("@link", dir.filePath("link"))
        .replaceInStrings("@dir", dir.path());
    int exitCode = -1;
    QString text;
    run(QStringList{runFile, "--grace", "10"} + options, exitCode, &text);
    QCOMPARE(exitCode, code);
    QVERIFY2(text.contains(said), qPrintable(text));
    QFile file(runFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), lines.join('\n') + '\n');
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
        &said, [](tessel::RunTool& tool) {
            QTRY_VERIFY(sent("tsGetVolumeAsync"));
            tool.interrupt();
        });
    QCOMPARE(code, 1);
    QVERIFY2(said.contains("interrupted: 1 request: 0 same, 0 different, 0 timeout, 1 error"),
             qPrintable(said));
    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    // the error, the request not run, the interruption
    QCOMPARE(file.readAll().count("<testcase"), 3);
    QVERIFY(!QFile::exists(record)); // no partial baseline
}

void TestRunTool::interruptedReport_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("held"); // the SDK call waited for, then never answered; empty: still checking
    QTest::addColumn<QString>("said");
    QTest::addColumn<QString>("report"); // the suite's counts, its properties, the error types
    QTest::newRow("while checking") << QStringList() << QString() << "while"
                                    << "tests=1 errors=1 skipped=0 interrupted=true interrupted";
    QTest::newRow("while logging in")
        << QStringList{"--login", "admin:123456", "--sn", "BZSA07194A0049999716"} << "tsLoginAsync"
        << "before any request was sent"
        << "tests=4 errors=1 skipped=3 interrupted=true interrupted";
    QTest::newRow("while sending") << QStringList() << "tsGetVolumeAsync"
                                   << "interrupted: 1 request: 0 same, 0 different, 0 timeout, 1 error"
                                   << "tests=4 errors=2 skipped=2 interrupted=true error interrupted";
}

// An interrupted run's report lists what did not run as skipped, and fails.
void TestRunTool::interruptedReport()
{
    QFETCH(QStringList, options);
    QFETCH(QString, held);
    QFETCH(QString, said);
    QFETCH(QString, report);
    const QString path = dir.filePath("report.xml");
    if (!held.isEmpty())
        tesselsim::holdNextCallback(held.toStdString());
    int code = -1;
    QString text;
    run(QStringList{write("run.jsonl", {unknownOperation, volumeSame, volumeSame}), "--junit", path} +
            options,
        code, &text, [&](tessel::RunTool& tool) {
            ResultCallback callback; // taken, never answered
            if (!held.isEmpty())
                QTRY_VERIFY(callback || (callback = tesselsim::takeHeldCallback()));
            tool.interrupt();
        });
    QCOMPARE(code, 1);
    QVERIFY2(text.contains(said), qPrintable(text));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QString seen;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (xml.name() == QLatin1String("testsuite"))
            seen += QString("tests=%1 errors=%2 skipped=%3")
                        .arg(a.value("tests"), a.value("errors"), a.value("skipped"));
        else if (xml.name() == QLatin1String("property"))
            seen += QString(" %1=%2").arg(a.value("name"), a.value("value"));
        else if (xml.name() == QLatin1String("error"))
            seen += " " + a.value("type");
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(seen, report);
}

// A line added to the run file after the check is not sent and fails the run.
void TestRunTool::fileChangedMeanwhile()
{
    const QString path = write("run.jsonl", {volumeSame, volumeSame});
    tesselsim::holdNextCallback("tsGetVolumeAsync");
    int code = -1;
    QString said;
    run({path, "--grace", "0"}, code, &said, [&](tessel::RunTool&) {
        ResultCallback callback;
        QTRY_VERIFY(callback || (callback = tesselsim::takeHeldCallback()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("garbage\n");
        file.close();
        callback(0, "{\"ratio\":50}");
    });
    QCOMPARE(code, 1);
    QVERIFY2(said.contains("2 requests: 2 same") && said.contains("line 3, column 1"), qPrintable(said));
}

void TestRunTool::executable_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said");
    QTest::newRow("run file on stdin") << "stdin" << 0 << "2 requests: 2 same";
    QTest::newRow("FIFO read once") << "fifo" << 0 << "2 requests: 2 same";
    QTest::newRow("SIGINT while a FIFO is checked") << "fifo held" << 1 << "interrupted while";
    QTest::newRow("SIGTERM while sending") << "sending" << 1 << "interrupted: 1 request: 0 same";
    QTest::newRow("fleet file fault") << "no fleet" << 1 << "tessel-run: fleet file";
    QTest::newRow("fleet: SIGINT while sending") << "fleet" << 1 << "interrupted: 2 terminals: 0 passed";
}

// The executable itself: run files that can be read only once, signals.
void TestRunTool::executable()
{
    QFETCH(QString, how);
    QFETCH(int, code);
    QFETCH(QString, said);
    const QByteArray lines = (how == "sending" ? unknownOperation : volumeSame) + '\n' + volumeSame + '\n';
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("TESSEL_SIM_FLEET");
    if (how == "no fleet")
        environment.insert("TESSEL_SIM_FLEET", dir.filePath("none.json"));
    // The second request of "sending" is answered long after the signal.
    environment.insert("TESSEL_SIM_LATENCY_MS", how == "sending" ? "60000" : "0");
    QString runFile = write("run.jsonl", {lines.trimmed()});
    if (how == "stdin")
        runFile = "/dev/stdin";
    if (how.startsWith("fifo")) {
        runFile = dir.filePath("fifo");
        QFile::remove(runFile);
        QCOMPARE(::mkfifo(QFile::encodeName(runFile).constData(), 0600), 0);
    }
    QStringList arguments{runFile, "--grace", "0"};
    if (how == "fleet") {
        environment.insert("TESSEL_SIM_LATENCY_MS", "60000");
        QFile targets(dir.filePath("targets.csv"));
        QVERIFY(targets.open(QIODevice::WriteOnly));
        targets.write("sn\nBZWA17422J1X20000093\nBZSA07194A0049999716\n");
        targets.close();
        arguments << "--targets" << targets.fileName() << "--junit" << dir.filePath("fleet.xml");
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(TESSEL_RUN_EXECUTABLE, arguments);
    QVERIFY(process.waitForStarted());
    if (how == "stdin") {
        process.write(lines);
        process.closeWriteChannel();
    }
    int fifo = -1;
    if (how.startsWith("fifo")) {
        // Opens once the program reads it: ENXIO until then.
        const QByteArray name = QFile::encodeName(runFile);
        QTRY_VERIFY_WITH_TIMEOUT(fifo >= 0 || (fifo = ::open(name.constData(), O_WRONLY | O_NONBLOCK)) >= 0,
                                 20000);
        QCOMPARE(::write(fifo, lines.constData(), std::size_t(lines.size())), ssize_t(lines.size()));
        if (how == "fifo held")
            ::kill(pid_t(process.processId()), SIGINT);
        else
            ::close(fifo);
    }
    QByteArray output;
    if (how == "sending") {
        QTRY_VERIFY_WITH_TIMEOUT((output += process.readAllStandardOutput()).contains("error"), 20000);
        ::kill(pid_t(process.processId()), SIGTERM);
    }
    if (how == "fleet") {
        QTRY_VERIFY_WITH_TIMEOUT((output += process.readAllStandardOutput()).contains("at a time"), 20000);
        ::kill(pid_t(process.processId()), SIGINT);
    }
    const bool finished = process.waitForFinished(20000);
    if (how == "fifo held")
        ::close(fifo);
    QVERIFY(finished);
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    const QString text =
        QString::fromUtf8(output + process.readAllStandardOutput() + process.readAllStandardError());
    QCOMPARE(process.exitCode(), code);
    QVERIFY2(text.contains(said) && !text.contains("tessel-console:"), qPrintable(text));
    if (how == "fleet") {
        // The report is whole: each terminal's suite, and the interruption.
        QFile report(dir.filePath("fleet.xml"));
        QVERIFY(report.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&report);
        int suites = 0;
        while (!xml.atEnd())
            suites +=
                xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("testsuite");
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(suites, 3);
    }
}

QTEST_GUILESS_MAIN(TestRunTool)
#include "tst_runtool.moc"
