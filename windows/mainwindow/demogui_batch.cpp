// Batches from the main window: a console request to many terminals, and a
// log-in to the selected terminals.
#include "mainwindow/demogui.h"

#include "batch/batchrequest.h"
#include "batchwindow/batchlogindialog.h"
#include "batchwindow/batchwindow.h"
#include "console/consolehistory.h"
#include "console/ownedwindow.h"
#include "history/historyrecorder.h"
#include "requests/records.h"

#include <QEvent>
#include <QItemSelectionModel>
#include <QTableWidgetItem>

#include <algorithm>

std::vector<int> DemoGUI::selectedTerminalRows() const
{
    std::vector<int> rows;
    const QItemSelectionModel* selection = ui.tableWidget->selectionModel();
    for (const QModelIndex& index : selection->selectedRows())
        if (static_cast<std::size_t>(index.row()) < terminals.size())
            rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<tessel::BatchCandidate> DemoGUI::batchCandidates(const std::vector<int>& checkedRows) const
{
    // Copies: the table may be searched anew while the batch runs.
    std::vector<tessel::BatchCandidate> candidates;
    candidates.reserve(terminals.size());
    for (std::size_t row = 0; row < terminals.size(); ++row) {
        const tsc::SearchResponseData& terminal = terminals[row];
        tessel::BatchCandidate candidate;
        candidate.target = {QString::fromStdString(terminal.name), QString::fromStdString(terminal.sn),
                            QString::fromStdString(terminal.ip)};
        if (const QTableWidgetItem* state = ui.tableWidget->item(static_cast<int>(row), 1))
            candidate.terminalState = state->text();
        candidate.checked = std::binary_search(checkedRows.begin(), checkedRows.end(), static_cast<int>(row));
        candidates.push_back(std::move(candidate));
    }
    return candidates;
}

void DemoGUI::openBatchSend(const QByteArray& apiName, const QByteArray& requestText)
{
    std::vector<int> checked = selectedTerminalRows();
    if (checked.empty()) // none selected: every listed terminal
        for (std::size_t row = 0; row < terminals.size(); ++row)
            checked.push_back(static_cast<int>(row));
    auto* window = new tessel::BatchWindow(QString::fromUtf8(apiName), batchCandidates(checked), this);
    // The batch sends what its request box shows when a run starts.
    window->setRequest(QString::fromUtf8(requestText));
    tessel::sendThroughRunner(window->engine(), requestRunner(), apiName,
                              [window] { return window->requestText().toUtf8(); });
    window->setPreflight([apiName, window] {
        if (!tessel::RequestRunner::startsOperation(
                std::string_view(apiName.constData(), static_cast<std::size_t>(apiName.size()))))
            return tessel::RequestRunner::refusalText();
        return tessel::batchRequestFault(window->requestText().toUtf8());
    });
    showBatchWindow(*window);
}

void DemoGUI::showBatchWindow(tessel::BatchWindow& window)
{
    window.installEventFilter(this); // see eventFilter
    tessel::showAboveConsole(window, console, this);
}

bool DemoGUI::eventFilter(QObject* watched, QEvent* event)
{
    // Qt ends the program when the last window without a parent closes, and
    // batch windows have this one as theirs: while one is on show, closing
    // this window must not count as closing the last one.
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide) {
        bool batchShown = false;
        for (const tessel::BatchWindow* batch :
             findChildren<tessel::BatchWindow*>(QString(), Qt::FindDirectChildrenOnly))
            batchShown =
                batchShown || (batch == watched ? event->type() == QEvent::Show : batch->isVisible());
        setAttribute(Qt::WA_QuitOnClose, !batchShown);
    }
    return QWidget::eventFilter(watched, event);
}

void DemoGUI::slotsBatchConnect()
{
    const std::vector<int> rows = selectedTerminalRows();
    if (rows.empty())
        return;
    auto* dialog = new tessel::BatchLoginDialog(static_cast<int>(rows.size()), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The terminals are those selected now; the credentials come later.
    std::vector<std::string> serials;
    for (int row : rows)
        serials.push_back(terminals[static_cast<std::size_t>(row)].sn);
    connect(dialog, &tessel::BatchLoginDialog::credentials, this,
            [this, serials](const QString& userName, const QString& password) {
                std::vector<int> still;
                for (std::size_t row = 0; row < terminals.size(); ++row)
                    if (std::find(serials.begin(), serials.end(), terminals[row].sn) != serials.end())
                        still.push_back(static_cast<int>(row));
                startBatchLogin(still, userName, password);
            });
    dialog->setWindowModality(Qt::WindowModal); // as open() would
    tessel::showAboveConsole(*dialog, console, this);
}

void DemoGUI::startBatchLogin(const std::vector<int>& rows, const QString& userName, const QString& password)
{
    auto* window = new tessel::BatchWindow(tr("登录（用户 %1）").arg(userName), batchCandidates(rows), this);
    tessel::BatchEngine& engine = window->engine();
    for (int row : rows)
        if (terminals[static_cast<std::size_t>(row)].hostLoggedIn)
            engine.skip(row, tr("已被上位机登录"));
    setLoginStarter(*window, userName, password);
    window->setRetryHandler([this, window, userName] { askLoginRetry(*window, userName); });
    engine.setJudge([](const tessel::BatchResult& result, QString& note) {
        if (result.code != 0)
            return tessel::BatchState::Failed;
        tsc::LoginReplyData reply;
        recordFromJson(result.reply.toStdString(), reply);
        if (reply.logined)
            return tessel::BatchState::Succeeded;
        note = tr("请求成功，但登录失败");
        return tessel::BatchState::Failed;
    });
    // Exactly as a single log-in marks it, wherever the terminal is listed now.
    connect(&engine, &tessel::BatchEngine::rowChanged, this, [this, &engine](int row) {
        const tessel::BatchRow& batchRow = engine.row(row);
        if (batchRow.state == tessel::BatchState::Succeeded && batchRow.answered)
            markState(batchRow.target.serial.toStdString(), tr("登录成功!!!"));
    });
    showBatchWindow(*window);
    window->startBatch();
}

void DemoGUI::setLoginStarter(tessel::BatchWindow& window, const QString& userName, const QString& password)
{
    using tessel::TerminalActions;
    tessel::BatchEngine& engine = window.engine();
    tessel::HistoryRecorder& recorder = historyRecorder();
    TerminalActions& actions = terminalActions();
    engine.setStarter(
        [&engine, &recorder, &actions, userName, password](int row, tessel::BatchEngine::Attempt attempt) {
            const std::string sn = engine.row(row).target.serial.toStdString();
            // Recorded as a single log-in would be named in the catalogue; the
            // password never reaches the history.
            const std::string shown = TerminalActions::loginRequestText(TerminalActions::LoginKind::User, sn,
                                                                        userName, QStringLiteral("******"));
            const tessel::HistoryTicket ticket =
                recorder.recordSend("login()", QByteArray::fromStdString(shown), engine.tag());
            // Every answer is recorded and goes to the engine, which drops
            // it once it is gone.
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

void DemoGUI::askLoginRetry(tessel::BatchWindow& window, const QString& userName)
{
    // The window has refused a retry with nothing to retry or a run under way.
    const tessel::BatchEngine& engine = window.engine();
    const int again = engine.failedCount() + engine.notSentCount();
    // A password that failed is not sent again: the retry asks for it anew.
    auto* dialog = new tessel::BatchLoginDialog(again, &window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setUserName(userName);
    connect(dialog, &tessel::BatchLoginDialog::credentials, &window,
            [this, &window](const QString& newUser, const QString& password) {
                setLoginStarter(window, newUser, password);
                window.setRetryHandler([this, &window, newUser] { askLoginRetry(window, newUser); });
                window.retryFailed();
            });
    dialog->open();
}
