#include "bench/benchgui.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <ctime>

namespace benchgui {
namespace {

QtMessageHandler defaultHandler = nullptr;

void passCritical(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtDebugMsg && type != QtWarningMsg && type != QtInfoMsg && defaultHandler)
        defaultHandler(type, context, message);
}

} // namespace

void dropChatter()
{
    defaultHandler = qInstallMessageHandler(passCritical);
}

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

Ticks tickUntil(const std::function<bool()>& done, const std::function<void()>& start, int deadlineMs)
{
    Ticks ticks;
    QEventLoop loop;
    QElapsedTimer clock;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    qint64 last = 0;
    double lastCpu = threadCpuMs();
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const double gap = (now - last) / 1e6;
        last = now;
        const double cpu = threadCpuMs();
        ticks.longestWorkMs = std::max(ticks.longestWorkMs, cpu - lastCpu);
        lastCpu = cpu;
        ticks.longestGapMs = std::max(ticks.longestGapMs, gap);
        ticks.gapsOver16 += gap > 16;
        if (done() || now / 1000000 > deadlineMs) {
            ticks.done = done();
            loop.quit();
        }
    });
    clock.start();
    ticker.start();
    QTimer::singleShot(0, [&] {
        last = clock.nsecsElapsed();
        lastCpu = threadCpuMs();
        if (start)
            start();
    });
    loop.exec();
    ticks.elapsedMs = clock.nsecsElapsed() / 1e6;
    return ticks;
}

} // namespace benchgui
