#pragma once

#include "mainwindow/ui_changepassword.h"

#include <QByteArray>
#include <QWidget>

#include <functional>

// Asks for the old and the new password and hands them to the confirm
// callback that the main window installs; it checks nothing itself.
class Changepassword : public QWidget
{
    Q_OBJECT

public:
    using SureCallback = std::function<void(const QByteArray& oldPassword, const QByteArray& newPassword)>;

    explicit Changepassword(QWidget* parent = nullptr);
    ~Changepassword() override;

    void setSureCallback(SureCallback callback);

private slots:
    void slotClickedSure();

private:
    Ui::ChangepasswordClass ui;
    SureCallback sureCallback;
};
