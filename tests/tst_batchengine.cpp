// The batch engine: terminals in turn, a concurrency limit, a timeout per
// terminal, stop, retry and the export texts; sends through the request runner.
#include "batch/batchengine.h"
#include "batch/batchexport.h"
#include "batch/batchrequest.h"
#include "requests/requestrunner.h"
#include "simulator/simulator.h"

#include <nlohmann/json.hpp>

#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <map>
#include <memory>
#include <numeric>
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
    std::iota(rows.begin(), rows.end(), 0);
    return rows;
}

// Sends that go nowhere: the test answers them by hand, by send number.
struct FakeSends
{
    explicit FakeSends(BatchEngine& engine) : engine(engine)
    {
        engine.setStarter([this](int row, BatchEngine::Attempt attempt) {
            started.push_back(row);
            attempts.push_back(attempt);
            return QString();
        });
    }
    void answer(std::size_t send, int code = 0, qint64 ms = 5)
    {
        engine.deliver(attempts.at(send), code, QStringLiteral("reply"), ms);
    }

    BatchEngine& engine;
    std::vector<int> started;
    std::vector<BatchEngine::Attempt> attempts;
};

} // namespace

class TestBatchEngine : public QObject
{
    Q_OBJECT

private slots:
    void init() { tesselsim::reset(); }
    void cleanup() { tesselsim::reset(); }

    void requestFault()
    {
        QVERIFY(tessel::batchRequestFault(R"({"sn":"","volumeInfo":{"ratio":1}})").isEmpty());
        for (const char* refused :
             {R"({"sn":4})", R"({"a":{"sn":"X"}})", R"([{"sn":"X"}])", R"({"sn":"X",)", ""})
            QVERIFY2(!tessel::batchRequestFault(refused).isEmpty(), refused);
    }

    // Two batches share one runner: each terminal gets its own serial, the rest
    // of the request as written, and each engine only its own results.
    void twoBatchesThroughTheRunner()
    {
        std::vector<tesselsim::Terminal> fleet;
        for (int i = 0; i < 4; ++i)
            fleet.push_back({"SN" + std::to_string(i), {}, {}, 0, 0, i != 3}); // SN3 answers 1003
        tesselsim::setFleet(fleet);
        tesselsim::setLatency(std::chrono::milliseconds(5));
        tessel::RequestRunner runner;
        BatchEngine first(targets(4));
        BatchEngine second(targets(4));
        tessel::sendThroughRunner(first, runner, "setVolume()",
                                  R"({"volumeInfo":{"ratio":30},"sn":"BZWA17422J1X20000093"})");
        tessel::sendThroughRunner(second, runner, "getVolume()", R"({"sn":""})");
        QCOMPARE(first.run({0, 2, 3}, 2, 5000), QString());
        QCOMPARE(second.run({1, 3}, 1, 5000), QString());
        QTRY_VERIFY(!first.running() && !second.running());

        std::map<std::string, std::set<std::string>> serials;
        for (const tesselsim::Call& call : tesselsim::calls()) {
            const auto request = nlohmann::json::parse(call.args.at(0), nullptr, false);
            if (request.is_object() && request.contains("sn"))
                serials[call.operation].insert(request.at("sn").get<std::string>());
            if (call.operation == "tsSetVolumeAsync")
                QCOMPARE(request.at("volumeInfo").at("ratio").get<double>(), 30.0);
        }
        QCOMPARE(serials["tsSetVolumeAsync"], (std::set<std::string>{"SN0", "SN2", "SN3"}));
        QCOMPARE(serials["tsGetVolumeAsync"], (std::set<std::string>{"SN1", "SN3"}));
        for (const BatchEngine* engine : {&first, &second})
            for (int row = 0; row < 4; ++row)
                QCOMPARE(engine->row(row).results.size(),
                         std::size_t(engine->row(row).state != BatchState::Idle));
        QCOMPARE(first.row(2).state, BatchState::Succeeded);
        QCOMPARE(second.row(3).last.code, 1003);
        QVERIFY(first.tag() != second.tag());
    }

    void concurrencyNeverExceeded_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("limit");
        QTest::newRow("fewer slots than rows") << 10 << 3;
        QTest::newRow("more slots than rows") << 5 << 8;
        QTest::newRow("largest") << 130 << 64;
    }
    void concurrencyNeverExceeded()
    {
        QFETCH(int, rows);
        QFETCH(int, limit);
        BatchEngine engine(targets(rows));
        FakeSends sends(engine);
        QCOMPARE(engine.run(allRows(engine), limit, 60000), QString());
        // Failures free their slot as well as successes do.
        for (std::size_t send = 0; send < sends.attempts.size(); ++send) {
            QCOMPARE(engine.inFlight(), std::min(limit, rows - int(send)));
            sends.answer(send, send % 3 == 0 ? 7 : 0);
        }
        QCOMPARE(int(sends.started.size()), rows);
        QCOMPARE(engine.done(), rows);
        QVERIFY(!engine.running());
    }

    void settingsOutOfRangeAndStop()
    {
        BatchEngine engine(targets(5));
        FakeSends sends(engine);
        QSignalSpy finished(&engine, &BatchEngine::finished);
        for (const auto& [concurrency, timeoutMs] : {std::pair{0, 1000}, {65, 1000}, {8, 0}})
            QVERIFY(!engine.run(allRows(engine), concurrency, timeoutMs).isEmpty());
        QVERIFY(sends.started.empty());
        // Stopped, the sends under way finish and are shown; no more start.
        engine.run(allRows(engine), 2, 60000);
        engine.stop();
        QVERIFY(engine.running());
        sends.answer(0);
        sends.answer(1, 3);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(sends.started, (std::vector<int>{0, 1}));
        QCOMPARE(engine.row(0).state, BatchState::Succeeded);
        QCOMPARE(engine.row(1).state, BatchState::Failed);
        for (int row : {2, 3, 4})
            QCOMPARE(engine.row(row).state, BatchState::NotSent);
    }

    // After 停止 the rows never sent show 未发送, are counted and retried with
    // the failed ones; the end line is recounted as late answers come in.
    void endLineAndRetry_data()
    {
        QTest::addColumn<bool>("stop");          // right after the start: two sends are out
        QTest::addColumn<QVector<int>>("codes"); // the sends' answers in order; -1 times out
        QTest::addColumn<QStringList>("ends");   // at the end, then after each late success
        QTest::addColumn<QVector<int>>("retried");
        QTest::newRow("stopped, none failed")
            << true << QVector<int>{0, 0} << QStringList{"已结束，3 台未发送"} << QVector<int>{2, 3, 4};
        QTest::newRow("stopped, one late")
            << true << QVector<int>{-1, 0}
            << QStringList{"已结束，1 台失败或超时，3 台未发送", "已结束，3 台未发送"}
            << QVector<int>{2, 3, 4};
        QTest::newRow("late answers recounted")
            << false << QVector<int>{0, -1, 0, -1, -1}
            << QStringList{"已结束，3 台失败或超时", "已结束，2 台失败或超时", "已结束，1 台失败或超时",
                           "已结束"}
            << QVector<int>{};
    }
    void endLineAndRetry()
    {
        QFETCH(bool, stop);
        QFETCH(QVector<int>, codes);
        QFETCH(QStringList, ends);
        QFETCH(QVector<int>, retried);
        BatchEngine engine(targets(5));
        FakeSends sends(engine);
        engine.run(allRows(engine), 2, 100);
        if (stop)
            engine.stop();
        std::vector<std::size_t> late;
        for (int send = 0; send < codes.size(); ++send) {
            QTRY_VERIFY(int(sends.attempts.size()) > send);
            if (codes[send] >= 0)
                sends.answer(std::size_t(send), codes[send]);
            else
                late.push_back(std::size_t(send));
        }
        QTRY_VERIFY(!engine.running());
        QCOMPARE(tessel::batchStateText(engine.row(4)), QString(stop ? "未发送" : "超时"));
        QCOMPARE(engine.endLine(), ends.takeFirst());
        for (std::size_t send : late) {
            sends.answer(send);
            QCOMPARE(engine.endLine(), ends.takeFirst());
        }
        const std::vector<int> again(retried.begin(), retried.end());
        QCOMPARE(engine.retryRows(), again);
        QCOMPARE(engine.retryFailed(8, 60000).isEmpty(), !again.empty());
        QCOMPARE(std::vector<int>(sends.started.begin() + codes.size(), sends.started.end()), again);
    }

    // A timed-out send frees its slot, and its late answer still counts, once;
    // retry sends the failed and timed-out rows only.
    void timeoutLateAnswerAndRetry()
    {
        BatchEngine engine(targets(5));
        FakeSends sends(engine);
        QSignalSpy finished(&engine, &BatchEngine::finished);
        engine.run(allRows(engine), 1, 100);
        sends.answer(0);
        sends.answer(1, 1003);
        QTRY_COMPARE(engine.row(2).state, BatchState::TimedOut);
        QCOMPARE(sends.started.at(3), 3);
        sends.answer(3);
        QTRY_COMPARE(finished.count(), 1); // row 4 timed out as well
        QCOMPARE(engine.failedCount(), 3);
        sends.answer(4, 0, 900);
        QCOMPARE(engine.row(4).state, BatchState::Succeeded);
        QCOMPARE(engine.row(4).last.ms, qint64(900));
        QCOMPARE(engine.done(), 5);
        QCOMPARE(finished.count(), 1);

        QCOMPARE(engine.retryFailed(4, 60000), QString());
        QCOMPARE(sends.started, (std::vector<int>{0, 1, 2, 3, 4, 1, 2}));
        // The first send of a retried row answers late: kept, not on show.
        sends.answer(2);
        QCOMPARE(engine.row(2).state, BatchState::Sending);
        QCOMPARE(engine.row(2).results.size(), std::size_t(1));
        sends.answer(5);
        sends.answer(6);
        QCOMPARE(engine.failedCount(), 0);
        QCOMPARE(engine.row(1).results.size(), std::size_t(2));
        QVERIFY(!engine.retryFailed(4, 60000).isEmpty()); // nothing left to retry
    }

    void exportReadsBack()
    {
        std::vector<tessel::BatchTarget> two{{QStringLiteral("大厅,主屏"), "SN0", "10.0.0.1"},
                                             {QStringLiteral("侧屏 \"B\""), "SN1", "10.0.0.2"}};
        BatchEngine engine(two);
        FakeSends sends(engine);
        engine.setOperation("getVolume()");
        engine.setRequest(R"({"sn":""})");
        engine.run({0, 1}, 2, 60000);
        engine.deliver(sends.attempts[0], 0, QStringLiteral("{\"a\":1}\n第二行"), 12);
        engine.deliver(sends.attempts[0], 0, QStringLiteral("{\"a\":2}"), 20); // several results of one send
        engine.deliver(sends.attempts[1], 1003, QStringLiteral("未登录"), 7);

        QCOMPARE(
            tessel::batchCsv(engine, {0, 1}),
            "\xEF\xBB\xBF" +
                QStringLiteral(
                    "终端名称,序列号,终端IP,状态,返回码,耗时(ms),回复,接口,请求\r\n"
                    "\"大厅,主屏\",SN0,10.0.0.1,成功,0,20,\"{\"\"a\"\":2}\",getVolume(),\"{\"\"sn\"\":"
                    "\"\"\"\"}\"\r\n"
                    "\"侧屏 "
                    "\"\"B\"\"\",SN1,10.0.0.2,失败,1003,7,未登录,getVolume(),\"{\"\"sn\"\":\"\"\"\"}\"\r\n")
                    .toUtf8());

        const QList<QByteArray> lines = tessel::batchJsonLines(engine, {0, 1}).split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[2].isEmpty());
        const auto first = nlohmann::json::parse(lines[0].toStdString());
        const auto second = nlohmann::json::parse(lines[1].toStdString());
        const auto text = [](const nlohmann::json& value) {
            return QString::fromStdString(value);
        };
        QCOMPARE(text(first.at("batch")), engine.tag());
        QCOMPARE(text(first.at("name")), two[0].name);
        QCOMPARE(first.at("results").size(), std::size_t(2));
        QCOMPARE(text(first.at("results").at(0).at("reply")), QStringLiteral("{\"a\":1}\n第二行"));
        QCOMPARE(second.at("code").get<int>(), 1003);
        QCOMPARE(text(second.at("state")), QStringLiteral("失败"));
        QCOMPARE(text(second.at("operation")) + text(second.at("request")), R"(getVolume(){"sn":""})");
    }

    // A cell a spreadsheet would run as a formula starts with an apostrophe,
    // in the file and on the clipboard; a tab or line end stays in its cell.
    void exportDefusesFormulas_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("csvCell");
        QTest::addColumn<QString>("clipboardCell");
        const auto row = [](const char* tag, const char* name, const char* csv, const char* clipboard) {
            QTest::newRow(tag) << QString(name) << QString(csv) << QString(clipboard);
        };
        row("formula", "=HYPERLINK(\"http://127.0.0.1\")", "\"'=HYPERLINK(\"\"http://127.0.0.1\"\")\"",
            "\"'=HYPERLINK(\"\"http://127.0.0.1\"\")\"");
        row("minus", "-1+2", "'-1+2", "'-1+2");
        row("at", "@SUM(A1)", "'@SUM(A1)", "'@SUM(A1)");
        row("tab first", "\t=1", "'\t=1", "\"'\t=1\"");
        row("carriage return first", "\r=1", "\"'\r=1\"", "\"'\r=1\"");
        row("tab inside", "大厅\t主屏", "大厅\t主屏", "\"大厅\t主屏\"");
        row("line end inside", "大厅\n主屏", "\"大厅\n主屏\"", "\"大厅\n主屏\"");
        row("plain", "大厅 = 主屏", "大厅 = 主屏", "大厅 = 主屏");
    }
    void exportDefusesFormulas()
    {
        QFETCH(QString, name);
        QFETCH(QString, csvCell);
        QFETCH(QString, clipboardCell);
        BatchEngine engine({{name, "SN0", "10.0.0.1"}});
        FakeSends sends(engine);
        engine.run({0}, 1, 60000);
        engine.deliver(sends.attempts[0], 0, QStringLiteral("-1"), 5);
        const QString csv = QString::fromUtf8(tessel::batchCsv(engine, {0}));
        QVERIFY2(csv.endsWith("\r\n" + csvCell + ",SN0,10.0.0.1,成功,0,5,'-1,,\r\n"), qPrintable(csv));
        const QStringList clipboard = tessel::batchClipboardText(engine, {0}).split(QLatin1Char('\n'));
        QCOMPARE(clipboard.size(), 3 + name.count(QLatin1Char('\n')));
        QVERIFY(tessel::batchClipboardText(engine, {0})
                    .endsWith("\n" + clipboardCell + "\tSN0\t10.0.0.1\t成功\t0\t5\t'-1\n"));
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
};

QTEST_GUILESS_MAIN(TestBatchEngine)
#include "tst_batchengine.moc"
