#include "mainwindow/changepassword.h"

#include <QCoreApplication>
#include <QMessageBox>

Changepassword::Changepassword(QWidget* parent) : QWidget(parent)
{
    ui.setupUi(this);
    connect(ui.pushButton, SIGNAL(clicked()), this, SLOT(slotClickedSure()));
}

Changepassword::~Changepassword() = default;

void Changepassword::setSureCallback(SureCallback callback)
{
    sureCallback = std::move(callback);
}

void Changepassword::slotClickedSure()
{
    const QString oldPassword = ui.lineEdit->text();
    const QString newPassword = ui.lineEdit_2->text();
    QMessageBox::about(nullptr, QCoreApplication::translate("ChangepasswordClass", "提示"),
                       QCoreApplication::translate("ChangepasswordClass", "修改密码 测试"));
    // Nothing to hand the passwords to until the main window installed its
    // callback. A copy runs, so the callback may replace itself.
    if (const SureCallback callback = sureCallback)
        callback(oldPassword.toUtf8(), newPassword.toUtf8());
}
