// The console's reply path under load: floods of results from the SDK's
// threads, the main window going away while they flow, and request texts
// that are huge, broken or blank.
#include "mainwindow/demogui.h"
#include "simulator/simulator.h"
#include "testsupport.h"

#include <QApplication>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr char loggedIn[] = "BZWA17422J1X20000093";
const QByteArray volumeRequest = QByteArray(R"({"sn":")") + loggedIn + R"("})";

std::vector<tesselsim::Reply> numberedReplies(int count, const std::string& prefix)
{
    std::vector<tesselsim::Reply> replies;
    replies.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        replies.push_back({static_cast<unsigned short>(i % 65536), prefix + std::to_string(i)});
    return replies;
}

} // namespace

class TestStressConsole : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void hundredThousandResultsOfOneSend();
    void guiRunsWhileAnSdkThreadIsBusy();
    void manyThreadsInvokeOneCallback();
    void windowGoesWhileResultsFlow();

    void badRequests_data();
    void badRequests();

private:
    std::unique_ptr<DemoGUI> window;
};

void TestStressConsole::init()
{
    tesselsim::reset();
    tesselsim::setLatency(0ms);
    window = std::make_unique<DemoGUI>();
    QTRY_COMPARE(window->nextTableRow(), int(tesselsim::fleet().size())); // the start-up search
    QVERIFY(consoleReplyBox());
}

void TestStressConsole::cleanup()
{
    window.reset();
    QVERIFY(tesselsim::waitIdle(30s));
    tesselsim::reset();
    closeAllTopLevels();
    QCoreApplication::processEvents();
}

void TestStressConsole::hundredThousandResultsOfOneSend()
{
    constexpr int count = 100000;
    tesselsim::scriptReplies("tsGetVolumeAsync", numberedReplies(count, "reply "));
    QObject context; // its queued calls go with it
    std::atomic<int> onGuiThread{0};
    connect(
        window.get(), &DemoGUI::signalsendResponseData, &context,
        [&](int, QString) {
            if (QThread::currentThread() == qApp->thread())
                ++onGuiThread;
        },
        Qt::DirectConnection);
    int delivered = 0, outOfOrder = 0;
    connect(window.get(), &DemoGUI::signalsendResponseData, &context, [&](int code, QString reply) {
        if (code != delivered % 65536 || reply != QString("reply %1").arg(delivered))
            ++outOfOrder;
        ++delivered;
    });

    window->dispatchApi("getVolume()", volumeRequest);
    // Every result is emitted while this thread runs no event loop at all: no
    // callback waits for the GUI thread.
    QVERIFY(tesselsim::waitIdle(60s));
    QCOMPARE(onGuiThread.load(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(delivered, count, 60000);
    QCOMPARE(outOfOrder, 0);
    QCOMPARE(consoleReplyBox()->toPlainText(), QString("34463\nreply 99999")); // 99999 % 65536
}

void TestStressConsole::guiRunsWhileAnSdkThreadIsBusy()
{
    // Half the results, then a callback of the test's own that holds the SDK
    // thread until the GUI thread has shown them and run a timer, then the
    // other half. The GUI thread never waits for an SDK thread.
    constexpr int half = 50000;
    tesselsim::scriptReplies("tsGetVolumeAsync", numberedReplies(half, "first "));
    tesselsim::scriptReplies("tsGetScreenBrightnessAsync", numberedReplies(half, "second "));
    QObject context; // its queued calls go with it
    std::atomic<int> delivered{0}, ticks{0};
    connect(window.get(), &DemoGUI::signalsendResponseData, &context, [&] { ++delivered; });
    QTimer timer;
    connect(&timer, &QTimer::timeout, &context, [&] { ++ticks; });
    timer.start(0);

    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    QTimer watcher; // wakes the gate whenever the GUI thread has moved on
    connect(&watcher, &QTimer::timeout, &context, [&] { changed.notify_all(); });
    watcher.start(1);

    window->dispatchApi("getVolume()", volumeRequest);
    TesselCoreAsync::tsPingAsync([&](unsigned short, const char*) {
        const int ticksBefore = ticks;
        std::unique_lock<std::mutex> lock(mutex);
        released = changed.wait_for(lock, 30s, [&] { return delivered == half && ticks >= ticksBefore + 3; });
    });
    window->dispatchApi("getScreenBrightness()", volumeRequest);

    QTRY_COMPARE_WITH_TIMEOUT(delivered.load(), 2 * half, 60000);
    QVERIFY(tesselsim::waitIdle());
    QVERIFY(released);
    QCOMPARE(consoleReplyBox()->toPlainText(), QString("49999\nsecond 49999"));
}

void TestStressConsole::manyThreadsInvokeOneCallback()
{
    // The vendor's SDK may call one callback from several threads at once.
    constexpr int threads = 4, perThread = 25000;
    tesselsim::holdNextCallback("tsGetVolumeAsync");
    window->dispatchApi("getVolume()", volumeRequest);
    const ResultCallback callback = tesselsim::takeHeldCallback();
    QVERIFY(callback);

    int delivered = 0, outOfOrder = 0;
    std::vector<int> lastSeen(threads, -1);
    QString last;
    QObject context; // its queued calls go with it
    connect(window.get(), &DemoGUI::signalsendResponseData, &context, [&](int code, QString reply) {
        const QStringList parts = reply.split(' ');
        const int thread = code, index = parts.value(1).toInt();
        if (parts.size() != 2 || thread < 0 || thread >= threads ||
            index != lastSeen[std::size_t(thread)] + 1)
            ++outOfOrder;
        else
            lastSeen[std::size_t(thread)] = index;
        last = reply;
        ++delivered;
    });
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&callback, t] {
            for (int i = 0; i < perThread; ++i) {
                const std::string reply = "thread " + std::to_string(i);
                callback(static_cast<unsigned short>(t), reply.c_str());
            }
        });
    // Joined before this thread runs its event loop: no invocation waits for it.
    for (std::thread& worker : workers)
        worker.join();
    QTRY_COMPARE_WITH_TIMEOUT(delivered, threads * perThread, 60000);
    QCOMPARE(outOfOrder, 0);
    QCOMPARE(lastSeen, std::vector<int>(threads, perThread - 1));
    QVERIFY(consoleReplyBox()->toPlainText().endsWith("\n" + last));
}

void TestStressConsole::windowGoesWhileResultsFlow()
{
    // Results of the console, of a search and of threads of the test's own
    // keep coming while the window is closed and destroyed.
    tesselsim::setLatency(1ms);
    tesselsim::scriptReplies("tsGetVolumeAsync", numberedReplies(100000, "late "));
    std::vector<tesselsim::Reply> found(10000, tesselsim::Reply{0, R"({"sn":"S","name":"late"})"});
    tesselsim::scriptReplies("tsSearchTerminalAsync", std::move(found));
    tesselsim::holdNextCallback("tsPingAsync");
    window->dispatchApi("ping()", "");
    const ResultCallback held = tesselsim::takeHeldCallback();
    QVERIFY(held);
    window->dispatchApi("getVolume()", volumeRequest);
    window->findChild<QPushButton*>("pushButton")->click();

    QObject context; // its queued calls go with it
    std::atomic<int> delivered{0}, invoked{0};
    connect(window.get(), &DemoGUI::signalsendResponseData, &context, [&] { ++delivered; });
    std::atomic<bool> gone{false};
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t)
        workers.emplace_back([&] {
            // While the window lives, no more than a thousand results wait for
            // the GUI thread; once it is gone, two thousand more each.
            for (int afterwards = 0; afterwards < 2000;) {
                if (gone)
                    ++afterwards;
                else if (invoked - delivered > 1000) {
                    std::this_thread::yield();
                    continue;
                }
                held(7, "from a thread");
                ++invoked;
            }
        });
    QTRY_VERIFY_WITH_TIMEOUT(delivered >= 500, 30000);
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(delivered >= 1000 && window->nextTableRow() >= 10, 30000);
    window.reset();
    gone = true;
    for (std::thread& worker : workers)
        worker.join();
    QVERIFY(!tesselsim::waitIdle(0ms)); // the simulator had results left to give
    QCoreApplication::processEvents();
    QVERIFY(!consoleReplyBox());
    tesselsim::reset(); // drops them, and with them the last hold on the window's lifeline
}

void TestStressConsole::badRequests_data()
{
    QTest::addColumn<QByteArray>("apiName");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("shown");

    const QByteArray big(10 << 20, 'x');
    const QString cut = "request is not a JSON object: \"" + QString(200, 'x') + "...\"";
    QTest::newRow("10 MB, not JSON") << QByteArray("getVolume()") << big << "1001\n" + cut;
    QTest::newRow("10 MB serial number")
        << QByteArray("getVolume()") << R"({"sn":")" + big + R"("})"
        << "1002\nno terminal with serial number \"" + QString(200, 'x') + "...\"";
    QTest::newRow("10 MB, login") << QByteArray("loginSkyrell()") << big << "1001\n" + cut;
    QTest::newRow("invalid UTF-8") << QByteArray("getVolume()") << QByteArray("{\"sn\":\"\xff\xfe\"}")
                                   << QString(
                                          "1001\nrequest is not UTF-8 (byte 7 is not part of a character): "
                                          "\"{\"sn\":\"") +
                                          QChar(0xFFFD) + QChar(0xFFFD) + "\"}\"";
    QTest::newRow("empty") << QByteArray("getVolume()") << QByteArray()
                           << QString("1001\nrequest is not a JSON object: \"\"");
    QTest::newRow("blank") << QByteArray("getVolume()") << QByteArray(" \t\n ")
                           << QString("1001\nrequest is not a JSON object: \" \t\n \"");
    QTest::newRow("empty, no member needed") << QByteArray("getCloudPlayerList()") << QByteArray()
                                             << QString("1004\nrequest lacks member \"data\"");
}

void TestStressConsole::badRequests()
{
    QFETCH(QByteArray, apiName);
    QFETCH(QByteArray, request);
    QFETCH(QString, shown);
    QSignalSpy spy(window.get(), &DemoGUI::signalsendResponseData);
    window->dispatchApi(apiName, request);
    QTRY_COMPARE(consoleReplyBox()->toPlainText(), shown);
    QVERIFY(tesselsim::waitIdle());
    QCoreApplication::processEvents();
    QCOMPARE(spy.size(), 1);
}

QTEST_MAIN(TestStressConsole)
#include "tst_stress_console.moc"
