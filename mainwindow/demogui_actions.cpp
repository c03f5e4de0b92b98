// The popup menu over the terminal table and the terminal actions.
#include "mainwindow/demogui.h"

#include "core/records.h"
#include "mainwindow/logindialog.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDebug>
#include <QMenu>
#include <QMessageBox>
#include <QTableWidgetItem>

#include <utility>

void DemoGUI::contextMenuEvent(QContextMenuEvent* event)
{
    // The event's position is in this window's coordinates; rows are found in
    // the table's viewport, and outside it no row is under the pointer.
    QTableWidget* table = ui.tableWidget;
    QWidget* viewport = table->viewport();
    const QPoint point = viewport->mapFrom(this, event->pos());
    const QModelIndex index = viewport->rect().contains(point) ? table->indexAt(point) : QModelIndex();
    currentRow = index.isValid() ? index.row() : -1;

    // Only the latest menu is kept, so right-clicks do not pile up menus.
    if (contextMenu) {
        for (QAction* action : contextMenu->actions())
            action->deleteLater();
        contextMenu->deleteLater();
    }

    using Slot = void (DemoGUI::*)();
    const std::pair<QString, Slot> entries[] = {
        {tr("连接"), &DemoGUI::slotsConnect},
        {tr("连接system"), &DemoGUI::slotsConnectSys},
        {tr("退出"), &DemoGUI::slotsQuit},
        {tr("重命名"), &DemoGUI::slotsRename},
        {tr("修改密码"), &DemoGUI::slotsRepassword},
        {tr("忘记密码"), &DemoGUI::slotsForgetPassword},
        {tr("下载运行日志"), &DemoGUI::slotsDownload},
    };
    auto* menu = new QMenu(table);
    for (const auto& entry : entries) {
        auto* action = new QAction(entry.first, table);
        connect(action, &QAction::triggered, this, entry.second);
        menu->addAction(action);
    }
    contextMenu = menu;
    menu->popup(QCursor::pos());
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
        QMessageBox::information(nullptr, tr("提示"), tr("请先选择终端"));
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
    tsc::LoginData data;
    data.sn = sn;
    data.username = userName.toUtf8().toStdString();
    data.password = password.toUtf8().toStdString();
    data.loginType = kind;
    data.reserved = 0;
    const std::string request = recordToJson(data);
    TesselCoreAsync::tsLoginAsync(request.c_str(), loginCallback(sn));
}

ResultCallback DemoGUI::loginCallback(const std::string& sn) const
{
    return tessel::guardedCallback(lifeline, [sn](DemoGUI& window, int code, const std::string& reply) {
        // One posted call carries the serial and the reply: on the GUI thread it
        // queues the serial, then emits, so slotLogin finds its serial first.
        QMetaObject::invokeMethod(
            &window,
            [&window, sn, code, text = QString::fromStdString(reply)] {
                window.loginSerials.push_back(sn);
                emit window.signalLogin(code, text);
            },
            Qt::QueuedConnection);
    });
}

void DemoGUI::slotLogin(int code, QString reply)
{
    std::string sn;
    if (!loginSerials.empty()) {
        sn = std::move(loginSerials.front());
        loginSerials.pop_front();
    }
    if (code != 0) {
        QMessageBox::about(nullptr, tr("提示"), tr("登录失败 %1 %1").arg(code) + reply);
        return;
    }
    tsc::LoginReplyData data;
    recordFromJson(reply.toStdString(), data);
    if (!data.logined) {
        QMessageBox::about(nullptr, tr("提示"), tr("请求成功，但登录失败"));
        return;
    }
    if (sn.empty())
        sn = data.sn;
    if (sn.empty())
        return;
    // Mark the terminal where it is listed now; a new search may have moved it
    // or dropped it since the request left.
    QTableWidget* table = ui.tableWidget;
    for (std::size_t row = 0; row < terminals.size() && row < static_cast<std::size_t>(table->rowCount());
         ++row)
        if (terminals[row].sn == sn)
            table->setItem(static_cast<int>(row), 1, new QTableWidgetItem(tr("登录成功!!!")));
}

void DemoGUI::slotsQuit()
{
    const std::optional<std::string> sn = requireAddressedSerial();
    if (!sn)
        return;
    tsc::DissConnectData data;
    data.sn = *sn;
    data.type = 1;
    const std::string request = recordToJson(data);
    TesselCoreAsync::tsLogoutAsync(
        request.c_str(),
        tessel::guardedCallback(lifeline, [](DemoGUI& window, int code, const std::string& reply) {
            emit window.signalDissconnect(code, reply);
        }));
}

void DemoGUI::slotDissconnect(int code, std::string reply)
{
    QMessageBox::about(nullptr, tr("提示"), code == 0 ? tr("已退出") : QString::fromStdString(reply));
}

void DemoGUI::slotsRepassword()
{
    // The terminal is taken now: the widget is not modal, and a later
    // right-click or search must not redirect the change.
    const std::optional<std::string> sn = requireAddressedSerial();
    if (!sn)
        return;
    changePasswordWidget.show();
    changePasswordWidget.setSureCallback(
        [this, serial = *sn](const QByteArray& oldPassword, const QByteArray& newPassword) {
            sendPasswordChange(serial, oldPassword, newPassword);
        });
}

void DemoGUI::sendPasswordChange(const std::string& sn, const QByteArray& oldPassword,
                                 const QByteArray& newPassword)
{
    tsc::ChangePasswordWithSN data;
    data.sn = sn;
    data.username = "admin";
    data.oldPassword = oldPassword.toStdString();
    data.newPassword = newPassword.toStdString();
    const std::string request = recordToJson(data);
    // Its result only goes to the debug output, so the callback needs no window.
    TesselCoreAsync::tsChangePassWordAsync(request.c_str(), [](unsigned short code, const char* reply) {
        qDebug() << "********************" << code << (reply ? reply : "");
    });
}

void DemoGUI::slotsRename() {}
void DemoGUI::slotsForgetPassword() {}
void DemoGUI::slotsDownload() {}
