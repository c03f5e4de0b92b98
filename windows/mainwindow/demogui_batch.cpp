// Batches from the main window: a console request to many terminals, and a
// log-in to the selected terminals.
#include "mainwindow/demogui.h"

#include "batchwindow/batchlauncher.h"
#include "batchwindow/batchlogindialog.h"
#include "batchwindow/batchwindow.h"
#include "console/consolehistory.h"
#include "console/ownedwindow.h"

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
    showBatchWindow(*batchLauncher().sendWindow(apiName, requestText, batchCandidates(checked), this));
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
    tessel::BatchLauncher::Login login;
    login.userName = userName;
    login.password = password;
    for (int row : rows)
        if (terminals[static_cast<std::size_t>(row)].hostLoggedIn)
            login.heldRows.push_back(row);
    // Exactly as a single log-in marks it, wherever the terminal is listed now.
    login.loggedIn = [this](const QString& serial) {
        markState(serial.toStdString(), tr("登录成功!!!"));
    };
    tessel::BatchWindow* window = batchLauncher().loginWindow(batchCandidates(rows), std::move(login), this);
    showBatchWindow(*window);
    window->startBatch();
}
