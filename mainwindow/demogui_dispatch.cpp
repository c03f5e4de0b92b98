// The API dispatcher: one console request becomes one SDK call.
#include "mainwindow/demogui.h"

#include "console/consolehistory.h"
#include "console/dispatchtable.h"

#include <string_view>

void DemoGUI::dispatchApi(const QByteArray& apiName, const QByteArray& requestText)
{
    const tessel::DispatchEntry* entry = tessel::findDispatchEntry(
        std::string_view(apiName.constData(), static_cast<std::size_t>(apiName.size())));
    // Every send goes into the history, also one that starts no SDK call.
    const tessel::HistoryTicket ticket = console.history().recorder().recordSend(apiName, requestText);
    if (!entry)
        return;

    // Runs on an SDK thread, possibly more than once and possibly after this
    // window is gone: the ticket files each result under this send in the
    // history; the window, while it exists, gets it through its signal.
    auto show = tessel::guardedCallback(lifeline, [](DemoGUI& window, int code, const std::string& reply) {
        emit window.signalsendResponseData(code, QString::fromStdString(reply)); // bad bytes become U+FFFD
    });
    entry->start(requestText.constData(), [ticket, show](unsigned short code, const char* reply) {
        ticket.record(static_cast<int>(code), QString::fromUtf8(reply ? reply : ""));
        show(code, reply);
    });
}
