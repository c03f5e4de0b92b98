#include "console/demochildgui.h"

#include "console/consolehistory.h"
#include "console/consoletools.h"
#include "console/longlinefolder.h"
#include "console/replywait.h"
#include "history/historyrecorder.h"
#include "operations/catalogue.h"
#include "operations/samples.h"
#include "requests/requestrunner.h"
#include "requests/requesttarget.h"

#include <QAction>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QStringList>
#include <QStyledItemDelegate>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using tessel::ApiModule;
using tessel::apiModules;
using tessel::apiNames;
using tessel::sampleRequest;

DemoChildGUI::DemoChildGUI(QWidget* parent)
    : DemoChildGUI(std::make_unique<tessel::HistoryRecorder>(), nullptr, parent)
{}

DemoChildGUI::DemoChildGUI(tessel::HistoryRecorder& history, QWidget* parent)
    : DemoChildGUI(nullptr, &history, parent)
{}

DemoChildGUI::DemoChildGUI(std::unique_ptr<tessel::HistoryRecorder> own, tessel::HistoryRecorder* history,
                           QWidget* parent)
    : QWidget(parent), ownHistory(std::move(own))
{
    ui.setupUi(this);
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);

    // A late reply may answer another request than the one on show: every
    // reply says which one, without hovering.
    replyOrigin = new QLabel(this);
    replyOrigin->setObjectName(QStringLiteral("replyOrigin"));
    replyOrigin->setTextFormat(Qt::PlainText);
    replyOrigin->setTextInteractionFlags(Qt::TextSelectableByMouse);
    replyOrigin->setWordWrap(true); // a long line would widen the window
    ui.verticalLayout_2->addWidget(replyOrigin);
    replyWait = new tessel::ReplyWait(this);
    connect(replyWait, &tessel::ReplyWait::changed, this, [this] { showOrigin(); });

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

    const auto reloadSample = [this] {
        slotsSetRequestData(ui.comboBox_APIName->currentText());
    };
    tools = new tessel::ConsoleTools(*this, {*ui.comboBox_APIModule, *ui.comboBox_APIName, *ui.textEdit_2,
                                             *ui.textEdit, *ui.pushButton, reloadSample});
    consoleHistory = new tessel::ConsoleHistory(*this, history ? *history : *ownHistory,
                                                *ui.comboBox_APIModule, *ui.comboBox_APIName, *ui.textEdit_2);
    // Before the history's entry, which stays last.
    tools->addRequestMenuSection([this](QMenu& menu) {
        QAction* batch = menu.addAction(tr("批量发送…"), this, &DemoChildGUI::openBatch);
        batch->setEnabled(bool(batchOpener));
        // Only named in the menu: an action of a context menu is never a
        // shortcut of the console, whose own shortcut below stays the one.
        batch->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Return));
        batch->setShortcutVisibleInContextMenu(true);
    });
    tools->addRequestMenuSection([history = consoleHistory](QMenu& menu) { history->addMenuEntry(menu); });
    for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | key), this, nullptr, nullptr,
                                       Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, &DemoChildGUI::openBatch);
    }
}

void DemoChildGUI::openBatch()
{
    if (batchOpener)
        batchOpener(ui.comboBox_APIName->currentText().toUtf8(),
                    tessel::unfoldedText(*ui.textEdit_2->document()).toUtf8());
}

DemoChildGUI::~DemoChildGUI()
{
    // The history's window shows the recorder, which may be our own.
    delete consoleHistory;
}

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
    const QByteArray apiName = ui.comboBox_APIName->currentText().toUtf8();
    // Nothing would come back, so say why instead of leaving the box silent.
    if (!tessel::RequestRunner::startsOperation(
            std::string_view(apiName.constData(), static_cast<std::size_t>(apiName.size())))) {
        ui.textEdit->setPlainText(tessel::RequestRunner::refusalText());
        return;
    }
    // The console can be opened from an empty table row before any terminal
    // has installed a sender: then there is nowhere to send to.
    if (!requestSender)
        return;
    const QByteArray requestText = tessel::unfoldedText(*ui.textEdit_2->document()).toUtf8();
    requestSender(apiName, requestText);
}

void DemoChildGUI::soltsGetSN(QString sn)
{
    const QString previous = ui.lineEdit->text();
    ui.lineEdit->setText(sn);
    if (sn == previous)
        return;
    // A request still aimed at the previous terminal follows the console to
    // the new one; a result of the previous terminal must not pass for the
    // new one's.
    const std::string request = tessel::unfoldedText(*ui.textEdit_2->document()).toStdString();
    const std::string moved =
        tessel::requesttarget::retargeted(request, previous.toStdString(), sn.toStdString());
    if (moved != request)
        ui.textEdit_2->setPlainText(QString::fromStdString(moved));
    ui.textEdit->clear();
    shownOrigin.clear();
    showOrigin();
}

void DemoChildGUI::soltGetResponseData(int code, QString reply)
{
    // Plain text: a reply is data from a terminal, never markup to render.
    ui.textEdit->setPlainText(QString::number(code) + QLatin1Char('\n') + reply);
    shownOrigin = nextReplyOrigin;
    nextReplyOrigin.clear();
    replyWait->answered(std::exchange(nextReplyRequest, 0));
    showOrigin();
    tools->replyShown(code, reply);
}

void DemoChildGUI::awaitReply(std::uint64_t request)
{
    replyWait->start(request);
}

void DemoChildGUI::setReplyTimeout(std::chrono::milliseconds timeout)
{
    replyWait->setTimeout(timeout);
}

// The origin of the reply on show, and while the latest request waits, that.
void DemoChildGUI::showOrigin()
{
    const QString wait = replyWait->text();
    if (wait.isEmpty())
        replyOrigin->setText(shownOrigin);
    else if (shownOrigin.isEmpty())
        replyOrigin->setText(wait);
    else
        replyOrigin->setText(tr("%1（上方是 %2 的回复）").arg(wait, shownOrigin));
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
    shownOrigin.clear();
    showOrigin();
    // A name without a sample (placeholders, the empty text of a cleared box)
    // leaves the user's request as it is.
    const char* sample = sampleRequest(name.toStdString());
    if (!sample)
        return;
    // Samples carry example serials; the console's own terminal takes their place.
    const std::string serial = ui.lineEdit->text().toStdString();
    ui.textEdit_2->setPlainText(QString::fromStdString(
        serial.empty() ? std::string(sample) : tessel::requesttarget::withSerial(sample, serial)));
}
