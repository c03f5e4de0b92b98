// The one request path: which names it refuses, and which request each result
// answers, however often and however late it comes.
#include "requests/requestrunner.h"
#include "simulator/simulator.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <thread>

using namespace std::chrono_literals;
using tessel::RequestRunner;

class TestRequestRunner : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        tesselsim::reset();
        tesselsim::setLatency(0ms);
    }
    void cleanup() { tesselsim::reset(); }

    void refusesNamesWithoutOperation_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("placeholder") << QByteArray("待开发");
        QTest::newRow("no SDK call") << QByteArray("runApp()");
        QTest::newRow("without parentheses") << QByteArray("getVolume");
        QTest::newRow("empty") << QByteArray();
    }

    void refusesNamesWithoutOperation()
    {
        QFETCH(QByteArray, name);
        RequestRunner runner;
        const RequestRunner::Sent sent = runner.send(name, "{}");
        QVERIFY(!sent);
        QCOMPARE(sent.refusal, RequestRunner::refusalText());
        QVERIFY(!RequestRunner::startsOperation(name.toStdString()));
        QCOMPARE(tesselsim::calls().size(), std::size_t(0));
    }

    void repeatedResultsKeepTheirRequest()
    {
        tesselsim::scriptReplies("tsGetVolumeAsync", {{0, "first"}, {1234, "second"}, {0, "third"}});
        RequestRunner runner;
        QSignalSpy results(&runner, &RequestRunner::result);
        const RequestRunner::Sent sent = runner.send("getVolume()", R"({"sn":"S1"})");
        QVERIFY(sent);
        QTRY_COMPARE(results.count(), 3);
        const QStringList replies{"first", "second", "third"};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(results[i][0].value<RequestRunner::Id>(), sent.id);
            QCOMPARE(results[i][2].toString(), replies[i]);
        }
        QCOMPARE(results[1][1].toInt(), 1234);
        QVERIFY(results[2][3].toLongLong() >= results[0][3].toLongLong());
        QCOMPARE(runner.request(sent.id)->serial, QString("S1"));
    }

    // The serial a request names: its top-level text "sn" only.
    void serialOfTheRequest_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("serial");
        QTest::newRow("top level") << QByteArray(R"({"a":{"sn":"INNER"},"sn":"S1"})") << QString("S1");
        QTest::newRow("nested only") << QByteArray(R"({"data":{"sn":"INNER"},"list":[{"sn":"X"}]})")
                                     << QString("");
        QTest::newRow("last one counts") << QByteArray(R"({"sn":"FIRST","sn":"LAST"})") << QString("LAST");
        QTest::newRow("last not a text") << QByteArray(R"({"sn":"FIRST","sn":{"id":"S"}})") << QString("");
        QTest::newRow("not an object") << QByteArray(R"([{"sn":"S1"}])") << QString("");
        QTest::newRow("cut short") << QByteArray(R"({"sn":"S1",)") << QString("");
        QTest::newRow("escaped") << QByteArray("{\"sn\":\"\\u0053\\\"1\"}") << QString("S\"1");
    }

    void serialOfTheRequest()
    {
        QFETCH(QByteArray, request);
        QFETCH(QString, serial);
        RequestRunner runner;
        const RequestRunner::Sent sent = runner.send("ping()", request);
        QVERIFY(sent);
        QCOMPARE(runner.request(sent.id)->serial, serial);
    }

    // A runner that keeps requests until released never forgets an open one
    // for newer sends, and forgets a released one at once; the default
    // keeps released ones for a late result.
    void requestsKeptUntilReleased_data()
    {
        QTest::addColumn<bool>("untilReleased");
        QTest::newRow("until released") << true;
        QTest::newRow("latest") << false;
    }

    void requestsKeptUntilReleased()
    {
        QFETCH(bool, untilReleased);
        RequestRunner runner(nullptr, nullptr,
                             untilReleased ? RequestRunner::Memory::UntilReleased
                                           : RequestRunner::Memory::Latest);
        const RequestRunner::Sent open = runner.send("ping()", R"({"sn":"OPEN"})");
        const RequestRunner::Sent done = runner.send("ping()", R"({"sn":"DONE"})");
        for (std::size_t i = 0; i < RequestRunner::rememberedRequests; ++i)
            runner.release(runner.send("ping()", "{}").id);
        runner.release(done.id);
        QCOMPARE(runner.request(open.id) != nullptr, untilReleased);
        QVERIFY(!runner.request(done.id));
        const RequestRunner::Sent last = runner.send("ping()", "{}");
        runner.release(last.id);
        QCOMPARE(runner.request(last.id) == nullptr, untilReleased);
        QVERIFY(tesselsim::waitIdle());
    }

    // A result held back past a later send still names the earlier request.
    void lateResultNamesItsRequest()
    {
        RequestRunner runner;
        QSignalSpy results(&runner, &RequestRunner::result);
        tesselsim::holdNextCallback("tsGetVolumeAsync");
        const RequestRunner::Sent early = runner.sendTo("getVolume()", R"({"sn":"OLD"})", "EARLY");
        const ResultCallback held = tesselsim::takeHeldCallback();
        QVERIFY(held);
        const RequestRunner::Sent later = runner.send("ping()", R"({"sn":"LATER"})");
        QTRY_COMPARE(results.count(), 1);
        QCOMPARE(results[0][0].value<RequestRunner::Id>(), later.id);

        std::thread([held] { held(7, "late"); }).join();
        QTRY_COMPARE(results.count(), 2);
        QCOMPARE(results[1][0].value<RequestRunner::Id>(), early.id);
        QCOMPARE(results[1][2].toString(), QString("late"));
        const RequestRunner::Request* request = runner.request(early.id);
        QVERIFY(request);
        QCOMPARE(request->operation, QString("getVolume()"));
        QCOMPARE(request->serial, QString("EARLY"));
        QCOMPARE(QString::fromStdString(tesselsim::calls()[0].args[0]), QString(R"({"sn":"EARLY"})"));
    }

    // Results that come after the runner is gone, from another thread or
    // already posted, reach nothing (the sanitizers watch this).
    void resultsAfterRunnerGone()
    {
        auto runner = std::make_unique<RequestRunner>();
        tesselsim::holdNextCallback("tsGetVolumeAsync");
        QVERIFY(runner->send("getVolume()", "{}"));
        const ResultCallback held = tesselsim::takeHeldCallback();
        held(0, "posted before");
        runner.reset();
        std::thread([held] { held(0, "after"); }).join();
        QCoreApplication::processEvents();
    }
};

QTEST_GUILESS_MAIN(TestRequestRunner)
#include "tst_requestrunner.moc"
