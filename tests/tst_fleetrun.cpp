// Fleet runs against the simulated fleet: checks, captures, repeats and
// retries per terminal; parallel, waves and the failure budget; secrets.
#include "fleet/fleetjunit.h"
#include "fleet/fleetrun.h"
#include "services/consoleservices.h"
#include "simulator/simulator.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace std::chrono_literals;
using namespace tessel;

namespace {

std::vector<RunLine> checklist(const QStringList& texts)
{
    std::vector<RunLine> lines;
    for (const QString& text : texts) {
        RunFileFault fault;
        std::optional<RunLine> line = parseRunLine(text.toStdString(), fault);
        if (!line)
            qFatal("bad test line %s: %s", qPrintable(text), fault.text().c_str());
        line->lineNumber = static_cast<qint64>(lines.size()) + 1;
        lines.push_back(std::move(*line));
    }
    return lines;
}

// The built-in fleet's first `count` terminals, each with the variables given.
std::vector<Target> fleetTargets(std::size_t count,
                                 std::vector<std::pair<std::string, std::string>> variables = {})
{
    std::vector<Target> targets;
    for (const tesselsim::Terminal& terminal : tesselsim::fleet()) {
        if (targets.size() == count)
            break;
        targets.push_back(Target{terminal.sn, terminal.name, terminal.ip, {}, variables});
    }
    return targets;
}

FleetOptions loggingIn()
{
    FleetOptions options;
    options.login = true;
    options.user = "admin";
    options.password = "123456";
    options.graceMs = 0;
    options.timeoutMs = 5000;
    options.firstRetryPauseMs = 1;
    return options;
}

// Runs to the end; the reports in the order they came.
std::vector<TerminalReport> runAll(FleetRun& run)
{
    std::vector<TerminalReport> reports;
    QObject::connect(&run, &FleetRun::terminalDone,
                     [&reports](const TerminalReport& report) { reports.push_back(report); });
    QSignalSpy finished(&run, &FleetRun::finished);
    run.start();
    if (!finished.wait(30000))
        qFatal("the fleet run did not finish");
    return reports;
}

QString verdicts(const TerminalReport& report)
{
    QString text = verdictWord(report.verdict);
    for (const LineReport& line : report.lines)
        text += QLatin1Char(' ') + QString::number(static_cast<int>(line.outcome.verdict)) +
                (line.run ? "" : "x") + (line.tries > 1 ? "*" + QString::number(line.tries) : QString());
    return text;
}

} // namespace

class TestFleetRun : public QObject
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

    // One terminal; the verdict of the terminal, then of each line as
    // Verdict's number (0 same, 1 different, 2 timeout, 3 error), "x" when
    // not sent, "*N" for N sends.
    void lines_data();
    void lines();

    // Every terminal, at most `parallel` at once; with waves and a budget,
    // the wave with the failing terminal is the last one started.
    void schedule_data();
    void schedule();

    void refusedLogInFailsOnlyItsTerminal();

    void stopReportsEveryTerminal();

    // A secret column and the log-in password never reach a report.
    void secretsMasked();

    void mask_data();
    void mask();

    void placeholderFaults_data();
    void placeholderFaults();

    void counts_data();
    void counts();
};

void TestFleetRun::lines_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("width");  // the terminal's variable
    QTest::addColumn<QString>("script"); // the first getVolume answers 1002 or an old ratio
    QTest::addColumn<int>("retries");
    QTest::addColumn<QString>("expected");
    const QString display =
        R"j({"operation":"getDisplayInfo()","request":{"sn":"x"},"expect":{"width":"{{width}}"}})j";
    const QString volume = R"j({"operation":"getVolume()","request":{"sn":"x"}})j";
    QTest::newRow("expectation holds") << QStringList{display} << "1920"
                                       << "" << 0 << "passed 0";
    QTest::newRow("expectation differs") << QStringList{display} << "1280"
                                         << "" << 0 << "failed 1";
    QTest::newRow("capture carried into a request and an expectation")
        << QStringList{R"j({"operation":"getVolume()","request":{"sn":"x"},"capture":{"v":"ratio"}})j",
                       R"j({"operation":"setVolume()","request":{"sn":"x","volumeInfo":{"ratio":20}}})j",
                       R"j({"operation":"setVolume()","request":"{\"sn\":\"x\",\"volumeInfo\":{\"ratio\":{{v}}}}"})j",
                       R"j({"operation":"getVolume()","request":{"sn":"x"},"expect":{"ratio":"{{v}}"}})j"}
        << ""
        << "" << 0 << "passed 0 0 0 0";
    QTest::newRow("capture path missing, its use not sent")
        << QStringList{R"j({"operation":"getVolume()","request":{"sn":"x"},"capture":{"v":"no.such"}})j",
                       R"j({"operation":"setVolume()","request":"{\"sn\":\"x\",\"volumeInfo\":{\"ratio\":{{v}}}}"})j"}
        << ""
        << "" << 0 << "error 1 3x";
    QTest::newRow("until: the second try holds")
        << QStringList{R"j({"operation":"getVolume()","request":{"sn":"x"},"expect":{"ratio":50},"until":{"tries":3,"every":1}})j"}
        << ""
        << "old" << 0 << "passed 0*2";
    QTest::newRow("until: never holds")
        << QStringList{R"j({"operation":"getVolume()","request":{"sn":"x"},"expect":{"ratio":70},"until":{"tries":2,"every":1}})j"}
        << ""
        << "" << 0 << "failed 1*2";
    QTest::newRow("retry after an unreached terminal") << QStringList{volume} << ""
                                                       << "1002" << 1 << "passed 0*2";
    QTest::newRow("no retry: the code counts") << QStringList{volume} << ""
                                               << "1002" << 0 << "failed 1";
    QTest::newRow("unknown operation") << QStringList{R"j({"operation":"noSuch()","request":{}})j"} << ""
                                       << "" << 0 << "error 3x";
}

void TestFleetRun::lines()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, width);
    QFETCH(QString, script);
    QFETCH(int, retries);
    QFETCH(QString, expected);
    if (script == "1002")
        tesselsim::scriptReplies("tsGetVolumeAsync", {{1002, "unknown terminal"}});
    else if (script == "old")
        tesselsim::scriptReplies("tsGetVolumeAsync", {{0, R"j({"ratio":10.0})j"}});
    ConsoleServices services;
    FleetOptions options = loggingIn();
    options.retries = retries;
    FleetRun run(services.requestRunner(), services.terminalActions(), checklist(lines),
                 fleetTargets(1, {{"width", width.toStdString()}}), options);
    const std::vector<TerminalReport> reports = runAll(run);
    QCOMPARE(reports.size(), std::size_t(1));
    QCOMPARE(verdicts(reports[0]), expected);
}

void TestFleetRun::schedule_data()
{
    QTest::addColumn<int>("parallel");
    QTest::addColumn<QString>("wave");
    QTest::addColumn<QString>("maxFail");
    QTest::addColumn<QString>("expected"); // one letter per terminal: Passed, Failed, Skipped
    QTest::newRow("all at once") << 10 << ""
                                 << ""
                                 << "PPFPPPPPPP";
    QTest::newRow("two at a time") << 2 << ""
                                   << ""
                                   << "PPFPPPPPPP";
    QTest::newRow("waves of 2, no failure allowed") << 8 << "2"
                                                    << "0"
                                                    << "PPFPSSSSSS";
    QTest::newRow("waves of 30%, one failure allowed") << 8 << "30%"
                                                       << "1"
                                                       << "PPFPPPPPPP";
    QTest::newRow("budget of 0 without waves") << 1 << ""
                                               << "0"
                                               << "PPFSSSSSSS";
}

void TestFleetRun::schedule()
{
    QFETCH(int, parallel);
    QFETCH(QString, wave);
    QFETCH(QString, maxFail);
    QFETCH(QString, expected);
    std::vector<Target> targets = fleetTargets(10, {{"width", "1920"}});
    targets[2].variables[0].second = "1";
    for (std::size_t i = 0; i < targets.size(); ++i)
        if (i != 2)
            targets[i].variables[0].second = std::to_string(tesselsim::fleet()[i].width);
    ConsoleServices services;
    FleetOptions options = loggingIn();
    options.parallel = parallel;
    std::string error;
    if (!wave.isEmpty())
        options.wave = parseFleetCount(wave.toStdString(), false, error);
    if (!maxFail.isEmpty())
        options.maxFail = parseFleetCount(maxFail.toStdString(), true, error);
    FleetRun run(
        services.requestRunner(), services.terminalActions(),
        checklist(
            {R"j({"operation":"getDisplayInfo()","request":{"sn":"x"},"expect":{"width":"{{width}}"}})j"}),
        targets, options);
    std::size_t most = 0;
    connect(&run, &FleetRun::terminalDone, [&] { most = std::max(most, run.runningNow() + 1); });
    std::vector<TerminalReport> reports = runAll(run);
    std::sort(reports.begin(), reports.end(),
              [](const TerminalReport& a, const TerminalReport& b) { return a.index < b.index; });
    QString got;
    for (const TerminalReport& report : reports)
        got += QString(verdictWord(report.verdict)).at(0).toUpper();
    QCOMPARE(got, expected);
    QVERIFY(most <= std::size_t(parallel));
}

void TestFleetRun::refusedLogInFailsOnlyItsTerminal()
{
    std::vector<Target> targets = fleetTargets(2);
    targets[1].variables = {{"password", "wrong-one"}};
    ConsoleServices services;
    FleetRun run(services.requestRunner(), services.terminalActions(),
                 checklist({R"j({"operation":"getVolume()","request":{"sn":"x"}})j"}), targets, loggingIn());
    std::vector<TerminalReport> reports = runAll(run);
    std::sort(reports.begin(), reports.end(),
              [](const TerminalReport& a, const TerminalReport& b) { return a.index < b.index; });
    QCOMPARE(verdicts(reports[0]), QString("passed 0"));
    QCOMPARE(verdicts(reports[1]), QString("failed 3x"));
    QVERIFY(QString::fromStdString(reports[1].message).contains("1005"));
    QVERIFY(!QString::fromStdString(reports[1].message).contains("wrong-one"));
}

void TestFleetRun::stopReportsEveryTerminal()
{
    tesselsim::setLatency(20ms);
    ConsoleServices services;
    FleetOptions options = loggingIn();
    options.parallel = 2;
    const QString volume = R"j({"operation":"getVolume()","request":{"sn":"x"}})j";
    FleetRun run(services.requestRunner(), services.terminalActions(), checklist({volume, volume}),
                 fleetTargets(6), options);
    std::vector<TerminalReport> reports;
    connect(&run, &FleetRun::terminalDone, [&](const TerminalReport& report) { reports.push_back(report); });
    QSignalSpy finished(&run, &FleetRun::finished);
    run.start();
    QTRY_VERIFY(run.runningNow() == 2 && run.started() == 2);
    run.stop();
    QVERIFY(finished.wait());
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QCOMPARE(reports.size(), std::size_t(6));
    const auto skipped = std::count_if(reports.begin(), reports.end(), [](const TerminalReport& report) {
        return report.verdict == TerminalVerdict::Skipped;
    });
    QCOMPARE(skipped, 4);
}

void TestFleetRun::secretsMasked()
{
    ConsoleServices services;
    FleetRun run(
        services.requestRunner(), services.terminalActions(),
        checklist(
            {R"j({"operation":"setVolume()","request":{"sn":"x","token":"{{secretToken}}","volumeInfo":{"ratio":"{{secretToken}}"}}})j"}),
        fleetTargets(1, {{"secretToken", "s\"3cr3t"}}), loggingIn());
    const std::vector<TerminalReport> reports = runAll(run);
    QCOMPARE(reports.size(), std::size_t(1));
    QTemporaryDir folder;
    FleetJUnit junit("secrets");
    std::string error;
    QVERIFY(junit.open(folder.filePath("report.xml"), error));
    junit.add(reports[0]);
    QVERIFY(junit.close(error));
    QFile file(folder.filePath("report.xml"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray xml = file.readAll();
    const TerminalReport& report = reports[0];
    const std::string everything = report.lines[0].outcome.sentRequest +
                                   report.lines[0].outcome.line.request + report.target.variables[0].second +
                                   xml.toStdString();
    QVERIFY2(everything.find("3cr3t") == std::string::npos, everything.c_str());
    QVERIFY(everything.find("******") != std::string::npos);
    QVERIFY(xml.contains("<testsuite name=\"" + QByteArray::fromStdString(report.target.sn)));
}

void TestFleetRun::mask_data()
{
    QTest::addColumn<QString>("secret");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("masked");
    QTest::newRow("whole value") << "123456"
                                 << R"j({"password":"123456"})j"
                                 << R"j({"password":"******"})j";
    QTest::newRow("part of a serial") << "123456"
                                      << R"j({"sn":"123456789"})j"
                                      << R"j({"sn":"123456789"})j";
    QTest::newRow("escaped in JSON") << "a\"b"
                                     << R"j({"t":"a\"b"} a"b)j"
                                     << R"j({"t":"******"} ******)j";
    QTest::newRow("after a blank") << "s3"
                                   << "Bearer s3."
                                   << "Bearer ******.";
}

void TestFleetRun::mask()
{
    QFETCH(QString, secret);
    QFETCH(QString, text);
    QFETCH(QString, masked);
    SecretMask mask;
    mask.add(secret.toStdString());
    QCOMPARE(QString::fromStdString(mask.apply(text.toStdString())), masked);
}

void TestFleetRun::placeholderFaults_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("fault"); // empty: none
    QTest::newRow("column of every target")
        << QStringList{R"j({"operation":"getVolume()","request":"{\"x\":\"{{ip}}{{room}}\"}"})j"} << "";
    QTest::newRow("captured before")
        << QStringList{R"j({"operation":"getVolume()","request":{},"capture":{"v":"ratio"}})j",
                       R"j({"operation":"getVolume()","request":"{\"x\":{{v}}}"})j"}
        << "";
    QTest::newRow("captured only after")
        << QStringList{R"j({"operation":"getVolume()","request":"{\"x\":{{v}}}"})j",
                       R"j({"operation":"getVolume()","request":{},"capture":{"v":"ratio"}})j"}
        << "line 1: {{v}} has no value for ";
    QTest::newRow("one target lacks it")
        << QStringList{R"j({"operation":"getVolume()","request":"{\"x\":\"{{floor}}\"}"})j"}
        << "line 1: {{floor}} has no value for " + QString::fromStdString(tesselsim::fleet()[1].sn);
    QTest::newRow("left open")
        << QStringList{R"j({"operation":"getVolume()","request":"{\"x\":\"{{ver\"}"})j"}
        << "line 1: the request";
}

void TestFleetRun::placeholderFaults()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, fault);
    std::vector<Target> targets = fleetTargets(2, {{"room", "a"}});
    targets[0].variables.push_back({"floor", "3"});
    const auto found = placeholderFault(checklist(lines), targets);
    QCOMPARE(found.has_value(), !fault.isEmpty());
    if (found)
        QVERIFY2(QString::fromStdString("line " + std::to_string(found->line) + ": " + found->message)
                     .startsWith(fault),
                 found->message.c_str());
}

void TestFleetRun::counts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("budget");
    QTest::addColumn<int>("ofTen"); // -1: refused
    QTest::newRow("number") << "3" << false << 3;
    QTest::newRow("share rounds up") << "25%" << false << 3;
    QTest::newRow("zero budget") << "0" << true << 0;
    QTest::newRow("zero wave") << "0" << false << -1;
    QTest::newRow("over 100%") << "120%" << true << -1;
    QTest::newRow("not a number") << "ten" << true << -1;
}

void TestFleetRun::counts()
{
    QFETCH(QString, text);
    QFETCH(bool, budget);
    QFETCH(int, ofTen);
    std::string error;
    const auto count = parseFleetCount(text.toStdString(), budget, error);
    QCOMPARE(count ? int(count->of(10)) : -1, ofTen);
    QCOMPARE(error.empty(), ofTen >= 0);
}

QTEST_GUILESS_MAIN(TestFleetRun)
#include "tst_fleetrun.moc"
