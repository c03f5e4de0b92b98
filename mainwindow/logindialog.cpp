#include "mainwindow/logindialog.h"

#include "mainwindow/ui_logindialog.h"

LoginDialog::LoginDialog(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::LoginDialog>())
{
    ui->setupUi(this);
    // The form's own title is a placeholder; the user sees this one.
    setWindowTitle(QStringLiteral("login"));
    connect(ui->btnLogin, &QPushButton::clicked, this, &LoginDialog::slotsLoginClicked);
    connect(ui->btnCancel, &QPushButton::clicked, this, &LoginDialog::close);
}

LoginDialog::~LoginDialog() = default;

void LoginDialog::slotsLoginClicked()
{
    const QString userName = ui->editUserName->text();
    const QString password = ui->editPassword->text();
    emit signalsUserInfo(userName, password);
    close();
}

void LoginDialog::slotsCancelClicked()
{
    close();
}
