#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class LoginDialog;
}

// Asks for a user name and a password and hands them on through
// signalsUserInfo; it checks nothing and talks to no terminal itself.
class LoginDialog : public QDialog
{
    Q_OBJECT

public:
    explicit LoginDialog(QWidget* parent = nullptr);
    ~LoginDialog() override;

signals:
    void signalsUserInfo(QString userName, QString password);

private slots:
    void slotsLoginClicked();
    void slotsCancelClicked();

private:
    std::unique_ptr<Ui::LoginDialog> ui;
};
