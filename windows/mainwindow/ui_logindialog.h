#pragma once

// The login dialog's form, written as the designer would generate it.

#include <QtCore/QCoreApplication>
#include <QtCore/QMetaObject>
#include <QtCore/QRect>
#include <QtWidgets/QDialog>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QWidget>

class Ui_LoginDialog
{
public:
    QPushButton* btnLogin;
    QPushButton* btnCancel;
    QWidget* layoutWidget;
    QGridLayout* gridLayout;
    QLabel* label;
    QLineEdit* editUserName;
    QLabel* label_2;
    QLineEdit* editPassword;

    void setupUi(QDialog* LoginDialog)
    {
        if (LoginDialog->objectName().isEmpty())
            LoginDialog->setObjectName(QString::fromUtf8("LoginDialog"));
        LoginDialog->resize(290, 162);
        btnLogin = new QPushButton(LoginDialog);
        btnLogin->setObjectName(QString::fromUtf8("btnLogin"));
        btnLogin->setGeometry(QRect(60, 110, 75, 23));
        btnCancel = new QPushButton(LoginDialog);
        btnCancel->setObjectName(QString::fromUtf8("btnCancel"));
        btnCancel->setGeometry(QRect(160, 110, 75, 23));
        layoutWidget = new QWidget(LoginDialog);
        layoutWidget->setObjectName(QString::fromUtf8("layoutWidget"));
        layoutWidget->setGeometry(QRect(60, 30, 181, 70));
        gridLayout = new QGridLayout(layoutWidget);
        gridLayout->setSpacing(10);
        gridLayout->setObjectName(QString::fromUtf8("gridLayout"));
        gridLayout->setContentsMargins(10, 10, 10, 10);
        label = new QLabel(layoutWidget);
        label->setObjectName(QString::fromUtf8("label"));
        label->setAlignment(Qt::AlignRight | Qt::AlignTrailing | Qt::AlignVCenter);

        gridLayout->addWidget(label, 0, 0, 1, 1);

        editUserName = new QLineEdit(layoutWidget);
        editUserName->setObjectName(QString::fromUtf8("editUserName"));

        gridLayout->addWidget(editUserName, 0, 1, 1, 1);

        label_2 = new QLabel(layoutWidget);
        label_2->setObjectName(QString::fromUtf8("label_2"));
        label_2->setAlignment(Qt::AlignRight | Qt::AlignTrailing | Qt::AlignVCenter);

        gridLayout->addWidget(label_2, 1, 0, 1, 1);

        editPassword = new QLineEdit(layoutWidget);
        editPassword->setObjectName(QString::fromUtf8("editPassword"));
        editPassword->setEchoMode(QLineEdit::Password);

        gridLayout->addWidget(editPassword, 1, 1, 1, 1);

        retranslateUi(LoginDialog);

        QMetaObject::connectSlotsByName(LoginDialog);
    }

    void retranslateUi(QDialog* LoginDialog)
    {
        LoginDialog->setWindowTitle(QCoreApplication::translate("LoginDialog", "Dialog", nullptr));
        btnLogin->setText(QCoreApplication::translate("LoginDialog", "登录", nullptr));
        btnCancel->setText(QCoreApplication::translate("LoginDialog", "取消", nullptr));
        label->setText(QCoreApplication::translate("LoginDialog", "用户名", nullptr));
        editUserName->setText(QCoreApplication::translate("LoginDialog", "admin", nullptr));
        label_2->setText(QCoreApplication::translate("LoginDialog", "密  码", nullptr));
    }
};

namespace Ui {
class LoginDialog : public Ui_LoginDialog
{
};
} // namespace Ui
