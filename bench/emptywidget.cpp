// The yardstick of the start-up and memory benchmarks: the least a Qt Widgets
// program does before a person sees something. Shows an empty QWidget and,
// once its window is exposed, prints
//   window shown after T ms from process start, peak memory K KiB
// and quits.

#include "processfigures/processfigures.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <cstdio>

namespace {

class ExposeWatch : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The window is marked exposed before its expose event is delivered.
        auto* window = qobject_cast<QWindow*>(watched);
        if (!finished && event->type() == QEvent::Expose && window && window->isExposed()) {
            finished = true;
            std::printf("window shown after %.0f ms from process start, peak memory %ld KiB\n",
                        tessel::msSinceProcessStart().value_or(-1.0), tessel::peakMemoryKiB().value_or(-1L));
            std::fflush(stdout);
            QApplication::exit(0);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool finished = false;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget widget;
    ExposeWatch watch;
    widget.show();
    widget.windowHandle()->installEventFilter(&watch);
    return app.exec();
}
