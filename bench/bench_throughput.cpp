// Throughput of the two reply paths of the main window, offscreen, with the
// simulator answering at once (latency 0):
//  - console replies: one console request answered many times; each reply
//    goes from the simulator thread through the window's queued signal into
//    the console's reply box;
//  - search replies: a search answered once per terminal; each reply becomes
//    a row of the table.
// Timed from the call until the last reply has been handled on the GUI
// thread. Best and median of a few rounds. Usage: bench_throughput [REPLIES]

#include "bench/benchgui.h"
#include "mainwindow/demogui.h"
#include "requests/records.h"
#include "simulator/simulator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int rounds = 5;
constexpr int deadlineMs = 120000;

// The window of a round, after its own start-up search has settled.
void settle(DemoGUI& window)
{
    window.show();
    tesselsim::waitIdle();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
}

// Runs the GUI thread's event loop until `count` emissions of `signal` have
// been delivered through a queued connection made after the window's own;
// the window's receivers have then handled as many. Milliseconds from
// `start`'s call, or -1 when they did not all arrive.
template <typename Signal, typename Start>
double timeDeliveries(DemoGUI& window, Signal signal, int count, Start start)
{
    int delivered = 0;
    QEventLoop loop;
    QObject receiver;
    QObject::connect(
        &window, signal, &receiver,
        [&] {
            if (++delivered == count)
                loop.quit();
        },
        Qt::QueuedConnection);
    QTimer::singleShot(deadlineMs, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    start();
    loop.exec();
    const double ms = timer.nsecsElapsed() / 1e6;
    return delivered == count ? ms : -1;
}

double consoleRound(int count)
{
    tesselsim::reset();
    tesselsim::setLatency(std::chrono::milliseconds(0));
    DemoGUI window;
    settle(window);

    std::vector<tesselsim::Reply> replies;
    replies.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        replies.push_back({0, "{\"sn\":\"BZSA07194A0049999716\",\"volume\":" + std::to_string(i % 101) +
                                  ",\"reply\":" + std::to_string(i) + "}"});
    const std::string last = replies.back().text;
    // The console is open, as when a person sends from it; it is the main
    // window's companion, not its child.
    QTextEdit* replyBox = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<DemoChildGUI*>(widget)) {
            widget->show();
            replyBox = widget->findChild<QTextEdit*>("textEdit");
        }
    }
    QCoreApplication::processEvents();
    tesselsim::scriptReplies("tsSetVolumeAsync", std::move(replies));
    const double ms = timeDeliveries(window, &DemoGUI::signalsendResponseData, count, [&] {
        window.dispatchApi("setVolume()", "{\"sn\":\"BZSA07194A0049999716\",\"volume\":50}");
    });

    if (!replyBox || !replyBox->toPlainText().endsWith(QString::fromStdString(last)))
        std::fprintf(stderr, "bench_throughput: the reply box does not show the last reply\n");
    return ms;
}

double searchRound(int count)
{
    tesselsim::reset();
    tesselsim::setLatency(std::chrono::milliseconds(0));
    DemoGUI window;
    settle(window);

    std::vector<tesselsim::Reply> replies;
    replies.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        tsc::SearchResponseData terminal;
        terminal.sn = "BZSA0719BENCH" + std::to_string(1000000 + i).substr(0, 7);
        terminal.name = "终端 " + std::to_string(i + 1);
        terminal.ip = "192.168." + std::to_string(1 + i / 250 % 250) + "." + std::to_string(1 + i % 250);
        terminal.width = 1920;
        terminal.height = 1080;
        terminal.hostLoggedIn = i % 7 == 0;
        replies.push_back({0, recordToJson(terminal)});
    }
    tesselsim::scriptReplies("tsSearchTerminalAsync", std::move(replies));
    auto* searchButton = window.findChild<QPushButton*>("pushButton");
    const double ms = timeDeliveries(window, &DemoGUI::signalSerch, count, [&] { searchButton->click(); });
    if (window.nextTableRow() != count)
        std::fprintf(stderr, "bench_throughput: %d rows in the table, %d expected\n", window.nextTableRow(),
                     count);
    return ms;
}

void report(const char* what, int count, std::vector<double> ms)
{
    if (std::find(ms.begin(), ms.end(), -1.0) != ms.end()) {
        std::printf("  %-34s did not finish within %d s\n", what, deadlineMs / 1000);
        return;
    }
    std::sort(ms.begin(), ms.end());
    const double best = ms.front();
    const double median = ms[ms.size() / 2];
    std::printf("  %-34s %8d %10.1f %10.1f %12.0f %12.0f\n", what, count, best, median, count / best * 1e3,
                count / median * 1e3);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    if (count < 1 || count > 1000000) {
        std::fprintf(stderr, "usage: bench_throughput [REPLIES], REPLIES from 1 to 1000000\n");
        return 2;
    }
    benchgui::dropChatter();
    // The console records every send and result; not into the user's history.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    QApplication app(argc, argv);

    std::vector<double> console, search;
    for (int i = 0; i < rounds; ++i) {
        console.push_back(consoleRound(count));
        search.push_back(searchRound(count));
    }
    std::printf("Reply throughput, offscreen, simulator latency 0 ms, %d rounds\n", rounds);
    std::printf("  %-34s %8s %10s %10s %12s %12s\n", "", "replies", "best ms", "median ms", "best /s",
                "median /s");
    report("console replies into the reply box", count, console);
    report("search replies into the table", count, search);
    tesselsim::reset();
    return 0;
}
