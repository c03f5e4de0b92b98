// The popup menu over the terminal table and the terminal actions.
#include "mainwindow/demogui.h"

#include <QContextMenuEvent>

void DemoGUI::contextMenuEvent(QContextMenuEvent* event)
{
    QWidget::contextMenuEvent(event);
}

void DemoGUI::slotsConnect() {}
void DemoGUI::slotsConnectSys() {}
void DemoGUI::slotsQuit() {}
void DemoGUI::slotsRename() {}
void DemoGUI::slotsRepassword() {}
void DemoGUI::slotsForgetPassword() {}
void DemoGUI::slotsDownload() {}
void DemoGUI::slotDissconnect(int, std::string) {}
void DemoGUI::slotLogin(int, QString) {}
