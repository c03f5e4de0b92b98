#include "batchwindow/batchlauncher.h"

#include "batch/batchrequest.h"
#include "batchwindow/batchlogindialog.h"
#include "batchwindow/batchwindow.h"
#include "history/historyrecorder.h"
#include "requests/records.h"
#include "requests/requestrunner.h"
#include "terminalactions/terminalactions.h"

#include <QCoreApplication>

#include <string_view>
#include <utility>

namespace tessel {

namespace {

// The texts were the main window's; they keep its translation context.
QString mainWindowText(const char* text)
{
    return QCoreApplication::translate("DemoGUI", text);
}

} // namespace

BatchWindow* BatchLauncher::sendWindow(const QByteArray& apiName, const QByteArray& requestText,
                                       std::vector<BatchCandidate> candidates, QWidget* parent) const
{
    auto* window = new BatchWindow(QString::fromUtf8(apiName), std::move(candidates), parent);
    window->setRequest(QString::fromUtf8(requestText));
    sendThroughRunner(window->engine(), runner, apiName, [window] { return window->requestText().toUtf8(); });
    window->setPreflight([apiName, window] {
        if (!RequestRunner::startsOperation(
                std::string_view(apiName.constData(), static_cast<std::size_t>(apiName.size()))))
            return RequestRunner::refusalText();
        return batchRequestFault(window->requestText().toUtf8());
    });
    return window;
}

BatchWindow* BatchLauncher::loginWindow(std::vector<BatchCandidate> candidates, Login login,
                                        QWidget* parent) const
{
    auto* window =
        new BatchWindow(mainWindowText("登录（用户 %1）").arg(login.userName), std::move(candidates), parent);
    BatchEngine& engine = window->engine();
    for (int row : login.heldRows)
        engine.skip(row, mainWindowText("已被上位机登录"));
    setLoginStarter(*window, login.userName, login.password);
    window->setRetryHandler(
        [launcher = *this, window, userName = login.userName] { launcher.askLoginRetry(*window, userName); });
    engine.setJudge([](const BatchResult& result, QString& note) {
        if (result.code != 0)
            return BatchState::Failed;
        tsc::LoginReplyData reply;
        recordFromJson(result.reply.toStdString(), reply);
        if (reply.logined)
            return BatchState::Succeeded;
        note = mainWindowText("请求成功，但登录失败");
        return BatchState::Failed;
    });
    if (login.loggedIn)
        QObject::connect(&engine, &BatchEngine::rowChanged, window,
                         [&engine, loggedIn = std::move(login.loggedIn)](int row) {
                             const BatchRow& batchRow = engine.row(row);
                             if (batchRow.state == BatchState::Succeeded && batchRow.answered)
                                 loggedIn(batchRow.target.serial);
                         });
    return window;
}

void BatchLauncher::setLoginStarter(BatchWindow& window, const QString& userName,
                                    const QString& password) const
{
    BatchEngine& engine = window.engine();
    engine.setStarter([&engine, &recorder = recorder, &actions = actions, userName,
                       password](int row, BatchEngine::Attempt attempt) {
        const std::string sn = engine.row(row).target.serial.toStdString();
        // Recorded as a single log-in would be named in the catalogue; the
        // password never reaches the history.
        const std::string shown = TerminalActions::loginRequestText(TerminalActions::LoginKind::User, sn,
                                                                    userName, QStringLiteral("******"));
        const HistoryTicket ticket =
            recorder.recordSend("login()", QByteArray::fromStdString(shown), engine.tag());
        // Every answer is recorded and goes to the engine, which drops it
        // once it is gone.
        TerminalActions::Listener listener;
        listener.onArrival = [ticket, deliver = engine.callbackFor(attempt)](unsigned short code,
                                                                             const char* reply) {
            ticket.record(code, QString::fromUtf8(reply ? reply : ""));
            deliver(code, reply);
        };
        actions.logIn(TerminalActions::LoginKind::User, sn, userName, password, std::move(listener));
        return QString();
    });
}

void BatchLauncher::askLoginRetry(BatchWindow& window, const QString& userName) const
{
    // The window has refused a retry with nothing to retry or a run under way.
    const BatchEngine& engine = window.engine();
    const int again = engine.failedCount() + engine.notSentCount();
    // A password that failed is not sent again: the retry asks for it anew.
    auto* dialog = new BatchLoginDialog(again, &window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setUserName(userName);
    QObject::connect(dialog, &BatchLoginDialog::credentials, &window,
                     [launcher = *this, &window](const QString& newUser, const QString& password) {
                         launcher.setLoginStarter(window, newUser, password);
                         window.setRetryHandler(
                             [launcher, &window, newUser] { launcher.askLoginRetry(window, newUser); });
                         window.retryFailed();
                     });
    dialog->open();
}

} // namespace tessel
