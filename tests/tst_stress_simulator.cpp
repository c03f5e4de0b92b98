// The simulated SDK under load and under bad input: many calling threads,
// floods of replies, resets while replies flow, callbacks that call back in,
// and request texts that are huge, deeply nested, empty or not UTF-8.
// Built also with ThreadSanitizer (make check-tsan).
#include "sdkoperations.h"
#include "simulator/errors.h"
#include "simulator/simulator.h"
#include "tessel/tesselcoreasync.h"

#include <QTextCodec>
#include <QtTest>

#include <nlohmann/json.hpp>

#include <atomic>
#include <condition_variable>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using nlohmann::json;

namespace {

constexpr char loggedIn[] = "BZWA17422J1X20000093"; // logged in by default
// ThreadSanitizer watches every byte copied, which makes ten megabytes slow
// and tells nothing more about threads; under it one megabyte has to do.
#if defined(__SANITIZE_THREAD__)
constexpr std::size_t hugeRequestBytes = 1u << 20;
#else
constexpr std::size_t hugeRequestBytes = 10u << 20;
#endif
// No failure text grows with the request that caused it.
constexpr std::size_t longestFailureText = 1024;

// Counts invocations from any thread and lets a test wait for a number of them.
class Counter
{
public:
    ResultCallback callback(std::string* lastReply = nullptr)
    {
        return [this, lastReply](unsigned short, const char* reply) {
            std::lock_guard<std::mutex> lock(mutex);
            ++count;
            if (lastReply)
                *lastReply = reply;
            reached.notify_all();
        };
    }
    bool waitFor(int wanted, std::chrono::milliseconds timeout = 30s)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return reached.wait_for(lock, timeout, [&] { return count >= wanted; });
    }
    int value()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return count;
    }

private:
    std::mutex mutex;
    std::condition_variable reached;
    int count = 0;
};

struct Answer
{
    int code = -1;
    std::string text;
    int invocations = 0;
};

// Sends one request and collects its answers; the last one is kept.
Answer send(RequestOperation operation, const std::string& request)
{
    auto answer = std::make_shared<Answer>();
    auto mutex = std::make_shared<std::mutex>();
    operation(request.c_str(), [answer, mutex](unsigned short code, const char* reply) {
        std::lock_guard<std::mutex> lock(*mutex);
        answer->code = code;
        answer->text = reply;
        ++answer->invocations;
    });
    if (!tesselsim::waitIdle(30s))
        qWarning("simulator not idle after a request of %zu bytes", request.size());
    std::lock_guard<std::mutex> lock(*mutex);
    return *answer;
}

// Whether a reply is UTF-8 throughout, as the SDK promises.
bool isUtf8(const std::string& text)
{
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(text.data(), int(text.size()), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

} // namespace

class TestStressSimulator : public QObject
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
        QVERIFY(tesselsim::waitIdle(30s));
        tesselsim::reset();
    }

    void manyThreadsCallAtOnce();
    void hundredThousandRepliesOfOneCall();
    void resetWhileRepliesFlow();
    void callbacksCallBackIn();
    void heldCallbackFromManyThreads();

    void hugeRequests_data();
    void hugeRequests();
    void everyOperationRefusesHugeGarbage();
    void blankRequests();
    void invalidUtf8Requests_data();
    void invalidUtf8Requests();
};

void TestStressSimulator::manyThreadsCallAtOnce()
{
    // Four threads call at once while a fifth reads the simulator's state;
    // every call is logged and every reply of every call arrives, in order.
    constexpr int threads = 4;
    constexpr int callsPerThread = 1500;
    const int fleetSize = int(tesselsim::fleet().size());

    struct PerCall
    {
        std::mutex mutex;
        std::vector<std::string> replies;
    };
    std::vector<std::vector<std::shared_ptr<PerCall>>> perThread(threads);
    std::atomic<int> offThread{0};
    const std::thread::id testThread = std::this_thread::get_id();
    std::atomic<bool> done{false};

    std::thread reader([&] {
        while (!done.load()) {
            (void)tesselsim::calls().size();
            (void)tesselsim::fleet();
            tesselsim::setLatency(0ms);
        }
    });
    std::vector<std::thread> callers;
    for (int t = 0; t < threads; ++t)
        callers.emplace_back([&, t] {
            for (int i = 0; i < callsPerThread; ++i) {
                auto record = std::make_shared<PerCall>();
                perThread[std::size_t(t)].push_back(record);
                ResultCallback callback = [record, &offThread, testThread](unsigned short,
                                                                           const char* reply) {
                    if (std::this_thread::get_id() != testThread)
                        ++offThread;
                    std::lock_guard<std::mutex> lock(record->mutex);
                    record->replies.emplace_back(reply);
                };
                const std::string ratio = std::to_string(i % 100);
                switch (i % 5) {
                case 0:
                    TesselCoreAsync::tsSetVolumeAsync(
                        (R"({"sn":")" + std::string(loggedIn) + R"(","volumeInfo":{"ratio":)" + ratio + "}}")
                            .c_str(),
                        callback);
                    break;
                case 1:
                    TesselCoreAsync::tsGetVolumeAsync((R"({"sn":")" + std::string(loggedIn) + "\"}").c_str(),
                                                      callback);
                    break;
                case 2:
                    TesselCoreAsync::tsSearchTerminalAsync(callback);
                    break;
                case 3:
                    TesselCoreAsync::tsLoginAsync((R"({"sn":")" + std::string(loggedIn) +
                                                   R"(","username":"admin","password":"123456"})")
                                                      .c_str(),
                                                  callback);
                    break;
                default:
                    TesselCoreAsync::tsPingAsync(callback);
                }
            }
        });
    for (std::thread& caller : callers)
        caller.join();
    QVERIFY(tesselsim::waitIdle(60s));
    done = true;
    reader.join();

    QCOMPARE(int(tesselsim::calls().size()), threads * callsPerThread);
    int invocations = 0;
    for (int t = 0; t < threads; ++t)
        for (int i = 0; i < callsPerThread; ++i) {
            const PerCall& record = *perThread[std::size_t(t)][std::size_t(i)];
            const int expected = i % 5 == 2 ? fleetSize : 1;
            QCOMPARE(int(record.replies.size()), expected);
            invocations += expected;
            if (i % 5 == 2)
                for (int k = 0; k < fleetSize; ++k)
                    QCOMPARE(json::parse(record.replies[std::size_t(k)]).at("sn").get<std::string>(),
                             tesselsim::fleet()[std::size_t(k)].sn);
        }
    QCOMPARE(offThread.load(), invocations);
}

void TestStressSimulator::hundredThousandRepliesOfOneCall()
{
    constexpr int count = 100000;
    std::vector<tesselsim::Reply> replies;
    replies.reserve(count);
    for (int i = 0; i < count; ++i)
        replies.push_back({static_cast<unsigned short>(i % 65536), "reply " + std::to_string(i)});
    tesselsim::scriptReplies("tsPingAsync", std::move(replies));

    // Written on the simulator thread only; read once it is idle.
    int received = 0;
    int outOfOrder = 0;
    TesselCoreAsync::tsPingAsync([&](unsigned short code, const char* reply) {
        if (code != received % 65536 || reply != "reply " + std::to_string(received))
            ++outOfOrder;
        ++received;
    });
    QVERIFY(tesselsim::waitIdle(60s));
    QCOMPARE(received, count);
    QCOMPARE(outOfOrder, 0);
}

void TestStressSimulator::resetWhileRepliesFlow()
{
    std::vector<tesselsim::Reply> replies(100000, tesselsim::Reply{0, "x"});
    tesselsim::scriptReplies("tsPingAsync", std::move(replies));
    Counter counter;
    auto owner = std::make_shared<int>(0);
    std::weak_ptr<int> watch = owner;
    // The 1000th reply waits inside its callback until the reset has begun:
    // on a busy machine the simulator could otherwise deliver all of them
    // before the test thread gets to reset.
    std::promise<void> resetBegun;
    std::shared_future<void> gate = resetBegun.get_future().share();
    {
        ResultCallback callback = counter.callback();
        TesselCoreAsync::tsPingAsync(
            [callback, owner, gate, n = 0](unsigned short code, const char* reply) mutable {
                callback(code, reply);
                if (++n == 1000)
                    gate.wait();
            });
    }
    owner.reset();
    QVERIFY(counter.waitFor(1000));
    std::thread resetter([] { tesselsim::reset(); });
    // reset() clears the call log before it waits for the running callback.
    QTRY_VERIFY_WITH_TIMEOUT(tesselsim::calls().empty(), 30000);
    resetBegun.set_value();
    resetter.join();
    // Nothing is invoked once reset() has returned, and the callback is gone.
    const int atReset = counter.value();
    QCOMPARE(atReset, 1000);
    QVERIFY(tesselsim::waitIdle(0ms));
    QVERIFY(watch.expired());
    TesselCoreAsync::tsPingAsync(counter.callback());
    QVERIFY(tesselsim::waitIdle());
    QCOMPARE(counter.value(), atReset + 1);
}

void TestStressSimulator::callbacksCallBackIn()
{
    // A chain of calls, each made from the previous call's callback on the
    // simulator thread, ends with a reset from inside a callback.
    constexpr int chain = 2000;
    std::atomic<int> made{0};
    std::function<void()> next;
    next = [&] {
        TesselCoreAsync::tsGetVolumeAsync((R"({"sn":")" + std::string(loggedIn) + "\"}").c_str(),
                                          [&](unsigned short code, const char*) {
                                              if (code != 0)
                                                  return;
                                              if (++made < chain)
                                                  next();
                                              else
                                                  tesselsim::reset();
                                          });
    };
    next();
    QTRY_COMPARE_WITH_TIMEOUT(made.load(), chain, 30000);
    QVERIFY(tesselsim::waitIdle());
    QVERIFY(tesselsim::calls().empty()); // the reset from the last callback
}

void TestStressSimulator::heldCallbackFromManyThreads()
{
    tesselsim::holdNextCallback("tsPingAsync");
    Counter counter;
    TesselCoreAsync::tsPingAsync(counter.callback());
    QVERIFY(tesselsim::waitIdle(0ms)); // held, so nothing is pending
    QCOMPARE(tesselsim::calls().size(), std::size_t(1));
    ResultCallback held = tesselsim::takeHeldCallback();
    QVERIFY(held);
    QVERIFY(!tesselsim::takeHeldCallback());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&held] {
            for (int i = 0; i < 5000; ++i)
                held(0, "from a thread of the test");
        });
    for (std::thread& thread : threads)
        thread.join();
    QCOMPARE(counter.value(), 20000);

    // A held callback that nobody took is dropped by reset().
    auto owner = std::make_shared<int>(0);
    std::weak_ptr<int> watch = owner;
    tesselsim::holdNextCallback("tsPingAsync");
    TesselCoreAsync::tsPingAsync([owner](unsigned short, const char*) {});
    owner.reset();
    QVERIFY(!watch.expired());
    tesselsim::reset();
    QVERIFY(watch.expired());
}

void TestStressSimulator::hugeRequests_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("begins");

    const QByteArray big(int(hugeRequestBytes), 'x');
    const QByteArray sn = QByteArray(R"({"sn":")") + loggedIn + R"(",)";
    const QByteArray deep =
        QByteArray(int(hugeRequestBytes / 2), '[') + QByteArray(int(hugeRequestBytes / 2), ']');
    // Ten thousand texts of a kilobyte each.
    QByteArray texts = "[";
    for (std::size_t i = 0; i < hugeRequestBytes / 1024; ++i)
        texts += (i ? ",\"" : "\"") + QByteArray(1020, 'y') + "\"";
    texts += "]";
    QTest::newRow("not JSON") << "tsGetVolumeAsync" << big << int(tesselsim::RequestNotJson)
                              << "request is not a JSON object: \"xxx";
    QTest::newRow("not JSON, search range") << "tsSearchRangeIpAsync" << big << int(tesselsim::RequestNotJson)
                                            << "request is not a JSON object: \"xxx";
    QTest::newRow("not JSON, login") << "tsLoginAsync" << big << int(tesselsim::RequestNotJson)
                                     << "request is not a JSON object: \"xxx";
    QTest::newRow("bare address") << "tsSearchAppointIpAsync" << big << int(tesselsim::NothingFound)
                                  << "search of address \"xxx";
    QTest::newRow("address member") << "tsSearchAppointIpAsync"
                                    << R"({"ip":")" + big + R"("})" << int(tesselsim::NothingFound)
                                    << "search of address \"xxx";
    QTest::newRow("range start") << "tsSearchRangeIpAsync"
                                 << R"({"startIp":")" + big + R"(","endIp":"1.1.1.1"})"
                                 << int(tesselsim::NothingFound) << "search of range \"xxx";
    QTest::newRow("serial number") << "tsGetVolumeAsync"
                                   << R"({"sn":")" + big + R"("})" << int(tesselsim::UnknownTerminal)
                                   << "no terminal with serial number \"xxx";
    QTest::newRow("serial number, Chinese")
        << "tsGetVolumeAsync"
        << R"({"sn":")" + QString(int(hugeRequestBytes / 3), QChar(0x7EC8)).toUtf8() + R"("})"
        << int(tesselsim::UnknownTerminal) << QString::fromUtf8("no terminal with serial number \"终终终");
    QTest::newRow("serial number, login")
        << "tsLoginAsync"
        << R"({"username":"admin","password":"123456","sn":")" + big + R"("})"
        << int(tesselsim::UnknownTerminal) << "no terminal with serial number \"xxx";
    QTest::newRow("text for an object")
        << "tsSetVolumeAsync" << sn + R"("volumeInfo":")" + big + R"("})" << int(tesselsim::InvalidMember)
        << "member \"volumeInfo\" must be an object, not \"xxx";
    QTest::newRow("array for a number")
        << "tsSetVolumeAsync" << sn + R"("volumeInfo":{"ratio":)" + texts + "}}"
        << int(tesselsim::InvalidMember)
        << "member \"/volumeInfo/ratio\" must be a number from 0 to 100, not [\"yyy";
    QTest::newRow("nested too deep") << "tsGetVolumeAsync" << deep << int(tesselsim::RequestNotJson)
                                     << "request nests deeper than";
    QTest::newRow("nested too deep inside") << "tsSetVolumeAsync" << sn + R"("volumeInfo":)" + deep + "}"
                                            << int(tesselsim::RequestNotJson) << "request nests deeper than";
    QTest::newRow("nested too deep, search")
        << "tsSearchAppointIpAsync"
        << R"({"ip":)" + deep + "}" << int(tesselsim::NothingFound) << "search of address \"{\"ip\":[[[";
    QTest::newRow("nested too deep, range")
        << "tsSearchRangeIpAsync"
        << R"({"startIp":)" + deep + "}" << int(tesselsim::RequestNotJson) << "request nests deeper than";
}

void TestStressSimulator::hugeRequests()
{
    QFETCH(QString, operation);
    QFETCH(QByteArray, request);
    QFETCH(int, code);
    QFETCH(QString, begins);
    const Answer answer = send(requestOperations().at(operation.toStdString()), request.toStdString());
    QCOMPARE(answer.invocations, 1);
    QCOMPARE(answer.code, code);
    QVERIFY2(answer.text.size() <= longestFailureText, answer.text.substr(0, 300).c_str());
    QVERIFY2(QString::fromStdString(answer.text).startsWith(begins), answer.text.substr(0, 300).c_str());
    // Cut texts are marked as cut, and never in the middle of a character.
    QVERIFY(isUtf8(answer.text));
    // The call is logged with the whole request, as for any other.
    QCOMPARE(tesselsim::calls().back().args.at(0).size(), std::size_t(request.size()));
}

void TestStressSimulator::everyOperationRefusesHugeGarbage()
{
    const std::string big(hugeRequestBytes, '{');
    for (const auto& [name, operation] : requestOperations()) {
        const Answer answer = send(operation, big);
        QVERIFY2(answer.invocations >= 1, name.c_str());
        // Operations that do not read the request may succeed; the others say why not.
        if (answer.code != 0) {
            QVERIFY2(!answer.text.empty(), name.c_str());
            QVERIFY2(answer.text.size() <= longestFailureText, name.c_str());
        }
        tesselsim::reset(); // drops the call log and its copy of the request
        tesselsim::setLatency(0ms);
    }
}

void TestStressSimulator::blankRequests()
{
    // Empty and blank texts, and no text at all: a clear failure, or the
    // operation's own answer where it needs no member.
    for (const std::string& blank : {std::string(), std::string(" \t\r\n ")}) {
        for (const auto& [name, operation] : requestOperations()) {
            const Answer answer = send(operation, blank);
            QVERIFY2(answer.invocations >= 1, name.c_str());
            if (answer.code != 0) {
                QVERIFY2(!answer.text.empty(), name.c_str());
                QVERIFY2(answer.text.size() <= longestFailureText, name.c_str());
            }
        }
        tesselsim::reset();
        tesselsim::setLatency(0ms);
    }
    const Answer empty = send(TesselCoreAsync::tsGetVolumeAsync, "");
    QCOMPARE(empty.code, int(tesselsim::RequestNotJson));
    QCOMPARE(QString::fromStdString(empty.text), QString(R"(request is not a JSON object: "")"));
    const Answer address = send(TesselCoreAsync::tsSearchAppointIpAsync, "  \n");
    QCOMPARE(address.code, int(tesselsim::NothingFound));
    QCOMPARE(QString::fromStdString(address.text), QString(R"(search of address "": no terminal answered)"));
}

void TestStressSimulator::invalidUtf8Requests_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says");
    const QByteArray sn = QByteArray(R"({"sn":")") + loggedIn + R"(",)";
    QTest::newRow("in a member") << "tsSetVolumeAsync"
                                 << sn + "\"volumeInfo\":{\"ratio\":1,\"x\":\"\xff\xfe\"}}"
                                 << int(tesselsim::RequestNotJson)
                                 << "request is not UTF-8 (byte 58 is not part of a character)";
    QTest::newRow("in the serial number")
        << "tsGetVolumeAsync" << QByteArray("{\"sn\":\"\xc3(\"}") << int(tesselsim::RequestNotJson)
        << "request is not UTF-8 (byte 7 is not part of a character)";
    QTest::newRow("overlong") << "tsLoginAsync" << QByteArray("{\"sn\":\"\xc0\xaf\"}")
                              << int(tesselsim::RequestNotJson)
                              << "request is not UTF-8 (byte 7 is not part of a character)";
    QTest::newRow("cut at the end") << "tsGetVolumeAsync" << QByteArray("\xe7\xbb")
                                    << int(tesselsim::RequestNotJson)
                                    << "request is not UTF-8 (byte 0 is not part of a character)";
    QTest::newRow("bare address") << "tsSearchAppointIpAsync" << QByteArray("192.168.1.\xff")
                                  << int(tesselsim::NothingFound) << "search of address";
    QTest::newRow("range") << "tsSearchRangeIpAsync" << QByteArray("{\"startIp\":\"\xff\"}")
                           << int(tesselsim::RequestNotJson)
                           << "request is not UTF-8 (byte 12 is not part of a character)";
}

void TestStressSimulator::invalidUtf8Requests()
{
    QFETCH(QString, operation);
    QFETCH(QByteArray, request);
    QFETCH(int, code);
    QFETCH(QString, says);
    const Answer answer = send(requestOperations().at(operation.toStdString()), request.toStdString());
    QCOMPARE(answer.invocations, 1);
    QCOMPARE(answer.code, code);
    // The reply quotes the request with its bad bytes replaced, so that it is
    // UTF-8 itself.
    const QString text = QString::fromUtf8(QByteArray::fromStdString(answer.text));
    QVERIFY2(text.contains(says), answer.text.c_str());
    QVERIFY(text.contains(QChar::ReplacementCharacter));
    QVERIFY(isUtf8(answer.text));
}

QTEST_APPLESS_MAIN(TestStressSimulator)
#include "tst_stress_simulator.moc"
