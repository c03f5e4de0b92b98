// tessel-run: replays a run file against the SDK, without a display.
#include "tessel-run/fleettool.h"
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

// Runs the tool until it is done; Ctrl+C only sets a flag, which the event
// loop looks at a few times a second (it is never blocked: a run file is
// checked on a thread).
template <typename Tool> int run(QCoreApplication& app, Tool& tool)
{
    QObject::connect(&tool, &Tool::done, &app, [](int code) { QCoreApplication::exit(code); });
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &tool, [&tool] {
        if (interruptRequested.exchange(false))
            tool.interrupt();
    });
    watch.start(100);
    tool.start();
    return app.exec();
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
    if (parsed->help || parsed->version) {
        std::fputs((parsed->help ? tessel::runUsage() : tessel::runVersion()).toLocal8Bit().constData(),
                   stdout);
        return 0;
    }

    if (parsed->fleet()) {
        tessel::FleetTool tool(*parsed, stdout, stderr, isTerminal(stdout));
        return run(app, tool);
    }
    auto tool = std::make_unique<tessel::RunTool>(*parsed, stdout, stderr, isTerminal(stdout));
    const int code = run(app, *tool);
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
