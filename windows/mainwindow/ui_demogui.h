#pragma once

// The main window's form, written as the designer would generate it.

#include <QtCore/QCoreApplication>
#include <QtCore/QMetaObject>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSpacerItem>
#include <QtWidgets/QTableWidget>
#include <QtWidgets/QWidget>

class Ui_DemoGUIClass
{
public:
    QGridLayout* gridLayout;
    QTableWidget* tableWidget;
    QPushButton* pushButton_2;
    QSpacerItem* horizontalSpacer;
    QPushButton* pushButton;
    QSpacerItem* horizontalSpacer_2;
    QPushButton* specifyRangeIpButton;

    void setupUi(QWidget* DemoGUIClass)
    {
        if (DemoGUIClass->objectName().isEmpty())
            DemoGUIClass->setObjectName(QString::fromUtf8("DemoGUIClass"));
        DemoGUIClass->resize(600, 400);
        gridLayout = new QGridLayout(DemoGUIClass);
        gridLayout->setSpacing(6);
        gridLayout->setContentsMargins(11, 11, 11, 11);
        gridLayout->setObjectName(QString::fromUtf8("gridLayout"));
        tableWidget = new QTableWidget(DemoGUIClass);
        tableWidget->setObjectName(QString::fromUtf8("tableWidget"));
        gridLayout->addWidget(tableWidget, 1, 0, 1, 5);

        pushButton_2 = new QPushButton(DemoGUIClass);
        pushButton_2->setObjectName(QString::fromUtf8("pushButton_2"));
        gridLayout->addWidget(pushButton_2, 0, 2, 1, 1);

        horizontalSpacer = new QSpacerItem(245, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
        gridLayout->addItem(horizontalSpacer, 0, 0, 1, 1);

        pushButton = new QPushButton(DemoGUIClass);
        pushButton->setObjectName(QString::fromUtf8("pushButton"));
        gridLayout->addWidget(pushButton, 0, 1, 1, 1);

        horizontalSpacer_2 = new QSpacerItem(244, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
        gridLayout->addItem(horizontalSpacer_2, 0, 4, 1, 1);

        specifyRangeIpButton = new QPushButton(DemoGUIClass);
        specifyRangeIpButton->setObjectName(QString::fromUtf8("specifyRangeIpButton"));
        gridLayout->addWidget(specifyRangeIpButton, 0, 3, 1, 1);

        retranslateUi(DemoGUIClass);

        QMetaObject::connectSlotsByName(DemoGUIClass);
    }

    void retranslateUi(QWidget* DemoGUIClass)
    {
        DemoGUIClass->setWindowTitle(QCoreApplication::translate("DemoGUIClass", "DemoGUI", nullptr));
        pushButton_2->setText(QCoreApplication::translate("DemoGUIClass", "指定IP", nullptr));
        pushButton->setText(QCoreApplication::translate("DemoGUIClass", "搜索", nullptr));
        specifyRangeIpButton->setText(QCoreApplication::translate("DemoGUIClass", "指定范围IP", nullptr));
    }
};

namespace Ui {
class DemoGUIClass : public Ui_DemoGUIClass
{
};
} // namespace Ui
