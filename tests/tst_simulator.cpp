// The simulated SDK's own contract: threads, scripts, call log, idle wait,
// fleet files and the answers of searches and logins.
#include "simulator/errors.h"
#include "simulator/fleet.h"
#include "simulator/simulator.h"
#include "tessel/tesselcommon.h"
#include "tessel/tesselcoreasync.h"

#include <QTemporaryDir>
#include <QtTest>

#include <nlohmann/json.hpp>

#include <atomic>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;
using nlohmann::json;

namespace {

// Collects the invocations of one callback, from whatever thread they come.
struct Collector
{
    struct Invocation
    {
        unsigned short code;
        std::string reply;
        std::thread::id thread;
    };

    std::mutex mutex;
    std::vector<Invocation> invocations;

    ResultCallback callback()
    {
        return [this](unsigned short code, const char* reply) {
            std::lock_guard<std::mutex> lock(mutex);
            invocations.push_back({code, reply, std::this_thread::get_id()});
        };
    }
    std::vector<Invocation> take()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return invocations;
    }
};

tesselsim::Terminal terminal(const char* sn, const char* ip)
{
    tesselsim::Terminal t;
    t.sn = sn;
    t.name = sn;
    t.ip = ip;
    return t;
}

// Starts a broadcast, one-address ("appoint") or range search.
void startSearch(const QString& operation, const std::string& request, Collector& collector)
{
    if (operation == "broadcast")
        TesselCoreAsync::tsSearchTerminalAsync(collector.callback());
    else if (operation == "appoint")
        TesselCoreAsync::tsSearchAppointIpAsync(request.c_str(), collector.callback());
    else
        TesselCoreAsync::tsSearchRangeIpAsync(request.c_str(), collector.callback());
}

std::string writeFile(const QTemporaryDir& dir, const char* name, const std::string& content)
{
    const std::string path = dir.filePath(name).toStdString();
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        tesselsim::reset();
        tesselsim::setLatency(0ms);
    }
    void cleanup() { tesselsim::reset(); }

    void callbacksRunOnASimulatorThread()
    {
        Collector collector;
        TesselCoreAsync::tsSearchTerminalAsync(collector.callback());
        QVERIFY(tesselsim::waitIdle());
        const auto invocations = collector.take();
        QCOMPARE(invocations.size(), tesselsim::fleet().size());
        for (const auto& invocation : invocations)
            QVERIFY(invocation.thread != std::this_thread::get_id());
    }

    void requestIsCopiedBeforeTheCallReturns()
    {
        Collector collector;
        {
            std::string request = R"({"ip":"192.168.1.21"})";
            TesselCoreAsync::tsSearchAppointIpAsync(request.c_str(), collector.callback());
            request.assign(request.size(), 'x');
        }
        QVERIFY(tesselsim::waitIdle());
        QCOMPARE(collector.take().size(), std::size_t(1));
        QCOMPARE(tesselsim::calls().back().args.at(0), std::string(R"({"ip":"192.168.1.21"})"));
    }

    void scriptedRepliesAnswerTheNextCallOnly()
    {
        tesselsim::scriptReplies("tsPingAsync", {{7, "first"}, {0, "second"}});
        Collector scripted;
        Collector normal;
        TesselCoreAsync::tsPingAsync(scripted.callback());
        TesselCoreAsync::tsPingAsync(normal.callback());
        QVERIFY(tesselsim::waitIdle());
        const auto got = scripted.take();
        QCOMPARE(got.size(), std::size_t(2));
        QCOMPARE(got[0].code, 7);
        QCOMPARE(got[0].reply, std::string("first"));
        QCOMPARE(got[1].code, 0);
        QCOMPARE(got[1].reply, std::string("second"));
        QCOMPARE(normal.take().size(), std::size_t(1));
    }

    void callLogKeepsOrderAndArguments()
    {
        TesselCoreAsync::tsInit("C:/dir", "{}");
        TesselCoreAsync::tsSearchTerminalAsync([](unsigned short, const char*) {});
        TesselCoreAsync::tsGetVolumeAsync(nullptr, [](unsigned short, const char*) {});
        const auto calls = tesselsim::calls();
        QCOMPARE(calls.size(), std::size_t(3));
        QCOMPARE(calls[0].operation, std::string("tsInit"));
        QCOMPARE(calls[0].args, (std::vector<std::string>{"C:/dir", "{}"}));
        QCOMPARE(calls[1].operation, std::string("tsSearchTerminalAsync"));
        QVERIFY(calls[1].args.empty());
        QCOMPARE(calls[2].operation, std::string("tsGetVolumeAsync"));
        QCOMPARE(calls[2].args, std::vector<std::string>{""}); // a null request reads as empty
    }

    // The log keeps the latest calls, as many as set until the next reset.
    void callLogKeepsTheLatest()
    {
        tesselsim::setCallLogLimit(2);
        for (const char* request : {"A", "B", "C"})
            TesselCoreAsync::tsGetVolumeAsync(request, [](unsigned short, const char*) {});
        const auto calls = tesselsim::calls();
        QCOMPARE(calls.size(), std::size_t(2));
        QCOMPARE(calls[0].args, std::vector<std::string>{"B"});
        tesselsim::reset();
        for (const char* request : {"A", "B", "C"})
            TesselCoreAsync::tsGetVolumeAsync(request, [](unsigned short, const char*) {});
        QCOMPARE(tesselsim::calls().size(), std::size_t(3));
    }

    void resetDropsPendingInvocationsAndRestoresDefaults()
    {
        tesselsim::setLatency(10s);
        tesselsim::setFleet({});
        Collector collector;
        TesselCoreAsync::tsSearchTerminalAsync(collector.callback());
        QVERIFY(!tesselsim::waitIdle(10ms));
        tesselsim::reset();
        QVERIFY(tesselsim::waitIdle(0ms));
        QVERIFY(collector.take().empty());
        QVERIFY(tesselsim::calls().empty());
        QCOMPARE(tesselsim::fleet().size(), tesselsim::defaultFleet().size());
    }

    void repliesOfOneCallArriveInOrderAfterTheLatency()
    {
        tesselsim::setLatency(5ms);
        Collector collector;
        const auto started = std::chrono::steady_clock::now();
        TesselCoreAsync::tsSearchTerminalAsync(collector.callback());
        QVERIFY(tesselsim::waitIdle());
        QVERIFY(std::chrono::steady_clock::now() - started >= 5ms * tesselsim::fleet().size());
        const auto got = collector.take();
        const auto fleet = tesselsim::fleet();
        QCOMPARE(got.size(), fleet.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            QCOMPARE(json::parse(got[i].reply).at("sn").get<std::string>(), fleet[i].sn);
    }

    void defaultFleetHoldsTheSampleTerminals()
    {
        const auto fleet = tesselsim::defaultFleet();
        QVERIFY(fleet.size() >= 6);
        int loggedIn = 0;
        for (const char* sn : {"BZSA07194A0049999716", "BZWA17422J1X20000093", "BZSA79353N1310006847",
                               "BZVA28407N3X20008006", "W9A5HAJW", "BZSA07201A0010000183"}) {
            const auto it =
                std::find_if(fleet.begin(), fleet.end(), [&](const auto& t) { return t.sn == sn; });
            QVERIFY2(it != fleet.end(), sn);
            QVERIFY(it->ip.rfind("192.168.1.", 0) == 0);
        }
        for (const auto& t : fleet)
            loggedIn += t.hostLoggedIn;
        QVERIFY(loggedIn >= 1);
    }

    void fleetFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("fault");
        QTest::newRow("empty") << QByteArray("") << "the file is empty";
        QTest::newRow("blank") << QByteArray(" \n") << "the file is empty";
        QTest::newRow("not json") << QByteArray("terminals: []") << "not valid JSON";
        QTest::newRow("truncated") << QByteArray(R"({"terminals":[{"sn":"A")") << "not valid JSON";
        QTest::newRow("array") << QByteArray("[]") << R"(expected an object with a "terminals" array)";
        QTest::newRow("sn missing") << QByteArray(R"({"terminals":[{"name":"x"}]})")
                                    << R"(terminal 0: "sn" must be a non-empty string)";
        QTest::newRow("width text") << QByteArray(R"({"terminals":[{"sn":"A"},{"sn":"B","width":"wide"}]})")
                                    << R"(terminal 1: "width" must be an integer from -32768 to 32767)";
        QTest::newRow("height too big") << QByteArray(R"({"terminals":[{"sn":"A","height":40000}]})")
                                        << R"(terminal 0: "height" must be an integer from -32768 to 32767)";
        QTest::newRow("width beyond int64")
            << QByteArray(R"({"terminals":[{"sn":"A","width":18446744073709551615}]})")
            << R"(terminal 0: "width" must be an integer from -32768 to 32767)";
        QTest::newRow("flag text") << QByteArray(R"({"terminals":[{"sn":"A","hostLoggedIn":"yes"}]})")
                                   << R"(terminal 0: "hostLoggedIn" must be true or false)";
        QTest::newRow("not UTF-8") << QByteArray("{\"terminals\":[{\"sn\":\"\xff\"}]}")
                                   << "not UTF-8 (byte 21 is not part of a character)";
        QTest::newRow("NUL after the text")
            << QByteArray("{\"terminals\":[]}\0", 17) << "not valid JSON (byte 16 is NUL)";
        QTest::newRow("NUL inside a text")
            << QByteArray("{\"terminals\":[{\"sn\":\"A\0B\"}]}", 28) << "not valid JSON (byte 22 is NUL)";
        QTest::newRow("text after the object") << QByteArray(R"({"terminals":[]} x)") << "not valid JSON";
        QTest::newRow("terminals an object")
            << QByteArray(R"({"terminals":{}})") << R"(expected an object with a "terminals" array)";
        QTest::newRow("terminal a number")
            << QByteArray(R"({"terminals":[5]})") << "terminal 0: must be an object";
        QTest::newRow("sn empty") << QByteArray(R"({"terminals":[{"sn":""}]})")
                                  << R"(terminal 0: "sn" must be a non-empty string)";
        QTest::newRow("name a number") << QByteArray(R"({"terminals":[{"sn":"A","name":5}]})")
                                       << R"(terminal 0: "name" must be a string)";
        QTest::newRow("ip null") << QByteArray(R"({"terminals":[{"sn":"A","ip":null}]})")
                                 << R"(terminal 0: "ip" must be a string)";
        QTest::newRow("width a fraction") << QByteArray(R"({"terminals":[{"sn":"A","width":1.5}]})")
                                          << R"(terminal 0: "width" must be an integer from -32768 to 32767)";
    }

    void fleetFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, fault);
        QTemporaryDir dir;
        const std::string path = writeFile(dir, "fleet.json", content.toStdString());
        std::string error;
        QVERIFY(tesselsim::loadFleet(path, error).terminals.empty());
        QCOMPARE(QString::fromStdString(error), "fleet file " + QString::fromStdString(path) + ": " + fault);
    }

    void fleetFileReadsEveryMember()
    {
        QTemporaryDir dir;
        const std::string path =
            writeFile(dir, "fleet.json",
                      R"({"terminals":[{"sn":"S1","name":"屏","ip":"10.0.0.1","width":-2,"height":0,)"
                      R"("hostLoggedIn":true,"user":"u","password":"p"},{"sn":"S2"}]})");
        std::string error;
        const auto fleet = tesselsim::loadFleet(path, error).terminals;
        QVERIFY(error.empty());
        QCOMPARE(fleet.size(), std::size_t(2));
        QCOMPARE(fleet[0].name, std::string("屏"));
        QCOMPARE(fleet[0].width, std::int16_t(-2));
        QVERIFY(fleet[0].hostLoggedIn);
        QCOMPARE(fleet[0].password, std::string("p"));
        QCOMPARE(fleet[1].user, std::string("admin"));
        QCOMPARE(fleet[1].password, std::string("123456"));

        QVERIFY(tesselsim::loadFleet(dir.filePath("missing.json").toStdString(), error).terminals.empty());
        QVERIFY(QString::fromStdString(error).endsWith("missing.json: cannot be read"));
    }

    void searchesAnswerFromTheFleet_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("request");
        QTest::addColumn<QStringList>("serials");
        QTest::newRow("broadcast") << "broadcast"
                                   << "" << QStringList{"A", "B", "C", "D"};
        QTest::newRow("address record") << "appoint"
                                        << R"({"ip":"192.168.1.9"})" << QStringList{"B"};
        QTest::newRow("bare address") << "appoint"
                                      << " 192.168.1.9\n"
                                      << QStringList{"B"};
        QTest::newRow("address twice") << "appoint"
                                       << "10.1.1.1" << QStringList{"C", "D"};
        QTest::newRow("range numeric")
            << "range"
            << R"({"startIp":"192.168.1.9","endIp":"192.168.1.10"})" << QStringList{"B", "A"};
        QTest::newRow("range inclusive one")
            << "range"
            << R"({"startIp":"192.168.1.10","endIp":"192.168.1.10"})" << QStringList{"A"};
    }

    void searchesAnswerFromTheFleet()
    {
        QFETCH(QString, operation);
        QFETCH(QString, request);
        QFETCH(QStringList, serials);
        tesselsim::setFleet({terminal("A", "192.168.1.10"), terminal("B", "192.168.1.9"),
                             terminal("C", "10.1.1.1"), terminal("D", "10.1.1.1")});
        Collector collector;
        startSearch(operation, request.toStdString(), collector);
        QVERIFY(tesselsim::waitIdle());
        QStringList got;
        for (const auto& invocation : collector.take()) {
            QCOMPARE(invocation.code, 0);
            tsc::SearchResponseData record;
            tsc::from_json(json::parse(invocation.reply), record);
            got << QString::fromStdString(record.sn);
        }
        QCOMPARE(got, serials);
    }

    void searchThatFindsNothingAnswersOnceWithAFailure_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("broadcast, empty fleet") << "broadcast"
                                                << ""
                                                << "broadcast";
        QTest::newRow("no such address") << "appoint"
                                         << "192.168.7.7"
                                         << "192.168.7.7";
        QTest::newRow("empty range") << "range"
                                     << R"({"startIp":"192.168.1.100","endIp":"192.168.1.120"})"
                                     << "192.168.1.100";
        QTest::newRow("range not json") << "range"
                                        << "192.168.1.1-2"
                                        << "192.168.1.1-2";
    }

    void searchThatFindsNothingAnswersOnceWithAFailure()
    {
        QFETCH(QString, operation);
        QFETCH(QString, request);
        QFETCH(QString, mentions);
        if (operation == "broadcast")
            tesselsim::setFleet({});
        Collector collector;
        startSearch(operation, request.toStdString(), collector);
        QVERIFY(tesselsim::waitIdle());
        const auto got = collector.take();
        QCOMPARE(got.size(), std::size_t(1));
        QVERIFY(got[0].code != 0);
        QVERIFY2(QString::fromStdString(got[0].reply).contains(mentions), got[0].reply.c_str());
    }

    void loginLogoutAndPasswordChangeUseTheTerminalsCredentials()
    {
        auto send = [](void (*op)(const char*, ResultCallback), const json& request) {
            Collector collector;
            const std::string text = request.dump();
            op(text.c_str(), collector.callback());
            tesselsim::waitIdle();
            return collector.take().at(0);
        };
        const json login = {
            {"sn", "W9A5HAJW"}, {"username", "admin"}, {"password", "123456"}, {"loginType", 1}};
        auto reply = send(TesselCoreAsync::tsLoginAsync, login);
        QCOMPARE(reply.code, 0);
        QVERIFY(json::parse(reply.reply).at("logined").get<bool>());
        auto findW9 = [] {
            for (const auto& t : tesselsim::fleet())
                if (t.sn == "W9A5HAJW")
                    return t;
            return tesselsim::Terminal{};
        };
        QVERIFY(findW9().hostLoggedIn);

        reply = send(TesselCoreAsync::tsLogoutAsync, {{"sn", "W9A5HAJW"}, {"type", 1}});
        QCOMPARE(reply.code, 0);
        QVERIFY(!findW9().hostLoggedIn);

        reply =
            send(TesselCoreAsync::tsChangePassWordAsync,
                 {{"sn", "W9A5HAJW"}, {"username", "admin"}, {"oldPassword", "wrong"}, {"newPassword", "n"}});
        QCOMPARE(reply.code, tesselsim::WrongCredentials);
        reply = send(
            TesselCoreAsync::tsChangePassWordAsync,
            {{"sn", "W9A5HAJW"}, {"username", "admin"}, {"oldPassword", "123456"}, {"newPassword", "n"}});
        QCOMPARE(reply.code, 0);

        reply = send(TesselCoreAsync::tsLoginAsync, login);
        QCOMPARE(reply.code, tesselsim::WrongCredentials);
        QVERIFY(!findW9().hostLoggedIn);
        reply =
            send(TesselCoreAsync::tsLoginAsync, {{"sn", "NOPE"}, {"username", "admin"}, {"password", "x"}});
        QCOMPARE(reply.code, tesselsim::UnknownTerminal);
        reply = send(TesselCoreAsync::tsLoginAsync, json("not an object"));
        QCOMPARE(reply.code, tesselsim::RequestNotJson);
    }

    void recordsConvertBothWays()
    {
        tsc::SearchResponseData record;
        record.sn = "S";
        record.width = -3;
        record.height = 32767;
        record.name = "大厅";
        record.hostLoggedIn = true;
        record.ip = "192.168.1.2";
        json value;
        tsc::to_json(value, record);
        tsc::SearchResponseData back;
        tsc::from_json(value, back);
        QCOMPARE(back.name, record.name);
        QCOMPARE(back.width, record.width);
        QCOMPARE(back.height, record.height);
        QVERIFY(back.hostLoggedIn);

        tsc::LoginReplyData reply;
        QVERIFY_EXCEPTION_THROWN(tsc::from_json(json::parse(R"({"logined":"yes"})"), reply), json::exception);
        QVERIFY_EXCEPTION_THROWN(tsc::from_json(json::parse("[1]"), reply), json::exception);
    }

    void callbackIsNeverDestroyedUnderTheLock_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("held callback replaced") << "replaced";
        QTest::newRow("script without replies") << "script";
        QTest::newRow("held callback dropped by reset") << "reset";
    }

    void callbackIsNeverDestroyedUnderTheLock()
    {
        // What the callback captures calls the SDK when it goes; under the
        // simulator's lock that call would wait for itself.
        QFETCH(QString, way);
        std::atomic<bool> called{false};
        struct Guard
        {
            std::atomic<bool>* called = nullptr;
            ~Guard()
            {
                TesselCoreAsync::tsPingAsync(ResultCallback());
                *called = true;
            }
        };
        auto guard = std::make_shared<Guard>();
        guard->called = &called;
        ResultCallback callback = [guard](unsigned short, const char*) {
        };
        guard.reset();

        std::promise<void> finished;
        std::thread caller([&] {
            if (way == "script")
                tesselsim::scriptReplies("tsPingAsync", {});
            else
                tesselsim::holdNextCallback("tsPingAsync");
            TesselCoreAsync::tsPingAsync(std::move(callback));
            if (way == "replaced") {
                tesselsim::holdNextCallback("tsPingAsync");
                TesselCoreAsync::tsPingAsync(ResultCallback());
            } else if (way == "reset") {
                tesselsim::reset();
            }
            finished.set_value();
        });
        if (finished.get_future().wait_for(60s) != std::future_status::ready)
            qFatal("the simulator deadlocked destroying a callback");
        caller.join();
        QVERIFY(called);
    }
};

QTEST_APPLESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
