#include "mainwindow/changepassword.h"

#include <QCoreApplication>
#include <QLineEdit>
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

void Changepassword::openFor(const QString& sn)
{
    for (QLineEdit* field : {ui.lineEdit, ui.lineEdit_2, ui.lineEdit_3})
        field->clear();
    setWindowTitle(QCoreApplication::translate("ChangepasswordClass", "Changepassword") +
                   QStringLiteral(" - ") + sn);
    ui.lineEdit->setFocus();
    show();
    raise();
}

void Changepassword::slotClickedSure()
{
    const QString oldPassword = ui.lineEdit->text();
    const QString newPassword = ui.lineEdit_2->text();
    // The fields are masked, so a typing slip would otherwise go unseen.
    if (ui.lineEdit_3->text() != newPassword) {
        QMessageBox::information(
            nullptr, QCoreApplication::translate("ChangepasswordClass", "提示"),
            QCoreApplication::translate("ChangepasswordClass", "两次输入的新密码不一致，请重新输入"));
        return;
    }
    // Nothing to hand the passwords to until the main window installed its
    // callback. A copy runs, so the callback may replace itself.
    if (const SureCallback callback = sureCallback)
        callback(oldPassword.toUtf8(), newPassword.toUtf8());
}
