// One very long single-line request through the console, step by step, with
// the windows shown (offscreen) and painted after each step:
//  - pasted into the request box (through the clipboard, as a person does);
//  - checked (the check that runs once typing stops);
//  - sent with "请求", until its result is in the reply box;
//  - shown in the history window (opened, the request selected; its pane
//    shows the first 100,000 characters).
// Each step is timed from its start until the window is painted, i.e. how
// long the GUI thread is busy. Texts: a run of one letter (no break
// opportunity anywhere), base64-like text, and a JSON request whose one
// member holds that run. Usage: bench_longtext [BYTES] (default 2,000,000).

#include "console/consolehistory.h"
#include "console/consoletools.h"
#include "console/longlinefolder.h"
#include "historywindow/historywindow.h"
#include "mainwindow/demogui.h"
#include "simulator/simulator.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

constexpr qint64 deadlineMs = 600000;

// Lets the GUI thread finish what the step left queued, then paints `window`.
void settle(QWidget& window)
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    window.repaint();
}

double timed(const std::function<void()>& step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Runs the event loop until `done` holds; false when the deadline passed.
bool runUntil(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > deadlineMs)
            return false;
        tesselsim::waitIdle();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

QString base64Like(int size)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    QString text(size, QLatin1Char('A'));
    unsigned state = 12345;
    for (int i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        text[i] = QLatin1Char(alphabet[(state >> 16) % 64]);
    }
    return text;
}

void run(const char* what, const QString& text)
{
    // Each text starts with an empty history, not the previous text's.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    tesselsim::reset();
    tesselsim::setLatency(std::chrono::milliseconds(0));
    DemoGUI window;
    window.show();
    tesselsim::waitIdle();
    QCoreApplication::processEvents();
    DemoChildGUI* console = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<DemoChildGUI*>(widget))
            console = found;
    if (!console) {
        std::fprintf(stderr, "bench_longtext: no console window\n");
        return;
    }
    // As when a terminal row is opened: the console sends through the window.
    console->setRequestSender([&window](const QByteArray& name, const QByteArray& requestText) {
        window.dispatchApi(name, requestText);
    });
    console->show();
    settle(*console);
    auto* request = console->findChild<QTextEdit*>("textEdit_2");
    auto* reply = console->findChild<QTextEdit*>("textEdit");
    auto* tools = console->findChild<tessel::ConsoleTools*>();
    // getVolume(): a real operation, so the send reaches the simulator.
    auto* modules = console->findChild<QComboBox*>("comboBox_APIModule");
    auto* names = console->findChild<QComboBox*>("comboBox_APIName");
    modules->setCurrentIndex(3);
    names->setCurrentIndex(names->findText(QStringLiteral("getVolume()")));
    request->clear();
    reply->clear();
    QApplication::clipboard()->setText(text);
    settle(*console);

    const double paste = timed([&] {
        request->setFocus();
        request->paste();
        settle(*console);
    });
    const double check = timed([&] {
        tools->checkRequest();
        settle(*console);
    });
    const double send = timed([&] {
        console->findChild<QPushButton*>("pushButton")->click();
        runUntil([&] { return !reply->document()->isEmpty(); });
        settle(*console);
    });
    tessel::ConsoleHistory& history = console->history();
    auto* detailPane = history.window().findChild<QPlainTextEdit*>("historyDetail");
    const double shown = timed([&] {
        history.openWindow();
        // The history outlives one console: wait for this text's own request.
        const auto& list = history.recorder().list();
        runUntil([&] {
            return list.endIndex() > list.firstIndex() && list.at(list.endIndex() - 1).request == text;
        });
        history.window().selectEntry(history.recorder().list().endIndex() - 1);
        // The pane may be filled a moment later: until it shows the request.
        runUntil([&] { return detailPane->toPlainText().contains(text.left(1000)); });
        settle(history.window());
    });
    const bool intact = tessel::unfoldedText(*request->document()) == text;
    const QString detail = detailPane->toPlainText();
    std::printf("  %-28s %10.1f %10.1f %10.1f %10.1f   %s\n", what, paste, check, send, shown,
                !intact                            ? "(request box text differs)"
                : detail.contains(text.left(1000)) ? ""
                                                   : "(not in the history)");
    std::fflush(stdout);
    history.window().close();
    console->close();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int size = argc > 1 ? std::atoi(argv[1]) : 2000000;
    if (size < 16 || size > 100000000) {
        std::fprintf(stderr, "usage: bench_longtext [BYTES], BYTES from 16 to 100000000\n");
        return 2;
    }
    qputenv("QT_LOGGING_RULES", "*.debug=false;qt.qpa.*=false");
    QApplication app(argc, argv);

    std::printf("One single-line request of %d characters, offscreen, each step until painted\n", size);
    std::printf("  %-28s %10s %10s %10s %10s\n", "", "paste ms", "check ms", "send ms", "history ms");
    run("one letter repeated", QString(size, QLatin1Char('A')));
    run("base64-like", base64Like(size));
    const QString json = QStringLiteral("{\"sn\":\"BZSA07194A0049999716\",\"data\":\"%1\"}")
                             .arg(QString(size - 40, QLatin1Char('A')));
    run("JSON, one long member", json);
    tesselsim::reset();
    return 0;
}
