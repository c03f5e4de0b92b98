// The console's history:
//  - a flood: one request answered 100,000 times from a thread of its own (as
//    the SDK's threads do) while the history window is open on that request;
//    the longest gap between ticks of a 1 ms timer on the GUI thread, and the
//    time until every result is in the list, the window and the file;
//  - the database's growth per result;
//  - two copies of the history recording 10,000 results each into one
//    database at once (the bench runs itself twice as those copies);
//  - reading a full history (10,000 requests) back, and start-up of the
//    program with such a history beside start-up with none.
// Usage: bench_history [RESULTS] [RUNS]: 100,000 results, 20 start-up runs.
//        bench_history --copy PATH SENDS RESULTS TAG: one of the two copies.

#include "bench/benchgui.h"
#include "bench/benchprocess.h"
#include "history/historyrecorder.h"
#include "history/historystore.h"
#include "historywindow/historywindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <time.h>
#include <vector>

namespace {

using benchgui::Ticks;
using benchgui::tickUntil;

constexpr int fullHistory = 10000;

const QString sampleRequest = QStringLiteral(
    R"({"sn":"BZSA07194A0049999716","programName":"节目一","pageCount":3,"files":["a.mp4","b.png"]})");

QString replyNumber(int i)
{
    return QStringLiteral(
               R"({"sn":"BZSA07194A0049999716","progress":%1,"state":"transferring","file":"a.mp4"})")
        .arg(i % 101);
}

// CPU time of the calling thread: the GUI thread's own work between two
// ticks, whatever else the machine is busy with.

struct Flood
{
    double longestGapMs = 0;
    double longestWorkMs = 0;
    int gapsOver16 = 0;
    double totalMs = 0;
    double bytesPerResult = 0;
    double commitMs = 0; // what was left to commit once all were shown
    bool complete = false;
};

// The database once its write-ahead log is folded in.
qint64 databaseBytes(const QString& path)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "size");
        db.setDatabaseName(path);
        if (db.open())
            QSqlQuery(db).exec("PRAGMA wal_checkpoint(TRUNCATE)");
    }
    QSqlDatabase::removeDatabase("size");
    return QFileInfo(path).size() + QFileInfo(path + "-wal").size();
}

Flood flood(const QString& folder, int results)
{
    Flood figures;
    const QString path = folder + "/flood.sqlite";
    tessel::HistoryRecorder recorder(path);
    recorder.ensureLoaded();
    while (!recorder.isLoaded())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    tessel::HistoryWindow window(recorder);
    window.show();
    const tessel::HistoryTicket ticket =
        recorder.recordSend("startTransferProgram()", sampleRequest.toUtf8());
    const qint64 entry = recorder.list().endIndex() - 1;
    window.selectEntry(entry);
    recorder.flush();
    QCoreApplication::processEvents();
    const qint64 sizeBefore = databaseBytes(path);

    const QPlainTextEdit* detail = window.findChild<QPlainTextEdit*>("historyDetail");
    std::vector<QString> replies;
    replies.reserve(static_cast<std::size_t>(results));
    for (int i = 0; i < results; ++i)
        replies.push_back(replyNumber(i));

    std::thread sdk;
    const Ticks ticks = tickUntil(
        [&] {
            return recorder.list().at(entry).results.size() == static_cast<std::size_t>(results) &&
                   detail->document()->lastBlock().text() == replies.back();
        },
        [&] {
            sdk = std::thread([&] {
                for (const QString& reply : replies)
                    ticket.record(0, reply);
            });
        });
    sdk.join();
    figures.longestGapMs = ticks.longestGapMs;
    figures.gapsOver16 = ticks.gapsOver16;
    figures.longestWorkMs = ticks.longestWorkMs;
    figures.totalMs = ticks.elapsedMs;
    figures.complete = recorder.list().at(entry).results.size() == static_cast<std::size_t>(results);
    QElapsedTimer commit;
    commit.start();
    recorder.flush();
    figures.commitMs = commit.nsecsElapsed() / 1e6;
    figures.bytesPerResult = double(databaseBytes(path) - sizeBefore) / results;
    return figures;
}

// The yardstick of the gaps: the same ticks for as long, beside a thread
// that only spins, as the flood's sender keeps a core busy. What this shows
// is the machine's doing, not the program's.
double controlGapMs(double durationMs)
{
    std::atomic<bool> stop{false};
    std::thread spinner([&] {
        while (!stop.load(std::memory_order_relaxed)) {
        }
    });
    QElapsedTimer clock;
    clock.start();
    const double longest = tickUntil([&] { return clock.nsecsElapsed() / 1e6 >= durationMs; }).longestGapMs;
    stop = true;
    spinner.join();
    return longest;
}

// A history of 10,000 requests, one result each, recorded as the program does.
QString writeFullHistory(const QString& dataHome)
{
    const QString path = dataHome + "/tessel-console/history.sqlite";
    tessel::HistoryRecorder recorder(path);
    for (int i = 0; i < fullHistory; ++i)
        recorder.recordSend("setVolume()", sampleRequest.toUtf8()).record(0, replyNumber(i));
    recorder.flush();
    return path;
}

double readBackMs(const QString& path, int* requests)
{
    std::vector<double> ms;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        tessel::HistoryStore store(path, tessel::HistoryLimits());
        const tessel::HistoryLoad load = store.open();
        ms.push_back(timer.nsecsElapsed() / 1e6);
        *requests = static_cast<int>(load.entries.size());
    }
    return *std::min_element(ms.begin(), ms.end());
}

// One of the two copies: SENDS sends of RESULTS results each.
int recordAsCopy(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int sends = QByteArray(argv[3]).toInt();
    const int results = QByteArray(argv[4]).toInt();
    tessel::HistoryRecorder recorder(QString::fromLocal8Bit(argv[2]));
    for (int n = 0; n < sends; ++n) {
        const tessel::HistoryTicket ticket = recorder.recordSend("copy" + QByteArray(argv[5]) + "()", "{}");
        for (int r = 0; r < results; ++r)
            ticket.record(0, replyNumber(r));
        recorder.flush();
    }
    return 0;
}

struct Copies
{
    double ms = 0;
    bool finished = false;
    qint64 results = -1;
};

// Two copies at once, each 100 sends of 100 results, into one new database.
Copies twoCopies(const QString& folder)
{
    Copies figures;
    const QString path = folder + "/copies.sqlite";
    QElapsedTimer clock;
    clock.start();
    QProcess first;
    QProcess second;
    first.start(QCoreApplication::applicationFilePath(), {"--copy", path, "100", "100", "A"});
    second.start(QCoreApplication::applicationFilePath(), {"--copy", path, "100", "100", "B"});
    figures.finished = first.waitForFinished(300000) && second.waitForFinished(300000) &&
                       first.exitCode() == 0 && second.exitCode() == 0;
    figures.ms = clock.nsecsElapsed() / 1e6;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "count");
        db.setDatabaseName(path);
        QSqlQuery query(db);
        if (db.open() && query.exec("SELECT COUNT(*) FROM results") && query.next())
            figures.results = query.value(0).toLongLong();
    }
    QSqlDatabase::removeDatabase("count");
    return figures;
}

// The window opened on a full history: read in the background, then the
// list fills. Milliseconds until it has, and the longest tick gap meanwhile.
std::pair<double, double> openOnFull(const QString& path)
{
    tessel::HistoryRecorder recorder(path);
    tessel::HistoryWindow window(recorder);
    window.show();
    QCoreApplication::processEvents();
    const Ticks ticks = tickUntil([&] { return recorder.isLoaded(); }, [&] { recorder.ensureLoaded(); });
    return {ticks.elapsedMs, ticks.longestGapMs};
}

bool startUp(const std::string& dataHome, std::vector<double>& into)
{
    const benchprocess::Environment environment{{{"QT_QPA_PLATFORM", "offscreen"},
                                                 {"TESSEL_SIM_LATENCY_MS", "0"},
                                                 {"TESSEL_EXIT_AFTER_ROWS", "1"},
                                                 {"XDG_DATA_HOME", dataHome}},
                                                {"TESSEL_SIM_FLEET", "TESSEL_SNAPSHOT"}};
    const std::optional<benchprocess::Run> run = benchprocess::run(TESSEL_CONSOLE_EXE, environment);
    if (!run || run->exitCode != 0) {
        std::fprintf(stderr, "bench_history: tessel-console did not report\n");
        return false;
    }
    into.push_back(run->msToFirstLine);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && QByteArray(argv[1]) == "--copy")
        return recordAsCopy(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int results = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 20;
    if (results < 1 || results > 10000000 || runs < 1 || runs > 1000) {
        std::fprintf(stderr, "usage: bench_history [RESULTS] [RUNS]\n");
        return 2;
    }
    QApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;

    // The worst of three rounds.
    Flood figures;
    for (int round = 0; round < 3; ++round) {
        const Flood one = flood(folder.path() + "/" + QString::number(round), results);
        figures.longestGapMs = std::max(figures.longestGapMs, one.longestGapMs);
        figures.longestWorkMs = std::max(figures.longestWorkMs, one.longestWorkMs);
        figures.gapsOver16 = std::max(figures.gapsOver16, one.gapsOver16);
        figures.totalMs = std::max(figures.totalMs, one.totalMs);
        figures.bytesPerResult = one.bytesPerResult;
        figures.commitMs = std::max(figures.commitMs, one.commitMs);
        figures.complete = round == 0 ? one.complete : figures.complete && one.complete;
    }
    std::printf("History, offscreen\n");
    std::printf("  %d results of one request, window open on it, worst of 3 rounds:\n", results);
    if (!figures.complete)
        std::printf("    not all results arrived within 120 s\n");
    std::printf("    longest gap between 1 ms GUI timer ticks  %8.1f ms (%d gaps over 16 ms)\n",
                figures.longestGapMs, figures.gapsOver16);
    std::printf("    longest GUI-thread CPU time between ticks  %8.1f ms\n", figures.longestWorkMs);
    double control = 0;
    for (int round = 0; round < 3; ++round)
        control = std::max(control, controlGapMs(figures.totalMs));
    std::printf("    yardstick: longest gap, no history, a spinning thread, as long  %.1f ms\n", control);
    std::printf("    until all are in the list and detail pane  %8.0f ms\n", figures.totalMs);
    std::printf("    then left to commit                       %8.0f ms\n", figures.commitMs);
    std::printf("    database growth per result                %8.1f bytes (reply of %d bytes)\n",
                figures.bytesPerResult, static_cast<int>(replyNumber(99999).toUtf8().size()));

    const Copies copies = twoCopies(folder.path());
    std::printf("  two copies at once, 10,000 results each: %s in %.0f ms, %lld results in the database\n",
                copies.finished ? "both finished" : "NOT both finished", copies.ms,
                static_cast<long long>(copies.results));

    const QString emptyHome = folder.path() + "/empty-home";
    const QString fullHome = folder.path() + "/full-home";
    QDir().mkpath(emptyHome);
    const QString fullPath = writeFullHistory(fullHome);
    int requests = 0;
    const double readMs = readBackMs(fullPath, &requests);
    std::printf("  opening and reading a full history (%d requests, %lld bytes), best of 3  %8.1f ms\n",
                requests, static_cast<long long>(databaseBytes(fullPath)), readMs);

    const std::pair<double, double> opened = openOnFull(fullPath);
    std::printf("  window opened on it: list filled after %.1f ms, longest tick gap meanwhile %.1f ms\n",
                opened.first, opened.second);

    std::vector<double> none, full, warmUp;
    if (!startUp(emptyHome.toStdString(), warmUp) || !startUp(fullHome.toStdString(), warmUp))
        return 1;
    for (int i = 0; i < runs; ++i)
        if (!startUp(emptyHome.toStdString(), none) || !startUp(fullHome.toStdString(), full))
            return 1;
    const double noneMedian = benchprocess::median(none);
    const double fullMedian = benchprocess::median(full);
    // The program opens its history on first use, so start-up does not.
    std::printf("  start-up until the first row, %d runs each, median:\n", runs);
    std::printf("    no history                                %8.1f ms\n", noneMedian);
    std::printf("    %d requests in the history            %8.1f ms\n", fullHistory, fullMedian);
    std::printf("    ratio                                     %8.2f\n", fullMedian / noneMedian);
    return 0;
}
