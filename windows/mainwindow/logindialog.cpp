#include "mainwindow/logindialog.h"

#include "mainwindow/ui_logindialog.h"

LoginDialog::LoginDialog(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::LoginDialog>())
{
    ui->setupUi(this);
    // The form's own title is a placeholder; the user sees this one.
    setWindowTitle(QStringLiteral("login"));
    // No parent window, yet above the console and the history window, which
    // stay on top. Set before the focus: new flags would clear it.
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    // The user name is filled in; the password is what is left to type, and
    // Enter then logs in with it.
    ui->btnLogin->setDefault(true);
    ui->editPassword->setFocus();
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
