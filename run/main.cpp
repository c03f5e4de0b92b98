// tessel-run: replays a run file against the SDK, without a display.
#include "run/runarguments.h"
#include "run/runtool.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

std::atomic<bool> interruptRequested{false};

extern "C" void onInterrupt(int)
{
    interruptRequested = true;
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

    tessel::RunTool tool(*parsed, stdout, stderr, isTerminal(stdout));
    QObject::connect(&tool, &tessel::RunTool::done, &app, [](int code) { QCoreApplication::exit(code); });
    // Ctrl+C only sets a flag; the event loop looks at it a few times a second.
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
