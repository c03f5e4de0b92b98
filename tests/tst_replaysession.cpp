// Settling replayed requests: recorded counts, late and repeated results,
// time-outs, lines that are not sent, stopping.
#include "replay/replaysession.h"
#include "simulator/simulator.h"

#include <QSignalSpy>
#include <QtTest>

#include <deque>
#include <memory>

using namespace std::chrono_literals;
using tessel::ReplayOutcome;
using tessel::ReplaySession;
using tessel::RunLine;
using tessel::Verdict;

namespace {

RunLine volumeLine(std::vector<tessel::ResultRecord> recorded)
{
    RunLine line;
    line.operation = "getVolume()";
    line.request = R"({"sn":"BZWA17422J1X20000093"})";
    line.results = std::move(recorded);
    return line;
}

const tessel::ResultRecord ratio50{0, R"({"ratio":50.0})", 3};

// A session over these lines that keeps every outcome.
struct Run
{
    explicit Run(std::vector<RunLine> lines, tessel::ReplayOptions options)
        : lines(lines.begin(), lines.end()), runner(nullptr),
          session(runner, std::move(options), [this](RunLine& line) {
              if (this->lines.empty())
                  return false;
              line = std::move(this->lines.front());
              this->lines.pop_front();
              return true;
          })
    {
        QObject::connect(&session, &ReplaySession::settled,
                         [this](const ReplayOutcome& outcome) { outcomes.push_back(outcome); });
    }

    std::deque<RunLine> lines;
    tessel::RequestRunner runner;
    ReplaySession session;
    std::vector<ReplayOutcome> outcomes;
    QSignalSpy finished{&session, &ReplaySession::finished};
};

tessel::ReplayOptions quick(int graceMs = 20, int timeoutMs = 5000)
{
    tessel::ReplayOptions options;
    options.graceMs = graceMs;
    options.timeoutMs = timeoutMs;
    return options;
}

} // namespace

class TestReplaySession : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void resultCounts_data();
    void resultCounts();
    void lateResultAfterSettling();
    void timeoutWithoutAnswer();
    void unknownOperationIsNotSentAndRunGoesOn();
    void serialIsReplaced();
    void stopDropsWhatIsPending();
    void concurrentRequestsAllSettle();
};

void TestReplaySession::init()
{
    tesselsim::reset();
    tesselsim::setLatency(0ms);
}

void TestReplaySession::cleanup()
{
    QVERIFY(tesselsim::waitIdle());
    tesselsim::reset();
}

// The SDK's answers come from a held callback invoked here, all before the
// event loop runs, so that none can come "late" by accident.
void TestReplaySession::resultCounts_data()
{
    QTest::addColumn<int>("recorded");
    QTest::addColumn<int>("answers");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QString>("firstPath");
    QTest::newRow("as recorded") << 3 << 3 << int(Verdict::Same) << "";
    QTest::newRow("repeated beyond the record") << 1 << 3 << int(Verdict::Different) << "results";
    QTest::newRow("fewer: waits for the timeout") << 3 << 2 << int(Verdict::Timeout) << "results";
    QTest::newRow("none recorded, several came") << 0 << 3 << int(Verdict::Same) << "";
    QTest::newRow("none recorded, none came") << 0 << 0 << int(Verdict::Timeout) << "results";
}

void TestReplaySession::resultCounts()
{
    QFETCH(int, recorded);
    QFETCH(int, answers);
    QFETCH(int, verdict);
    QFETCH(QString, firstPath);
    tesselsim::holdNextCallback("tsGetVolumeAsync");
    Run run({volumeLine(std::vector<tessel::ResultRecord>(std::size_t(recorded), ratio50))}, quick(20, 300));
    run.session.start();
    const ResultCallback callback = tesselsim::takeHeldCallback();
    QVERIFY(callback);
    for (int i = 0; i < answers; ++i)
        callback(0, R"({"ratio":50})");
    QTRY_COMPARE(run.finished.count(), 1);
    QCOMPARE(run.outcomes.size(), std::size_t(1));
    const ReplayOutcome& outcome = run.outcomes.front();
    QCOMPARE(int(outcome.verdict), verdict);
    QCOMPARE(outcome.results.size(), std::size_t(answers));
    QCOMPARE(outcome.differences.empty() ? QString() : QString::fromStdString(outcome.differences[0].path),
             firstPath);
    QCOMPARE(run.finished.at(0).at(0).toBool(), false);
}

// A result after the request settled changes nothing and is not reported again.
void TestReplaySession::lateResultAfterSettling()
{
    tesselsim::holdNextCallback("tsGetVolumeAsync");
    Run run({volumeLine({ratio50})}, quick(10));
    run.session.start();
    const ResultCallback callback = tesselsim::takeHeldCallback();
    callback(0, R"({"ratio":50})");
    QTRY_COMPARE(run.outcomes.size(), std::size_t(1));
    QCOMPARE(int(run.outcomes[0].verdict), int(Verdict::Same));
    callback(0, R"({"ratio":70})");
    QTRY_COMPARE(run.finished.count(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(run.outcomes.size(), std::size_t(1));
}

void TestReplaySession::timeoutWithoutAnswer()
{
    tesselsim::holdNextCallback("tsGetVolumeAsync");
    Run run({volumeLine({ratio50}), volumeLine({ratio50})}, quick(10, 50));
    run.session.start();
    QTRY_COMPARE(run.finished.count(), 1);
    QCOMPARE(run.outcomes.size(), std::size_t(2));
    QCOMPARE(int(run.outcomes[0].verdict), int(Verdict::Timeout));
    QCOMPARE(run.outcomes[0].ms, qint64(50));
    QCOMPARE(int(run.outcomes[1].verdict), int(Verdict::Same)); // the run went on
}

void TestReplaySession::unknownOperationIsNotSentAndRunGoesOn()
{
    RunLine unknown = volumeLine({});
    unknown.operation = "待开发";
    RunLine misspelt = volumeLine({});
    misspelt.operation = "getVolume";
    Run run({unknown, misspelt, volumeLine({ratio50})}, quick());
    run.session.start();
    QTRY_COMPARE(run.finished.count(), 1);
    QCOMPARE(run.outcomes.size(), std::size_t(3));
    QCOMPARE(int(run.outcomes[0].verdict), int(Verdict::Error));
    QCOMPARE(int(run.outcomes[1].verdict), int(Verdict::Error));
    QVERIFY(run.outcomes[1].message.find("getVolume") != std::string::npos);
    QCOMPARE(int(run.outcomes[2].verdict), int(Verdict::Same));
    QCOMPARE(tesselsim::calls().size(), std::size_t(1));
}

void TestReplaySession::serialIsReplaced()
{
    tessel::ReplayOptions options = quick();
    options.serial = "BZSA07194A0049999716";
    RunLine line = volumeLine({{1003, "anything", 1}});
    line.request = R"({"sn" : "OTHER", "data":{"sn":"OTHER"}})";
    line.ignore = {"x"};
    Run run({line}, options);
    run.session.start();
    QTRY_COMPARE(run.finished.count(), 1);
    const std::string sent = R"({"sn" : "BZSA07194A0049999716", "data":{"sn":"OTHER"}})";
    QCOMPARE(run.outcomes.at(0).sentRequest, sent);
    QCOMPARE(tesselsim::calls().at(0).args.at(0), sent);
}

void TestReplaySession::stopDropsWhatIsPending()
{
    tesselsim::holdNextCallback("tsGetVolumeAsync");
    Run run({volumeLine({ratio50}), volumeLine({ratio50})}, quick());
    run.session.start();
    run.session.stop();
    QTRY_COMPARE(run.finished.count(), 1);
    QCOMPARE(run.finished.at(0).at(0).toBool(), true);
    tesselsim::takeHeldCallback()(0, R"({"ratio":50})");
    QCoreApplication::processEvents();
    QVERIFY(run.outcomes.empty());
    QCOMPARE(tesselsim::calls().size(), std::size_t(1)); // the second line was never sent
}

void TestReplaySession::concurrentRequestsAllSettle()
{
    std::vector<RunLine> lines(200, volumeLine({ratio50}));
    lines[100].results[0].reply = R"({"ratio":51})";
    tessel::ReplayOptions options = quick(0);
    options.concurrency = 8;
    Run run(lines, options);
    run.session.start();
    QTRY_COMPARE(run.finished.count(), 1);
    QCOMPARE(run.outcomes.size(), lines.size());
    int different = 0;
    for (const ReplayOutcome& outcome : run.outcomes)
        different += outcome.verdict == Verdict::Different;
    QCOMPARE(different, 1);
}

QTEST_GUILESS_MAIN(TestReplaySession)
#include "tst_replaysession.moc"
