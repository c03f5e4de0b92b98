#pragma once

// Windows opened from the console. The console stays on top of every other
// window; a window it opens must be above it all the same, take the keyboard
// and come to the front when clicked.

class QWidget;

namespace tessel {

// Dialog-type flags with the buttons of a main window: window managers keep
// a window above its owner only when it is of dialog type.
void giveOwnedWindowFlags(QWidget& window);

// Makes the console `window`'s owner while the console is on show, else
// `otherwise` (the main window) when that is; a window already of dialog type
// keeps its own flags. The window manager then keeps it above its owner
// alone, not above every window.
void keepAboveConsole(QWidget& window, QWidget& console, QWidget* otherwise = nullptr);

// The same, then shows it (also when minimised), raised and with the keyboard.
void showAboveConsole(QWidget& window, QWidget& console, QWidget* otherwise = nullptr);

} // namespace tessel
