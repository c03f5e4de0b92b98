// The API dispatcher: one console request becomes one SDK call.
#include "mainwindow/demogui.h"

#include "console/dispatchtable.h"

#include <string_view>

void DemoGUI::dispatchApi(const QByteArray& apiName, const QByteArray& requestText)
{
    const tessel::DispatchEntry* entry = tessel::findDispatchEntry(
        std::string_view(apiName.constData(), static_cast<std::size_t>(apiName.size())));
    if (!entry)
        return;

    // Runs on an SDK thread, possibly more than once and possibly after this
    // window is gone: it holds the lifeline, copies the reply and emits.
    ResultCallback callback = tessel::guardedCallback(lifeline, [](DemoGUI& window, int code,
                                                                   const std::string& reply) {
        emit window.signalsendResponseData(code, QString::fromStdString(reply)); // bad bytes become U+FFFD
    });
    entry->start(requestText.constData(), std::move(callback));
}
