// The API dispatcher: one console request becomes one SDK call.
#include "mainwindow/demogui.h"

void DemoGUI::dispatchApi(const QByteArray& apiName, const QByteArray& requestText)
{
    Q_UNUSED(apiName);
    Q_UNUSED(requestText);
}
