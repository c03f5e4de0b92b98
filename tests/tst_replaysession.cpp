// Settling replayed requests: recorded counts, late and repeated results,
// time-outs, lines that are not sent, stopping.
#include "replay/replaysession.h"
#include "simulator/simulator.h"

#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <deque>

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
        : lines(lines.begin(), lines.end()),
          runner(nullptr, nullptr, tessel::RequestRunner::Memory::UntilReleased),
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
    void resultCounts_data();
    void resultCounts();
    void unsentLinesAndSerial();
    void stopDropsWhatIsPending();
    void requestsAreReleased_data();
    void requestsAreReleased();
    void concurrentRequestsAllSettle();
};

// The first line's answers come from a held callback invoked before the event
// loop runs, so that none is "late" by accident; one more after it settled
// changes nothing. The second line shows the run goes on.
void TestReplaySession::resultCounts_data()
{
    QTest::addColumn<int>("recorded");
    QTest::addColumn<int>("answers");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QString>("firstPath");
    QTest::newRow("as recorded") << 3 << 3 << int(Verdict::Same) << "";
    QTest::newRow("repeated beyond the record") << 1 << 3 << int(Verdict::Different) << "results";
    QTest::newRow("fewer: waits for the timeout") << 3 << 2 << int(Verdict::Timeout) << "results";
    QTest::newRow("no answer") << 1 << 0 << int(Verdict::Timeout) << "results";
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
    Run run({volumeLine(std::vector<tessel::ResultRecord>(std::size_t(recorded), ratio50)),
             volumeLine({ratio50})},
            quick(20, 300));
    run.session.start();
    const ResultCallback callback = tesselsim::takeHeldCallback();
    QVERIFY(callback);
    for (int i = 0; i < answers; ++i)
        callback(0, R"({"ratio":50})");
    QTRY_VERIFY(!run.outcomes.empty());
    callback(0, R"({"ratio":70})");
    QTRY_COMPARE(run.finished.count(), 1);
    QCOMPARE(run.finished.at(0).at(0).toBool(), false);
    QCoreApplication::processEvents();
    QCOMPARE(run.outcomes.size(), std::size_t(2));
    const ReplayOutcome& outcome = run.outcomes.front();
    QCOMPARE(int(outcome.verdict), verdict);
    QCOMPARE(outcome.results.size(), std::size_t(answers));
    QCOMPARE(outcome.differences.empty() ? QString() : QString::fromStdString(outcome.differences[0].path),
             firstPath);
    if (outcome.verdict == Verdict::Timeout)
        QCOMPARE(outcome.ms, qint64(300));
    QCOMPARE(int(run.outcomes[1].verdict), int(Verdict::Same));
}

// Lines that cannot be sent are errors and the run goes on; the chosen serial
// replaces only the top-level "sn", spacing kept.
void TestReplaySession::unsentLinesAndSerial()
{
    RunLine unknown = volumeLine({}), misspelt = volumeLine({}), other = volumeLine({});
    unknown.operation = "待开发";
    misspelt.operation = "getVolume";
    other.request = R"({"sn" : "OTHER", "data":{"sn":"OTHER"}})";
    tessel::ReplayOptions options = quick();
    options.serial = "BZSA07194A0049999716";
    Run run({unknown, misspelt, other}, options);
    run.session.start();
    QTRY_COMPARE(run.finished.count(), 1);
    QCOMPARE(run.outcomes.size(), std::size_t(3));
    QCOMPARE(int(run.outcomes[0].verdict), int(Verdict::Error));
    QCOMPARE(int(run.outcomes[1].verdict), int(Verdict::Error));
    QVERIFY(run.outcomes[1].message.find("getVolume") != std::string::npos);
    const std::string sent = R"({"sn" : "BZSA07194A0049999716", "data":{"sn":"OTHER"}})";
    QCOMPARE(run.outcomes[2].sentRequest, sent);
    QCOMPARE(tesselsim::calls().size(), std::size_t(1));
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

// Requests settled, or dropped by a stop, are released: a long run keeps
// only its open requests in the runner.
void TestReplaySession::requestsAreReleased_data()
{
    QTest::addColumn<int>("graceMs");
    QTest::addColumn<bool>("stop");
    QTest::newRow("settled at once") << 0 << false;
    QTest::newRow("after the grace period") << 20 << false;
    QTest::newRow("stopped") << 0 << true;
}

void TestReplaySession::requestsAreReleased()
{
    QFETCH(int, graceMs);
    QFETCH(bool, stop);
    if (stop)
        tesselsim::holdNextCallback("tsGetVolumeAsync");
    tessel::ReplayOptions options = quick(graceMs);
    options.concurrency = 2;
    Run run(std::vector<RunLine>(5, volumeLine({ratio50})), options);
    run.session.start();
    QVERIFY(run.runner.request(1)); // open, so remembered
    if (stop)
        run.session.stop();
    QTRY_COMPARE(run.finished.count(), 1);
    for (tessel::RequestRunner::Id id = 1; id <= 5; ++id)
        QVERIFY(!run.runner.request(id));
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
    QCOMPARE(std::count_if(run.outcomes.begin(), run.outcomes.end(),
                           [](const ReplayOutcome& o) { return o.verdict == Verdict::Different; }),
             std::ptrdiff_t(1));
}

QTEST_GUILESS_MAIN(TestReplaySession)
#include "tst_replaysession.moc"
