// The API dispatcher: one console request becomes one SDK call.
#include "mainwindow/demogui.h"

#include "console/consolehistory.h"
#include "console/dispatchtable.h"

#include <string_view>

void DemoGUI::dispatchApi(const QByteArray& apiName, const QByteArray& requestText)
{
    const DispatchEntry* entry =
        findDispatchEntry(std::string_view(apiName.constData(), static_cast<std::size_t>(apiName.size())));
    // Every send goes into the history, also one that starts no SDK call.
    const tessel::HistoryTicket ticket = console.history().recorder().recordSend(apiName, requestText);
    if (!entry)
        return;

    // Runs on an SDK thread, possibly more than once and possibly after this
    // window is gone: it holds the lifeline, copies the reply and emits. The
    // ticket files each result under this send, in the history.
    ResultCallback callback = [line = lifeline, ticket](unsigned short code, const char* reply) {
        const QString text = QString::fromUtf8(reply ? reply : ""); // bad bytes become U+FFFD
        ticket.record(static_cast<int>(code), text);
        line->reach(
            [&](DemoGUI& window) { emit window.signalsendResponseData(static_cast<int>(code), text); });
    };
    if (entry->callbackOnly)
        entry->callbackOnly(std::move(callback)); // the request text has no use here
    else
        entry->request(requestText.constData(), std::move(callback));
}
