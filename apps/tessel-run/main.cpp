// tessel-run: replays a run file against the SDK, without a display.
#include "tessel-run/runarguments.h"
#include "tessel-run/runtool.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

std::atomic<bool> interruptRequested{false};

extern "C" void onInterrupt(int signal)
{
    interruptRequested = true;
    // A second Ctrl+C ends the program at once, should the first not.
    std::signal(signal, SIG_DFL);
}

bool isTerminal(std::FILE* stream)
{
#ifdef Q_OS_UNIX
    return isatty(fileno(stream)) != 0;
#else
    (void)stream;
    return false;
#endif
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    QString error;
    const std::optional<tessel::RunArguments> parsed =
        tessel::parseRunArguments(arguments, qgetenv("TESSEL_RUN_PASSWORD"), error);
    if (!parsed) {
        std::fprintf(stderr, "tessel-run: %s\n%s", error.toLocal8Bit().constData(),
                     tessel::runUsage().toLocal8Bit().constData());
        return tessel::RunTool::BadInput;
    }
    if (parsed->help) {
        std::fputs(tessel::runUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }

    auto tool = std::make_unique<tessel::RunTool>(*parsed, stdout, stderr, isTerminal(stdout));
    QObject::connect(tool.get(), &tessel::RunTool::done, &app,
                     [](int code) { QCoreApplication::exit(code); });
    // Ctrl+C only sets a flag; the event loop looks at it a few times a
    // second (it is never blocked: the run file is checked on a thread).
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, tool.get(), [&tool] {
        if (interruptRequested.exchange(false))
            tool->interrupt();
    });
    watch.start(100);
    tool->start();
    const int code = app.exec();
    const bool abandoned = tool->stillChecking();
    tool.reset(); // removes the copy of a run file read from a pipe
    if (abandoned) {
        // The checking thread still waits for a pipe: it must not see the
        // program's statics destroyed under it.
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}
