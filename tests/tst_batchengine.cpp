// The batch engine: terminals in turn, a concurrency limit, a timeout per
// terminal, stop, retry and the export texts; sends through the request runner.
#include "batch/batchengine.h"
#include "batch/batchexport.h"
#include "batch/batchrequest.h"
#include "core/requestrunner.h"
#include "simulator/simulator.h"

#include <nlohmann/json.hpp>

#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <deque>
#include <memory>
#include <set>
#include <thread>

using tessel::BatchEngine;
using tessel::BatchState;

namespace {

std::vector<tessel::BatchTarget> targets(int count)
{
    std::vector<tessel::BatchTarget> made;
    for (int i = 0; i < count; ++i)
        made.push_back({QStringLiteral("屏%1").arg(i), QStringLiteral("SN%1").arg(i),
                        QStringLiteral("10.0.0.%1").arg(i)});
    return made;
}

std::vector<int> allRows(const BatchEngine& engine)
{
    std::vector<int> rows(static_cast<std::size_t>(engine.rowCount()));
    for (int i = 0; i < engine.rowCount(); ++i)
        rows[static_cast<std::size_t>(i)] = i;
    return rows;
}

// Sends that go nowhere: the test answers them by hand.
struct FakeSends
{
    explicit FakeSends(BatchEngine& engine) : engine(engine)
    {
        engine.setStarter([this](int row, BatchEngine::Attempt attempt) {
            started.push_back(row);
            pending.push_back(attempt);
            rowOf[attempt] = row;
            peak = std::max(peak, this->engine.inFlight());
            return QString();
        });
    }
    // Answers the oldest unanswered send.
    void answerNext(int code = 0)
    {
        const BatchEngine::Attempt attempt = pending.front();
        pending.pop_front();
        engine.deliver(attempt, code, QStringLiteral("reply"), 5);
    }

    BatchEngine& engine;
    std::vector<int> started;
    std::deque<BatchEngine::Attempt> pending;
    std::map<BatchEngine::Attempt, int> rowOf;
    int peak = 0;
};

std::vector<tesselsim::Terminal> loggedInFleet(int count)
{
    std::vector<tesselsim::Terminal> fleet;
    for (int i = 0; i < count; ++i) {
        tesselsim::Terminal terminal;
        terminal.sn = QStringLiteral("SN%1").arg(i).toStdString();
        terminal.hostLoggedIn = true;
        fleet.push_back(terminal);
    }
    return fleet;
}

} // namespace

class TestBatchEngine : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        tesselsim::reset();
        tesselsim::setLatency(std::chrono::milliseconds(0));
    }
    void cleanup() { tesselsim::reset(); }

    void requestFault_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<bool>("refused");
        QTest::newRow("text sn") << QByteArray(R"({"sn":"X","volumeInfo":{"ratio":1}})") << false;
        QTest::newRow("empty text sn") << QByteArray(R"({"sn":""})") << false;
        QTest::newRow("number sn") << QByteArray(R"({"sn":4})") << true;
        QTest::newRow("nested sn only") << QByteArray(R"({"a":{"sn":"X"}})") << true;
        QTest::newRow("no sn") << QByteArray(R"({"programId":1})") << true;
        QTest::newRow("array") << QByteArray(R"([{"sn":"X"}])") << true;
        QTest::newRow("not JSON") << QByteArray(R"({"sn":"X",)") << true;
        QTest::newRow("empty") << QByteArray() << true;
    }
    void requestFault()
    {
        QFETCH(QByteArray, request);
        QFETCH(bool, refused);
        const QString fault = tessel::batchRequestFault(request);
        QCOMPARE(!fault.isEmpty(), refused);
        if (refused)
            QVERIFY2(fault.contains("sn") || fault.contains("JSON"), qPrintable(fault));
    }

    void eachTerminalGetsItsSerial()
    {
        tesselsim::setFleet(loggedInFleet(4));
        tessel::RequestRunner runner;
        BatchEngine engine(targets(4));
        tessel::sendThroughRunner(engine, runner, "setVolume()",
                                  R"({"volumeInfo":{"ratio":30},"sn":"BZWA17422J1X20000093"})");
        QSignalSpy finished(&engine, &BatchEngine::finished);
        QCOMPARE(engine.run({0, 2, 3}, 2, 5000), QString());
        QTRY_COMPARE(finished.count(), 1);
        std::set<std::string> serials;
        for (const tesselsim::Call& call : tesselsim::calls())
            if (call.operation == "tsSetVolumeAsync") {
                const auto request = nlohmann::json::parse(call.args.at(0));
                serials.insert(request.at("sn").get<std::string>());
                QCOMPARE(request.at("volumeInfo").at("ratio").get<double>(), 30.0); // the rest as written
            }
        QCOMPARE(serials, (std::set<std::string>{"SN0", "SN2", "SN3"}));
        QCOMPARE(engine.row(1).state, BatchState::Idle);
        for (int row : {0, 2, 3}) {
            QCOMPARE(engine.row(row).state, BatchState::Succeeded);
            QCOMPARE(engine.row(row).results.size(), std::size_t(1));
        }
        QCOMPARE(engine.done(), 3);
    }

    void concurrencyNeverExceeded_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("limit");
        QTest::newRow("fewer slots than rows") << 10 << 3;
        QTest::newRow("more slots than rows") << 5 << 8;
        QTest::newRow("one at a time") << 4 << 1;
        QTest::newRow("largest") << 130 << 64;
    }
    void concurrencyNeverExceeded()
    {
        QFETCH(int, rows);
        QFETCH(int, limit);
        BatchEngine engine(targets(rows));
        FakeSends sends(engine);
        QCOMPARE(engine.run(allRows(engine), limit, 60000), QString());
        QCOMPARE(engine.inFlight(), std::min(rows, limit));
        // Failures free their slot as well as successes do.
        for (int answered = 0; !sends.pending.empty(); ++answered)
            sends.answerNext(answered % 3 == 0 ? 7 : 0);
        QCOMPARE(sends.peak, std::min(rows, limit));
        QCOMPARE(int(sends.started.size()), rows);
        QCOMPARE(engine.done(), rows);
        QVERIFY(!engine.running());
    }

    void settingsOutOfRangeAreRefused_data()
    {
        QTest::addColumn<int>("concurrency");
        QTest::addColumn<int>("timeoutMs");
        QTest::newRow("no concurrency") << 0 << 1000;
        QTest::newRow("too many at once") << 65 << 1000;
        QTest::newRow("no timeout") << 8 << 0;
    }
    void settingsOutOfRangeAreRefused()
    {
        QFETCH(int, concurrency);
        QFETCH(int, timeoutMs);
        BatchEngine engine(targets(2));
        FakeSends sends(engine);
        QVERIFY(!engine.run(allRows(engine), concurrency, timeoutMs).isEmpty());
        QVERIFY(sends.started.empty());
        QVERIFY(!engine.running());
    }

    void timeoutThenLateResult()
    {
        BatchEngine engine(targets(2));
        FakeSends sends(engine);
        QSignalSpy finished(&engine, &BatchEngine::finished);
        engine.run(allRows(engine), 1, 50);
        const BatchEngine::Attempt silent = sends.pending.front();
        sends.pending.pop_front();
        // The first never answers in time: its slot goes to the second.
        QTRY_COMPARE(engine.row(0).state, BatchState::TimedOut);
        QCOMPARE(sends.started, (std::vector<int>{0, 1}));
        sends.answerNext();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(engine.failedCount(), 1);
        engine.deliver(silent, 0, QStringLiteral("{\"late\":true}"), 900);
        QCOMPARE(engine.row(0).state, BatchState::Succeeded);
        QCOMPARE(engine.row(0).last.ms, qint64(900));
        QCOMPARE(engine.done(), 2); // counted once
        QCOMPARE(finished.count(), 1);
    }

    void stopLetsSendsInFlightFinish()
    {
        BatchEngine engine(targets(5));
        FakeSends sends(engine);
        QSignalSpy finished(&engine, &BatchEngine::finished);
        engine.run(allRows(engine), 2, 60000);
        engine.stop();
        QVERIFY(engine.running());
        QCOMPARE(finished.count(), 0);
        sends.answerNext(0);
        sends.answerNext(3);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(sends.started, (std::vector<int>{0, 1}));
        QCOMPARE(engine.row(0).state, BatchState::Succeeded);
        QCOMPARE(engine.row(1).state, BatchState::Failed);
        QCOMPARE(engine.row(1).last.code, 3);
        for (int row : {2, 3, 4})
            QCOMPARE(engine.row(row).state, BatchState::Waiting);
    }

    void retrySendsFailedAndTimedOutOnly()
    {
        BatchEngine engine(targets(4));
        FakeSends sends(engine);
        engine.run(allRows(engine), 4, 100);
        const auto attempts = sends.pending;
        engine.deliver(attempts[0], 0, QString(), 1);
        engine.deliver(attempts[1], 1003, QStringLiteral("not logged in"), 1);
        engine.deliver(attempts[3], 0, QString(), 1);
        QTRY_COMPARE(engine.row(2).state, BatchState::TimedOut);
        QVERIFY(!engine.running());

        sends.started.clear();
        sends.pending.clear();
        QCOMPARE(engine.retryFailed(4, 60000), QString());
        QCOMPARE(sends.started, (std::vector<int>{1, 2}));
        QCOMPARE(engine.total(), 2);
        // The first send of a retried row answers late: kept, not on show.
        engine.deliver(attempts[2], 0, QStringLiteral("old"), 150);
        QCOMPARE(engine.row(2).state, BatchState::Sending);
        QCOMPARE(engine.row(2).results.size(), std::size_t(1));
        sends.answerNext(0);
        sends.answerNext(0);
        QCOMPARE(engine.failedCount(), 0);
        QCOMPARE(engine.row(1).results.size(), std::size_t(2));
        QCOMPARE(engine.retryFailed(4, 60000).isEmpty(), false); // nothing left to retry
    }

    void exportReadsBack()
    {
        std::vector<tessel::BatchTarget> two{{QStringLiteral("大厅,主屏"), "SN0", "10.0.0.1"},
                                             {QStringLiteral("侧屏 \"B\""), "SN1", "10.0.0.2"}};
        BatchEngine engine(two);
        FakeSends sends(engine);
        engine.run({0, 1}, 2, 60000);
        engine.deliver(sends.pending[0], 0, QStringLiteral("{\"a\":1}\n第二行"), 12);
        engine.deliver(sends.pending[0], 0, QStringLiteral("{\"a\":2}"), 20); // several results of one send
        engine.deliver(sends.pending[1], 1003, QStringLiteral("未登录"), 7);

        const QByteArray csv = tessel::batchCsv(engine, {0, 1});
        QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
        QCOMPARE(QString::fromUtf8(csv.mid(3)),
                 QStringLiteral("终端名称,序列号,终端IP,状态,返回码,耗时(ms),回复\r\n"
                                "\"大厅,主屏\",SN0,10.0.0.1,成功,0,20,\"{\"\"a\"\":2}\"\r\n"
                                "\"侧屏 \"\"B\"\"\",SN1,10.0.0.2,失败,1003,7,未登录\r\n"));

        const QList<QByteArray> lines = tessel::batchJsonLines(engine, {0, 1}).split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[2].isEmpty());
        const auto first = nlohmann::json::parse(lines[0].toStdString());
        QCOMPARE(QString::fromStdString(first.at("name").get<std::string>()), two[0].name);
        QCOMPARE(QString::fromStdString(first.at("batch").get<std::string>()), engine.tag());
        QCOMPARE(first.at("results").size(), std::size_t(2));
        QCOMPARE(QString::fromStdString(first.at("results").at(0).at("reply").get<std::string>()),
                 QStringLiteral("{\"a\":1}\n第二行"));
        const auto second = nlohmann::json::parse(lines[1].toStdString());
        QCOMPARE(second.at("code").get<int>(), 1003);
        QCOMPARE(QString::fromStdString(second.at("state").get<std::string>()), QStringLiteral("失败"));
    }

    void callbackFromAnotherThread()
    {
        auto engine = std::make_unique<BatchEngine>(targets(1));
        std::function<void(unsigned short, const char*)> callback;
        engine->setStarter([&](int, BatchEngine::Attempt attempt) {
            callback = engine->callbackFor(attempt);
            return QString();
        });
        engine->run({0}, 1, 60000);
        // Three answers of one send from an SDK-like thread, in order.
        std::thread([&] {
            for (const char* reply : {"0", "50", "100"})
                callback(0, reply);
        }).join();
        QTRY_COMPARE(engine->row(0).results.size(), std::size_t(3));
        QCOMPARE(engine->row(0).last.reply, QStringLiteral("100"));
        // Once the engine is gone an answer reaches nothing.
        engine.reset();
        std::thread([&] { callback(0, "late"); }).join();
        QCoreApplication::processEvents();
    }

    void twoBatchesAtOnce()
    {
        auto fleet = loggedInFleet(3);
        fleet[2].hostLoggedIn = false; // answers 1003
        tesselsim::setFleet(fleet);
        tesselsim::setLatency(std::chrono::milliseconds(5));
        tessel::RequestRunner runner;
        BatchEngine first(targets(3));
        BatchEngine second(targets(3));
        tessel::sendThroughRunner(first, runner, "getVolume()", R"({"sn":""})");
        tessel::sendThroughRunner(second, runner, "getVolume()", R"({"sn":""})");
        QSignalSpy firstDone(&first, &BatchEngine::finished);
        QSignalSpy secondDone(&second, &BatchEngine::finished);
        QCOMPARE(first.run({0, 1}, 1, 5000), QString());
        QCOMPARE(second.run({1, 2}, 2, 5000), QString());
        QTRY_COMPARE(firstDone.count() + secondDone.count(), 2);
        for (const BatchEngine* engine : {&first, &second})
            for (int row = 0; row < 3; ++row)
                QCOMPARE(engine->row(row).results.size(),
                         std::size_t(engine->row(row).state != BatchState::Idle));
        QCOMPARE(first.row(1).state, BatchState::Succeeded);
        QCOMPARE(second.row(2).last.code, 1003);
        QVERIFY(first.tag() != second.tag());
    }
};

QTEST_GUILESS_MAIN(TestBatchEngine)
#include "tst_batchengine.moc"
