// The API dispatcher: one console request becomes one SDK call.
#include "mainwindow/demogui.h"

void DemoGUI::dispatchApi(const QByteArray& apiName, const QByteArray& requestText)
{
    // The runner records every send, also one that starts no SDK call; the
    // results of those it starts come back through its result signal.
    const tessel::RequestRunner::Sent sent = requestRunner().send(apiName, requestText);
    if (!sent)
        return;
    consoleRequests.insert(sent.id);
    console.awaitReply(sent.id);
}
