#include "console/ownedwindow.h"

#include <QWidget>
#include <QWindow>

namespace tessel {

void giveOwnedWindowFlags(QWidget& window)
{
    const Qt::WindowFlags flags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                  Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;
    // Setting flags hides a window on show; the same flags again would too.
    if (window.windowFlags() != flags)
        window.setWindowFlags(flags);
}

void keepAboveConsole(QWidget& window, QWidget& console, QWidget* otherwise)
{
    if (window.windowType() != Qt::Dialog)
        giveOwnedWindowFlags(window);
    QWidget* owner = console.isVisible() ? &console : otherwise;
    if (owner && !owner->isVisible())
        owner = nullptr;
    window.winId(); // its native window, to be given an owner
    window.windowHandle()->setTransientParent(owner ? owner->windowHandle() : nullptr);
}

void showAboveConsole(QWidget& window, QWidget& console, QWidget* otherwise)
{
    keepAboveConsole(window, console, otherwise);
    if (window.isMinimized())
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace tessel
