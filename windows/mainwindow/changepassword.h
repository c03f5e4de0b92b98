#pragma once

#include "mainwindow/ui_changepassword.h"

#include <QByteArray>
#include <QWidget>

#include <functional>

// Asks for the old password and the new one twice, and hands the old and the
// new password to the confirm callback that the main window installs. It only
// checks that the new password was typed the same both times.
class Changepassword : public QWidget
{
    Q_OBJECT

public:
    using SureCallback = std::function<void(const QByteArray& oldPassword, const QByteArray& newPassword)>;

    explicit Changepassword(QWidget* parent = nullptr);
    ~Changepassword() override;

    void setSureCallback(SureCallback callback);

    // Shows the window for the terminal with that serial number, with every
    // field empty: nothing typed for one terminal is offered to another.
    void openFor(const QString& sn);

private slots:
    void slotClickedSure();

private:
    Ui::ChangepasswordClass ui;
    SureCallback sureCallback;
};
