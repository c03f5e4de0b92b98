#pragma once

// The change-password widget's form, written as the designer would generate it.

#include <QtCore/QCoreApplication>
#include <QtCore/QMetaObject>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSpacerItem>
#include <QtWidgets/QWidget>

class Ui_ChangepasswordClass
{
public:
    QGridLayout* gridLayout_2;
    QSpacerItem* verticalSpacer;
    QHBoxLayout* horizontalLayout;
    QLabel* label;
    QLineEdit* lineEdit;
    QSpacerItem* verticalSpacer_2;
    QGridLayout* gridLayout;
    QLabel* label_2;
    QLineEdit* lineEdit_2;
    QLabel* label_3;
    QLineEdit* lineEdit_3;
    QSpacerItem* horizontalSpacer;
    QPushButton* pushButton;

    void setupUi(QWidget* ChangepasswordClass)
    {
        if (ChangepasswordClass->objectName().isEmpty())
            ChangepasswordClass->setObjectName(QString::fromUtf8("ChangepasswordClass"));
        ChangepasswordClass->resize(348, 143);
        gridLayout_2 = new QGridLayout(ChangepasswordClass);
        gridLayout_2->setSpacing(6);
        gridLayout_2->setContentsMargins(11, 11, 11, 11);
        gridLayout_2->setObjectName(QString::fromUtf8("gridLayout_2"));
        verticalSpacer = new QSpacerItem(20, 20, QSizePolicy::Minimum, QSizePolicy::Expanding);

        gridLayout_2->addItem(verticalSpacer, 0, 0, 1, 1);

        horizontalLayout = new QHBoxLayout();
        horizontalLayout->setSpacing(6);
        horizontalLayout->setObjectName(QString::fromUtf8("horizontalLayout"));
        label = new QLabel(ChangepasswordClass);
        label->setObjectName(QString::fromUtf8("label"));

        horizontalLayout->addWidget(label);

        lineEdit = new QLineEdit(ChangepasswordClass);
        lineEdit->setObjectName(QString::fromUtf8("lineEdit"));
        lineEdit->setEchoMode(QLineEdit::Password);

        horizontalLayout->addWidget(lineEdit);

        gridLayout_2->addLayout(horizontalLayout, 1, 0, 1, 2);

        verticalSpacer_2 = new QSpacerItem(20, 20, QSizePolicy::Minimum, QSizePolicy::Fixed);

        gridLayout_2->addItem(verticalSpacer_2, 2, 0, 1, 1);

        gridLayout = new QGridLayout();
        gridLayout->setSpacing(6);
        gridLayout->setObjectName(QString::fromUtf8("gridLayout"));
        label_2 = new QLabel(ChangepasswordClass);
        label_2->setObjectName(QString::fromUtf8("label_2"));

        gridLayout->addWidget(label_2, 0, 0, 1, 1);

        lineEdit_2 = new QLineEdit(ChangepasswordClass);
        lineEdit_2->setObjectName(QString::fromUtf8("lineEdit_2"));
        lineEdit_2->setEchoMode(QLineEdit::Password);

        gridLayout->addWidget(lineEdit_2, 0, 1, 1, 1);

        label_3 = new QLabel(ChangepasswordClass);
        label_3->setObjectName(QString::fromUtf8("label_3"));

        gridLayout->addWidget(label_3, 1, 0, 1, 1);

        lineEdit_3 = new QLineEdit(ChangepasswordClass);
        lineEdit_3->setObjectName(QString::fromUtf8("lineEdit_3"));
        lineEdit_3->setEchoMode(QLineEdit::Password);

        gridLayout->addWidget(lineEdit_3, 1, 1, 1, 1);

        gridLayout_2->addLayout(gridLayout, 3, 0, 1, 2);

        horizontalSpacer = new QSpacerItem(246, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);

        gridLayout_2->addItem(horizontalSpacer, 4, 0, 1, 1);

        pushButton = new QPushButton(ChangepasswordClass);
        pushButton->setObjectName(QString::fromUtf8("pushButton"));

        gridLayout_2->addWidget(pushButton, 4, 1, 1, 1);

        retranslateUi(ChangepasswordClass);

        QMetaObject::connectSlotsByName(ChangepasswordClass);
    }

    void retranslateUi(QWidget* ChangepasswordClass)
    {
        ChangepasswordClass->setWindowTitle(
            QCoreApplication::translate("ChangepasswordClass", "Changepassword", nullptr));
        label->setText(QCoreApplication::translate("ChangepasswordClass", "原密码", nullptr));
        label_2->setText(QCoreApplication::translate("ChangepasswordClass", "新密码", nullptr));
        label_3->setText(QCoreApplication::translate("ChangepasswordClass", "确认新密码", nullptr));
        pushButton->setText(QCoreApplication::translate("ChangepasswordClass", "确认修改", nullptr));
    }
};

namespace Ui {
class ChangepasswordClass : public Ui_ChangepasswordClass
{
};
} // namespace Ui
