// The three terminal searches, their dialogs and the reply path.
#include "mainwindow/demogui.h"

#include "mainwindow/messagebox.h"
#include "searchcheck/searchprogress.h"
#include "requests/records.h"
#include "searchcheck/addresscheck.h"
#include "searchcheck/rangecheck.h"

#include <QDebug>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidgetItem>

#include <utility>

using tessel::AddressCheck;
using tessel::checkRange;
using tessel::dialogAddress;
using tessel::RangeCheck;

namespace {

void notice(const QString& text)
{
    tessel::showNotice(DemoGUI::tr("提示"), text);
}

// The warning of one failed search reply does not wait for it to be closed:
// failures can come by the hundred, and a box that waits nests one event loop
// per reply until the stack runs out.
void warn(const QString& text)
{
    tessel::showAboutLater(DemoGUI::tr("警告"), text);
}

// What is wrong with the address of a dialog field, empty when nothing is.
// `field` names the field as the user knows it.
QString addressFault(const QString& field, const QString& typed)
{
    const AddressCheck check = tessel::checkAddress(dialogAddress(typed.toStdString()));
    // A part can be as long as the text; the box shows its start.
    QString part = QString::fromStdString(check.partText);
    constexpr int shownPart = 24;
    if (part.size() > shownPart)
        part = part.left(part.at(shownPart - 1).isHighSurrogate() ? shownPart - 1 : shownPart) + "…";
    const QString number = QString::number(check.part);
    switch (check.fault) {
    case AddressCheck::Valid:
        return {};
    case AddressCheck::NoAddress:
        return DemoGUI::tr("%1中没有IP地址,请重新输入:").arg(field);
    case AddressCheck::PartCount:
        return DemoGUI::tr("%1不是IPv4地址:应为以\".\"分隔的四个0到255的数字(如192.168.1.10),"
                           "输入的是%2段,请重新输入:")
            .arg(field, QString::number(check.parts));
    case AddressCheck::EmptyPart:
        return DemoGUI::tr("%1不是IPv4地址:第%2段是空的,请重新输入:").arg(field, number);
    case AddressCheck::NotANumber:
        return DemoGUI::tr("%1不是IPv4地址:第%2段\"%3\"不是数字,请重新输入:").arg(field, number, part);
    case AddressCheck::TooManyDigits:
        return DemoGUI::tr("%1不是IPv4地址:第%2段\"%3\"多于三位数字,请重新输入:").arg(field, number, part);
    case AddressCheck::TooLarge:
        return DemoGUI::tr("%1不是IPv4地址:第%2段\"%3\"大于255,请重新输入:").arg(field, number, part);
    }
    return {};
}

} // namespace

void DemoGUI::buildSearchDialogs()
{
    ipDialog = new QDialog;
    ipDialog->resize(250, 70);
    ipOkButton = new QPushButton(tr("确定"), ipDialog);
    ipOkButton->setObjectName("ipOkButton");
    ipOkButton->move(35, 35);
    ipCancelButton = new QPushButton(tr("取消"), ipDialog);
    ipCancelButton->setObjectName("ipCancelButton");
    ipCancelButton->move(140, 35);
    ipLabel = new QLabel(tr("请输入指定IP:"), ipDialog);
    ipLabel->setObjectName("ipLabel");
    ipLabel->setGeometry(10, 3, 150, 30);
    ipLineEdit = new QLineEdit(ipDialog);
    ipLineEdit->setObjectName("ipLineEdit");
    ipLineEdit->setGeometry(90, 8, 130, 20);

    rangeIpDialog = new QDialog;
    rangeIpDialog->resize(250, 100);
    rangeOkButton = new QPushButton(tr("确定"), rangeIpDialog);
    rangeOkButton->setObjectName("rangeOkButton");
    rangeOkButton->move(35, 65);
    rangeCancelButton = new QPushButton(tr("取消"), rangeIpDialog);
    rangeCancelButton->setObjectName("rangeCancelButton");
    rangeCancelButton->move(140, 65);
    startIpLabel = new QLabel(tr("请输入起始IP:"), rangeIpDialog);
    startIpLabel->setObjectName("startIpLabel");
    startIpLabel->setGeometry(10, 3, 150, 30);
    endIpLabel = new QLabel(tr("请输入终止IP:"), rangeIpDialog);
    endIpLabel->setObjectName("endIpLabel");
    endIpLabel->setGeometry(10, 33, 150, 30);
    startIpLineEdit = new QLineEdit(rangeIpDialog);
    startIpLineEdit->setObjectName("startIpLineEdit");
    startIpLineEdit->setGeometry(90, 8, 130, 20);
    endIpLineEdit = new QLineEdit(rangeIpDialog);
    endIpLineEdit->setObjectName("endIpLineEdit");
    endIpLineEdit->setGeometry(90, 38, 130, 20);

    // Buttons keep their preferred size at the given positions.
    for (QPushButton* button : {ipOkButton, ipCancelButton, rangeOkButton, rangeCancelButton})
        button->resize(button->sizeHint());
    // No parent window, yet above the console, which stays on top and would
    // otherwise hide a part of them.
    for (QDialog* dialog : {ipDialog, rangeIpDialog})
        dialog->setWindowFlags(dialog->windowFlags() | Qt::WindowStaysOnTopHint);
}

tessel::TerminalActions::Listener DemoGUI::searchListener()
{
    // As for logins: slotSerch finds the search of its reply at the front of
    // searchReplies.
    tessel::TerminalActions::Listener listener;
    listener.receiver = this;
    listener.answer = [this, search = searchNumber](int code, const std::string& reply) {
        searchReplies.push_back(search);
        emit signalSerch(code, QString::fromStdString(reply));
    };
    return listener;
}

void DemoGUI::startNewResultSet()
{
    if (!searchStatus) {
        // Below the form's widgets, which stay as they are.
        searchStatus = new QLabel(this);
        searchStatus->setObjectName(QStringLiteral("searchStatus"));
        searchStatus->setTextFormat(Qt::PlainText);
        ui.gridLayout->addWidget(searchStatus, 2, 0, 1, 5);
        searchProgress = new tessel::SearchProgress(this);
        connect(searchProgress, &tessel::SearchProgress::settled, this, &DemoGUI::showSearchStatus);
    }
    searchProgress->started();
    showSearchStatus();
    ++searchNumber;
    nextRow = 0;
    terminals.clear();
    ui.tableWidget->clearContents();
    ui.tableWidget->setRowCount(initialTableRows);
}

void DemoGUI::slotClickedSearch()
{
    startNewResultSet();
    terminalActions().searchAll(searchListener());
}

void DemoGUI::on_pushButton_2_clicked()
{
    ipLineEdit->setFocus();
    ipDialog->show();
    // Also when it was open already: typing goes to it.
    ipDialog->raise();
    ipDialog->activateWindow();
}

void DemoGUI::on_specifyRangeIpButton_clicked()
{
    startIpLineEdit->setFocus();
    rangeIpDialog->show();
    rangeIpDialog->raise();
    rangeIpDialog->activateWindow();
}

// A refused input leaves the dialog open with the text as typed and the
// listed terminals as they are; only an accepted one starts a new result set.

void DemoGUI::on_slotsIp_button_start_clicked()
{
    const QString text = ipLineEdit->text();
    if (text.trimmed().isEmpty()) {
        notice(tr("没有输入ip,请输入ip:"));
        return;
    }
    if (const QString fault = addressFault(tr("指定IP"), text); !fault.isEmpty()) {
        notice(fault);
        return;
    }
    startNewResultSet();
    ipDialog->close();
    terminalActions().searchAddress(text.toUtf8(), searchListener());
}

void DemoGUI::on_slotsRange_Ip_button_start_clicked()
{
    const QString startText = startIpLineEdit->text();
    const QString endText = endIpLineEdit->text();
    if (startText.trimmed().isEmpty()) {
        notice(tr("没有输入起始ip,请输入起始ip:"));
        return;
    }
    if (endText.trimmed().isEmpty()) {
        notice(tr("没有输入终止ip,请输入终止ip:"));
        return;
    }
    // Both ends are addresses before the subnets are compared, or a typing
    // slip would be reported as another subnet.
    for (const auto& [field, text] : {std::pair(tr("起始IP"), startText), std::pair(tr("终止IP"), endText)})
        if (const QString fault = addressFault(field, text); !fault.isEmpty()) {
            notice(fault);
            return;
        }
    const RangeCheck check =
        checkRange(dialogAddress(startText.toStdString()), dialogAddress(endText.toStdString()));
    startDot = check.startDot;
    endDot = check.endDot;
    startHost = check.startHost;
    endHost = check.endHost;
    startNet = check.startNet;
    endNet = check.endNet;
    startHostValue = check.startHostValue;
    endHostValue = check.endHostValue;

    switch (check.verdict) {
    case RangeCheck::DifferentNet:
        notice(tr("两次输入的IP不在同一网段，请重新输入:"));
        return;
    case RangeCheck::StartAfterEnd:
        notice(tr("起始IP大于终止IP,请重新输入:"));
        return;
    case RangeCheck::SameAddress: {
        startNewResultSet();
        rangeIpDialog->close();
        terminalActions().searchAddress(endText.toUtf8(), searchListener());
        return;
    }
    case RangeCheck::Range: {
        startNewResultSet();
        rangeIpDialog->close();
        terminalActions().searchRange(check.start, check.end, searchListener());
        return;
    }
    }
}

void DemoGUI::slotSerch(int code, QString reply)
{
    // Replies emitted without a search of this window behind them count as
    // replies of the current one.
    if (tessel::takePending(searchReplies, searchNumber) != searchNumber) {
        qDebug() << "---------------" << reply << "(reply of an earlier search, dropped)";
        return;
    }
    qDebug() << "---------------" << reply;
    searchProgress->replied();
    if (code != 0) {
        warn(reply);
        return;
    }
    addTerminalRow(reply.toStdString());
    if (!searchProgress->running())
        showSearchStatus(); // a late reply: the count goes up
}

void DemoGUI::showSearchStatus()
{
    if (searchProgress->running())
        searchStatus->setText(tr("正在搜索…"));
    else if (terminals.empty())
        searchStatus->setText(tr("搜索结束，没有找到终端"));
    else
        searchStatus->setText(tr("搜索结束，找到 %1 台终端").arg(terminals.size()));
}

void DemoGUI::addTerminalRow(const std::string& reply)
{
    // A row without a serial number would send every later action nowhere.
    tsc::SearchResponseData record;
    if (!recordFromJson(reply, record) || record.sn.empty()) {
        qDebug() << "--------------- not a terminal record, no row added";
        return;
    }
    terminals.push_back(record);

    // Every terminal gets its row, also beyond the first hundred.
    QTableWidget* table = ui.tableWidget;
    if (nextRow >= table->rowCount())
        table->setRowCount(nextRow + 1);
    table->setItem(nextRow, 0, new QTableWidgetItem(QString::fromStdString(record.name)));
    table->setItem(nextRow, 1,
                   new QTableWidgetItem(record.hostLoggedIn ? tr("已被上位机登录") : tr("未登录")));
    table->setItem(nextRow, 2, new QTableWidgetItem(QString::fromStdString(record.ip)));
    table->setItem(
        nextRow, 3,
        new QTableWidgetItem(QStringLiteral("%1*%2").arg(int(record.width)).arg(int(record.height))));
    ++nextRow;
}
