// The popup menu over the terminal table and the terminal actions.
#include "mainwindow/demogui.h"

#include "mainwindow/logindialog.h"
#include "mainwindow/messagebox.h"
#include "mainwindow/terminalmenu.h"
#include "requests/records.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDebug>
#include <QMenu>
#include <QTableWidgetItem>

#include <utility>

void DemoGUI::contextMenuEvent(QContextMenuEvent* event)
{
    QTableWidget* table = ui.tableWidget;
    QWidget* viewport = table->viewport();
    QPoint popupAt = QCursor::pos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        // From the keyboard the menu is for the row the table has current,
        // and opens on it; the pointer may be anywhere.
        const QModelIndex current = table->currentIndex();
        currentRow = current.isValid() ? current.row() : -1;
        if (current.isValid()) {
            table->scrollTo(current);
            popupAt = viewport->mapToGlobal(table->visualRect(current).center());
        } else {
            popupAt = event->globalPos();
        }
    } else {
        // The event's position is in this window's coordinates; rows are found
        // in the table's viewport, and outside it no row is under the pointer.
        const QPoint point = viewport->mapFrom(this, event->pos());
        const QModelIndex index = viewport->rect().contains(point) ? table->indexAt(point) : QModelIndex();
        currentRow = index.isValid() ? index.row() : -1;
    }

    // Only the latest menu is kept, so right-clicks do not pile up menus.
    if (contextMenu) {
        for (QAction* action : contextMenu->actions())
            action->deleteLater();
        contextMenu->deleteLater();
    }

    using Slot = void (DemoGUI::*)();
    struct Entry
    {
        QString text;
        Slot slot;
        bool available; // shown greyed out when the terminals offer no way to do it
    };
    const Entry entries[] = {
        {tr("连接"), &DemoGUI::slotsConnect, true},
        {tr("连接system"), &DemoGUI::slotsConnectSys, true},
        {tr("退出"), &DemoGUI::slotsQuit, true},
        {tr("重命名"), &DemoGUI::slotsRename, false},
        {tr("修改密码"), &DemoGUI::slotsRepassword, true},
        {tr("忘记密码"), &DemoGUI::slotsForgetPassword, false},
        {tr("下载运行日志"), &DemoGUI::slotsDownload, false},
    };
    auto* menu = new QMenu(table);
    for (const Entry& entry : entries) {
        auto* action = new QAction(entry.text, table);
        action->setEnabled(entry.available);
        connect(action, &QAction::triggered, this, entry.slot);
        menu->addAction(action);
    }
    const std::size_t row = static_cast<std::size_t>(currentRow);
    tessel::appendCopyEntries(menu, table,
                              currentRow >= 0 && row < terminals.size() ? &terminals[row] : nullptr);
    // Before the batch log-in, which stays the last entry.
    auto* exportList = new QAction(tr("导出终端列表…"), table);
    exportList->setEnabled(!terminals.empty());
    connect(exportList, &QAction::triggered, this, &DemoGUI::slotsExportTerminals);
    menu->addAction(exportList);
    auto* batchLogin = new QAction(tr("批量连接…"), table);
    batchLogin->setEnabled(!selectedTerminalRows().empty());
    connect(batchLogin, &QAction::triggered, this, &DemoGUI::slotsBatchConnect);
    menu->addAction(batchLogin);
    contextMenu = menu;
    menu->popup(popupAt);
}

std::optional<std::string> DemoGUI::addressedSerial() const
{
    if (currentRow < 0 || static_cast<std::size_t>(currentRow) >= terminals.size())
        return std::nullopt;
    return terminals[static_cast<std::size_t>(currentRow)].sn;
}

std::optional<std::string> DemoGUI::requireAddressedSerial()
{
    std::optional<std::string> sn = addressedSerial();
    if (!sn)
        tessel::showNotice(tr("提示"), tr("请先选择终端"));
    return sn;
}

void DemoGUI::slotsConnect()
{
    login(0);
}

void DemoGUI::slotsConnectSys()
{
    login(1);
}

void DemoGUI::login(std::int32_t kind)
{
    // The terminal is fixed now, so nothing that happens before the user
    // confirms can send the credentials elsewhere.
    const std::optional<std::string> sn = requireAddressedSerial();
    if (!sn)
        return;
    auto dialog = std::make_unique<LoginDialog>();
    // Queued: the request is built after the dialog's button handler returned.
    connect(
        dialog.get(), &LoginDialog::signalsUserInfo, this,
        [this, kind, serial = *sn](const QString& userName, const QString& password) {
            sendLogin(kind, serial, userName, password);
        },
        Qt::QueuedConnection);
    dialog->exec(); // cancelling emits nothing, so the result tells nothing
}

void DemoGUI::sendLogin(std::int32_t kind, const std::string& sn, const QString& userName,
                        const QString& password)
{
    terminalActions().logIn(static_cast<tessel::TerminalActions::LoginKind>(kind), sn, userName, password,
                            loginListener(sn));
}

tessel::TerminalActions::Listener DemoGUI::loginListener(const std::string& sn)
{
    // The serial is queued right before the signal, so slotLogin finds the
    // serial of its reply at the front of loginSerials.
    tessel::TerminalActions::Listener listener;
    listener.receiver = this;
    listener.answer = [this, sn](int code, const std::string& reply) {
        loginSerials.push_back(sn);
        emit signalLogin(code, QString::fromStdString(reply));
    };
    return listener;
}

void DemoGUI::slotLogin(int code, QString reply)
{
    std::string sn = tessel::takePending(loginSerials);
    if (code != 0) {
        tessel::showAbout(tr("提示"), tr("登录失败 %1 %1").arg(code) + reply);
        return;
    }
    tsc::LoginReplyData data;
    recordFromJson(reply.toStdString(), data);
    if (!data.logined) {
        tessel::showAbout(tr("提示"), tr("请求成功，但登录失败"));
        return;
    }
    if (sn.empty())
        sn = data.sn;
    markState(sn, tr("登录成功!!!"));
}

void DemoGUI::markState(const std::string& sn, const QString& text)
{
    if (sn.empty())
        return;
    // Mark the terminal where it is listed now; a new search may have moved it
    // or dropped it since the request left.
    QTableWidget* table = ui.tableWidget;
    for (std::size_t row = 0; row < terminals.size() && row < static_cast<std::size_t>(table->rowCount());
         ++row)
        if (terminals[row].sn == sn)
            table->setItem(static_cast<int>(row), 1, new QTableWidgetItem(text));
}

void DemoGUI::slotsQuit()
{
    const std::optional<std::string> sn = requireAddressedSerial();
    if (!sn)
        return;
    tessel::TerminalActions::Listener listener;
    listener.receiver = this;
    // As for logins: slotDissconnect finds the serial of its reply first.
    listener.answer = [this, serial = *sn](int code, const std::string& reply) {
        logoutSerials.push_back(serial);
        emit signalDissconnect(code, reply);
    };
    terminalActions().logOut(*sn, std::move(listener));
}

void DemoGUI::slotDissconnect(int code, std::string reply)
{
    const std::string sn = tessel::takePending(logoutSerials);
    if (code != 0) {
        tessel::showAbout(tr("提示"),
                          tr("退出失败 %1 %2").arg(QString::number(code), QString::fromStdString(reply)));
        return;
    }
    markState(sn, tr("未登录"));
    tessel::showAbout(tr("提示"), tr("已退出"));
}

void DemoGUI::slotsRepassword()
{
    // The terminal is taken now: the widget is not modal, and a later
    // right-click or search must not redirect the change.
    const std::optional<std::string> sn = requireAddressedSerial();
    if (!sn)
        return;
    changePasswordWidget.openFor(QString::fromStdString(*sn));
    changePasswordWidget.setSureCallback(
        [this, serial = *sn](const QByteArray& oldPassword, const QByteArray& newPassword) {
            sendPasswordChange(serial, oldPassword, newPassword);
        });
}

void DemoGUI::sendPasswordChange(const std::string& sn, const QByteArray& oldPassword,
                                 const QByteArray& newPassword)
{
    tessel::TerminalActions::Listener listener;
    listener.receiver = this;
    listener.answer = [this](int code, const std::string& reply) {
        showPasswordChange(code, QString::fromStdString(reply));
    };
    // The debug line is written whether or not the window is still there.
    listener.onArrival = [](unsigned short code, const char* reply) {
        qDebug() << "********************" << code << (reply ? reply : "");
    };
    terminalActions().changePassword(sn, oldPassword, newPassword, std::move(listener));
}

void DemoGUI::showPasswordChange(int code, const QString& reply)
{
    if (code != 0) {
        // The window stays open with what was typed, for another try.
        tessel::showAbout(tr("提示"), tr("修改密码失败 %1 %2").arg(QString::number(code), reply));
        return;
    }
    changePasswordWidget.close();
    tessel::showAbout(tr("提示"), tr("修改密码成功"));
}

void DemoGUI::slotsRename() {}
void DemoGUI::slotsForgetPassword() {}
void DemoGUI::slotsDownload() {}
