#pragma once

// The main window's keyboard: F5 searches like "搜索", Enter on a table row
// opens the console like a double-click, Shift+F10 opens the popup menu like
// the Menu key, Tab runs through the buttons in their visual order, then the
// table, then back to the first button.

#include "mainwindow/ui_demogui.h"

#include <functional>

class QWidget;

namespace tessel {

// `openConsole` gets the table's current row, as a double-click would.
void installMainWindowKeys(QWidget* window, Ui::DemoGUIClass& form, std::function<void(int row)> openConsole);

} // namespace tessel
