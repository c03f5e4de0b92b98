#include "console/demochildgui.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

DemoChildGUI::DemoChildGUI(QWidget* parent) : QWidget(parent)
{
    setObjectName("DemoChildGUIClass");
    setWindowTitle("DemoChildGUI");
    resize(575, 445);
    auto* layout = new QVBoxLayout(this);
    comboBox_APIModule = new QComboBox(this);
    comboBox_APIModule->setObjectName("comboBox_APIModule");
    comboBox_APIName = new QComboBox(this);
    comboBox_APIName->setObjectName("comboBox_APIName");
    lineEdit = new QLineEdit(this);
    lineEdit->setObjectName("lineEdit");
    textEdit_2 = new QTextEdit(this);
    textEdit_2->setObjectName("textEdit_2");
    pushButton = new QPushButton(QString::fromUtf8("请求"), this);
    pushButton->setObjectName("pushButton");
    textEdit = new QTextEdit(this);
    textEdit->setObjectName("textEdit");
    for (QWidget* widget : std::initializer_list<QWidget*>{comboBox_APIModule, comboBox_APIName, lineEdit,
                                                           textEdit_2, pushButton, textEdit})
        layout->addWidget(widget);
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    connect(pushButton, SIGNAL(clicked()), this, SLOT(soltsGetInfo()));
}

DemoChildGUI::~DemoChildGUI() = default;

void DemoChildGUI::setRequestSender(RequestSender sender)
{
    requestSender = std::move(sender);
}

void DemoChildGUI::soltsGetInfo()
{
    if (!requestSender)
        return;
    const QByteArray apiName = comboBox_APIName->currentText().toUtf8();
    const QByteArray requestText = textEdit_2->toPlainText().toUtf8();
    requestSender(apiName, requestText);
}

void DemoChildGUI::soltsGetSN(QString sn)
{
    lineEdit->setText(sn);
}

void DemoChildGUI::soltGetResponseData(int code, QString reply)
{
    textEdit->clear();
    textEdit->setText(QString::number(code));
    textEdit->append(reply);
}

void DemoChildGUI::slotsChangeAPI(int) {}

void DemoChildGUI::slotsSetRequestData(QString) {}
