#include "mainwindow/changepassword.h"

#include "mainwindow/messagebox.h"

#include <QCoreApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QShortcut>

Changepassword::Changepassword(QWidget* parent) : QWidget(parent)
{
    ui.setupUi(this);
    connect(ui.pushButton, SIGNAL(clicked()), this, SLOT(slotClickedSure()));
    // Escape closes it, as it closes the dialogs.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
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
        tessel::showNotice(
            QCoreApplication::translate("ChangepasswordClass", "提示"),
            QCoreApplication::translate("ChangepasswordClass", "两次输入的新密码不一致，请重新输入"));
        return;
    }
    // Nothing to hand the passwords to until the main window installed its
    // callback. A copy runs, so the callback may replace itself.
    if (const SureCallback callback = sureCallback)
        callback(oldPassword.toUtf8(), newPassword.toUtf8());
}
