#include "console/demochildgui.h"

#include "console/catalogue.h"
#include "console/consolehistory.h"
#include "console/samples.h"

#include <QStringList>
#include <QStyledItemDelegate>

#include <string>
#include <vector>

DemoChildGUI::DemoChildGUI(QWidget* parent) : QWidget(parent)
{
    ui.setupUi(this);
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);

    connect(ui.pushButton, SIGNAL(clicked()), this, SLOT(soltsGetInfo()));
    connect(ui.comboBox_APIModule, SIGNAL(currentIndexChanged(int)), this, SLOT(slotsChangeAPI(int)));
    connect(ui.comboBox_APIName, SIGNAL(currentIndexChanged(QString)), this,
            SLOT(slotsSetRequestData(QString)));

    // Created after the form, so the combo boxes (which only borrow it) are
    // destroyed before it.
    itemDelegate = new QStyledItemDelegate(this);
    ui.comboBox_APIModule->setItemDelegate(itemDelegate);
    ui.comboBox_APIName->setItemDelegate(itemDelegate);

    // Taller popup rows; the styled delegate is what makes the sheet apply.
    const QString itemStyle = QString::fromUtf8("QComboBox QAbstractItemView::item {min-height: 25px;}");
    ui.comboBox_APIModule->setStyleSheet(itemStyle);
    ui.comboBox_APIName->setStyleSheet(itemStyle);

    // The first module becomes current, which fills the name box through
    // slotsChangeAPI and loads the first name's sample.
    fillModules();

    consoleHistory =
        new tessel::ConsoleHistory(*this, *ui.comboBox_APIModule, *ui.comboBox_APIName, *ui.textEdit_2);
}

DemoChildGUI::~DemoChildGUI() = default;

void DemoChildGUI::setRequestSender(RequestSender sender)
{
    requestSender = std::move(sender);
}

void DemoChildGUI::fillModules()
{
    QStringList labels;
    for (const ApiModule& module : apiModules())
        labels.append(QString::fromUtf8(module.label));
    ui.comboBox_APIModule->insertItems(ui.comboBox_APIModule->count(), labels);
}

void DemoChildGUI::fillApiNames(int moduleIndex)
{
    QStringList names;
    for (const std::string& name : apiNames(moduleIndex))
        names.append(QString::fromStdString(name));
    ui.comboBox_APIName->insertItems(ui.comboBox_APIName->count(), names);
}

void DemoChildGUI::soltsGetInfo()
{
    // The console can be opened from an empty table row before any terminal
    // has installed a sender: then there is nowhere to send to.
    if (!requestSender)
        return;
    const QByteArray apiName = ui.comboBox_APIName->currentText().toUtf8();
    const QByteArray requestText = ui.textEdit_2->toPlainText().toUtf8();
    requestSender(apiName, requestText);
}

void DemoChildGUI::soltsGetSN(QString sn)
{
    ui.lineEdit->setText(sn);
}

void DemoChildGUI::soltGetResponseData(int code, QString reply)
{
    ui.textEdit->clear();
    ui.textEdit->setText(QString::number(code));
    ui.textEdit->append(reply);
}

void DemoChildGUI::slotsChangeAPI(int index)
{
    // -1 comes when the module box empties; the name box then stays as it is.
    if (index < 0 || index >= static_cast<int>(apiModules().size()))
        return;
    ui.comboBox_APIName->clear();
    fillApiNames(index);
}

void DemoChildGUI::slotsSetRequestData(QString name)
{
    ui.textEdit->clear();
    // A name without a sample (placeholders, the empty text of a cleared box)
    // leaves the user's request as it is.
    if (const char* sample = sampleRequest(name.toStdString()))
        ui.textEdit_2->setText(QString::fromUtf8(sample));
}
