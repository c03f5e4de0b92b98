#pragma once

// The console's form, written as the designer would generate it.

#include <QtCore/QCoreApplication>
#include <QtCore/QMetaObject>
#include <QtCore/QSize>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSpacerItem>
#include <QtWidgets/QTextEdit>
#include <QtWidgets/QVBoxLayout>
#include <QtWidgets/QWidget>

class Ui_DemoChildGUIClass
{
public:
    QGridLayout* gridLayout;
    QHBoxLayout* horizontalLayout_4;
    QLabel* label_5;
    QSpacerItem* horizontalSpacer;
    QComboBox* comboBox_APIModule;
    QHBoxLayout* horizontalLayout;
    QLabel* label;
    QSpacerItem* horizontalSpacer_2;
    QComboBox* comboBox_APIName;
    QHBoxLayout* horizontalLayout_3;
    QLabel* label_4;
    QLineEdit* lineEdit;
    QHBoxLayout* horizontalLayout_2;
    QLabel* label_2;
    QSpacerItem* horizontalSpacer_3;
    QTextEdit* textEdit_2;
    QVBoxLayout* verticalLayout_2;
    QHBoxLayout* horizontalLayout_7;
    QLabel* label_3;
    QSpacerItem* horizontalSpacer_4;
    QPushButton* pushButton;
    QTextEdit* textEdit;

    void setupUi(QWidget* DemoChildGUIClass)
    {
        if (DemoChildGUIClass->objectName().isEmpty())
            DemoChildGUIClass->setObjectName(QString::fromUtf8("DemoChildGUIClass"));
        DemoChildGUIClass->resize(575, 445);
        gridLayout = new QGridLayout(DemoChildGUIClass);
        gridLayout->setSpacing(6);
        gridLayout->setContentsMargins(11, 11, 11, 11);
        gridLayout->setObjectName(QString::fromUtf8("gridLayout"));

        horizontalLayout_4 = new QHBoxLayout();
        horizontalLayout_4->setSpacing(6);
        horizontalLayout_4->setObjectName(QString::fromUtf8("horizontalLayout_4"));
        label_5 = new QLabel(DemoChildGUIClass);
        label_5->setObjectName(QString::fromUtf8("label_5"));
        horizontalLayout_4->addWidget(label_5);

        horizontalSpacer = new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
        horizontalLayout_4->addItem(horizontalSpacer);

        comboBox_APIModule = new QComboBox(DemoChildGUIClass);
        comboBox_APIModule->setObjectName(QString::fromUtf8("comboBox_APIModule"));
        comboBox_APIModule->setMinimumSize(QSize(400, 30));
        comboBox_APIModule->setMaximumSize(QSize(16777215, 16777215));
        horizontalLayout_4->addWidget(comboBox_APIModule);

        gridLayout->addLayout(horizontalLayout_4, 0, 0, 1, 1);

        horizontalLayout = new QHBoxLayout();
        horizontalLayout->setSpacing(6);
        horizontalLayout->setObjectName(QString::fromUtf8("horizontalLayout"));
        label = new QLabel(DemoChildGUIClass);
        label->setObjectName(QString::fromUtf8("label"));
        horizontalLayout->addWidget(label);

        horizontalSpacer_2 = new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
        horizontalLayout->addItem(horizontalSpacer_2);

        comboBox_APIName = new QComboBox(DemoChildGUIClass);
        comboBox_APIName->setObjectName(QString::fromUtf8("comboBox_APIName"));
        comboBox_APIName->setMinimumSize(QSize(400, 30));
        horizontalLayout->addWidget(comboBox_APIName);

        gridLayout->addLayout(horizontalLayout, 1, 0, 1, 1);

        horizontalLayout_3 = new QHBoxLayout();
        horizontalLayout_3->setSpacing(6);
        horizontalLayout_3->setObjectName(QString::fromUtf8("horizontalLayout_3"));
        label_4 = new QLabel(DemoChildGUIClass);
        label_4->setObjectName(QString::fromUtf8("label_4"));
        horizontalLayout_3->addWidget(label_4);

        lineEdit = new QLineEdit(DemoChildGUIClass);
        lineEdit->setObjectName(QString::fromUtf8("lineEdit"));
        lineEdit->setMaximumSize(QSize(16777215, 16777215));
        horizontalLayout_3->addWidget(lineEdit);

        gridLayout->addLayout(horizontalLayout_3, 2, 0, 1, 1);

        horizontalLayout_2 = new QHBoxLayout();
        horizontalLayout_2->setSpacing(6);
        horizontalLayout_2->setObjectName(QString::fromUtf8("horizontalLayout_2"));
        label_2 = new QLabel(DemoChildGUIClass);
        label_2->setObjectName(QString::fromUtf8("label_2"));
        horizontalLayout_2->addWidget(label_2);

        horizontalSpacer_3 = new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
        horizontalLayout_2->addItem(horizontalSpacer_3);

        gridLayout->addLayout(horizontalLayout_2, 3, 0, 1, 1);

        textEdit_2 = new QTextEdit(DemoChildGUIClass);
        textEdit_2->setObjectName(QString::fromUtf8("textEdit_2"));
        gridLayout->addWidget(textEdit_2, 4, 0, 1, 1);

        verticalLayout_2 = new QVBoxLayout();
        verticalLayout_2->setSpacing(6);
        verticalLayout_2->setObjectName(QString::fromUtf8("verticalLayout_2"));
        horizontalLayout_7 = new QHBoxLayout();
        horizontalLayout_7->setSpacing(6);
        horizontalLayout_7->setObjectName(QString::fromUtf8("horizontalLayout_7"));
        label_3 = new QLabel(DemoChildGUIClass);
        label_3->setObjectName(QString::fromUtf8("label_3"));
        horizontalLayout_7->addWidget(label_3);

        horizontalSpacer_4 = new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
        horizontalLayout_7->addItem(horizontalSpacer_4);

        pushButton = new QPushButton(DemoChildGUIClass);
        pushButton->setObjectName(QString::fromUtf8("pushButton"));
        horizontalLayout_7->addWidget(pushButton);

        verticalLayout_2->addLayout(horizontalLayout_7);

        textEdit = new QTextEdit(DemoChildGUIClass);
        textEdit->setObjectName(QString::fromUtf8("textEdit"));
        verticalLayout_2->addWidget(textEdit);

        gridLayout->addLayout(verticalLayout_2, 5, 0, 1, 1);

        retranslateUi(DemoChildGUIClass);

        QMetaObject::connectSlotsByName(DemoChildGUIClass);
    }

    void retranslateUi(QWidget* DemoChildGUIClass)
    {
        DemoChildGUIClass->setWindowTitle(
            QCoreApplication::translate("DemoChildGUIClass", "DemoChildGUI", nullptr));
        label_5->setText(QCoreApplication::translate("DemoChildGUIClass", "接口模块", nullptr));
        label->setText(QCoreApplication::translate("DemoChildGUIClass", "接口名称", nullptr));
        label_4->setText(QCoreApplication::translate("DemoChildGUIClass", "sn", nullptr));
        label_2->setText(QCoreApplication::translate("DemoChildGUIClass", "参数", nullptr));
        label_3->setText(QCoreApplication::translate("DemoChildGUIClass", "接口返回数据", nullptr));
        pushButton->setText(QCoreApplication::translate("DemoChildGUIClass", "请求", nullptr));
    }
};

namespace Ui {
class DemoChildGUIClass : public Ui_DemoChildGUIClass
{
};
} // namespace Ui
