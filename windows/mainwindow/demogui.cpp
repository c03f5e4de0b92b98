#include "mainwindow/demogui.h"

#include "batchwindow/batchwindow.h"
#include "console/consolehistory.h"
#include "console/ownedwindow.h"
#include "mainwindow/mainwindowkeys.h"
#include "replay/runfile.h"
#include "requests/sdkinit.h"

#include <QAbstractItemView>
#include <QDialog>
#include <QHeaderView>
#include <QStringList>
#include <QTableWidgetItem>

namespace {

tessel::ConsoleServices& withHistory(tessel::ConsoleServices& services)
{
    if (!services.historyRecorder())
        qFatal("DemoGUI: the console services were made without a history");
    return services;
}

} // namespace

DemoGUI::DemoGUI(QWidget* parent) : DemoGUI(std::make_unique<tessel::ConsoleServices>(), nullptr, parent) {}

DemoGUI::DemoGUI(tessel::ConsoleServices& services, QWidget* parent) : DemoGUI(nullptr, &services, parent) {}

DemoGUI::DemoGUI(std::unique_ptr<tessel::ConsoleServices> own, tessel::ConsoleServices* handed,
                 QWidget* parent)
    : QWidget(parent), ownServices(std::move(own)), services(withHistory(handed ? *handed : *ownServices)),
      console(historyRecorder(), nullptr), changePasswordWidget(nullptr), terminals(services.terminals())
{
    terminals.clear();
    nextRow = 0;
    currentRow = 0;

    buildSearchDialogs();
    ui.setupUi(this);
    setUpTable();
    tessel::installMainWindowKeys(this, ui, [this](int row) { slotsGetIndex(row, 0); });

    // The log-out reply travels as a byte string through a queued connection.
    qRegisterMetaType<std::string>("std::string");
    connect(this, SIGNAL(signalsendSN(QString)), &console, SLOT(soltsGetSN(QString)));
    connect(this, SIGNAL(signalsendResponseData(int, QString)), &console,
            SLOT(soltGetResponseData(int, QString)));
    tessel::RequestRunner& runner = requestRunner();
    connect(&runner, &tessel::RequestRunner::result, this,
            [this, &runner](tessel::RequestRunner::Id id, int code, const QString& reply, qint64 ms) {
                if (!consoleRequests.count(id))
                    return;
                console.setNextReplyOrigin(runner.describe(id, ms), id);
                emit signalsendResponseData(code, reply);
            });
    console.setBatchOpener([this](const QByteArray& apiName, const QByteArray& requestText) {
        openBatchSend(apiName, requestText);
    });
    connect(ui.tableWidget, &QTableWidget::cellDoubleClicked, this, &DemoGUI::slotsGetIndex);
    // Every change of a state cell: a log-in, a log-out, a new search's rows.
    connect(ui.tableWidget->model(), &QAbstractItemModel::dataChanged, this, &DemoGUI::stateCellsChanged);
    connect(&console.history(), &tessel::ConsoleHistory::replayRequested, this, &DemoGUI::openReplay);
    connect(this, &DemoGUI::signalDissconnect, this, &DemoGUI::slotDissconnect, Qt::QueuedConnection);
    connect(this, &DemoGUI::signalSerch, this, &DemoGUI::slotSerch, Qt::QueuedConnection);
    connect(this, &DemoGUI::signalLogin, this, &DemoGUI::slotLogin, Qt::QueuedConnection);

    tessel::initSdk();

    connect(ui.pushButton, &QPushButton::clicked, this, &DemoGUI::slotClickedSearch);
    // No object bears the names these slots imply, so they are connected by hand.
    connect(ipOkButton, &QPushButton::clicked, this, &DemoGUI::on_slotsIp_button_start_clicked);
    connect(rangeOkButton, &QPushButton::clicked, this, &DemoGUI::on_slotsRange_Ip_button_start_clicked);
    connect(ipCancelButton, &QPushButton::clicked, ipDialog, &QDialog::close);
    connect(rangeCancelButton, &QPushButton::clicked, rangeIpDialog, &QDialog::close);

    slotClickedSearch();
}

DemoGUI::~DemoGUI()
{
    // Batch windows send through the runner, which may go before the children do.
    const QList<tessel::BatchWindow*> batches =
        findChildren<tessel::BatchWindow*>(QString(), Qt::FindDirectChildrenOnly);
    for (tessel::BatchWindow* batch : batches)
        batch->removeEventFilter(this);
    qDeleteAll(batches);
    // The search dialogs have no parent; they go with the window.
    delete ipDialog;
    delete rangeIpDialog;
}

void DemoGUI::setUpTable()
{
    QTableWidget* table = ui.tableWidget;
    table->setColumnCount(4);
    table->setRowCount(initialTableRows);
    table->setHorizontalHeaderLabels(QStringList{tr("终端名称"), tr("状态"), tr("终端IP"), tr("显示屏大小")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
}

void DemoGUI::slotsGetIndex(int row, int /*column*/)
{
    // Brought to the front with the keyboard, also when it was open already,
    // so that Ctrl+F and typing reach it.
    console.show();
    console.raise();
    console.activateWindow();
    if (row < 0 || static_cast<std::size_t>(row) >= terminals.size())
        return;
    emit signalsendSN(QString::fromStdString(terminals[static_cast<std::size_t>(row)].sn));
    console.setRequestSender([this](const QByteArray& apiName, const QByteArray& requestText) {
        dispatchApi(apiName, requestText);
    });
}

// One replay at a time: a new one replaces the last, which stops sending.
void DemoGUI::openReplay(const std::vector<tessel::HistoryEntry>& entries)
{
    QStringList serials;
    std::vector<tessel::BatchTarget> offered;
    for (const tsc::SearchResponseData& terminal : terminals) {
        const QString serial = QString::fromStdString(terminal.sn);
        if (serial.isEmpty() || serials.contains(serial))
            continue;
        serials << serial;
        offered.push_back(
            {QString::fromStdString(terminal.name), serial, QString::fromStdString(terminal.ip)});
    }
    replayWindow = std::make_unique<tessel::ReplayWindow>(requestRunner(), terminalActions(),
                                                          tessel::runLinesOf(entries), std::move(offered));
    tessel::showAboveConsole(*replayWindow, console, this);
}

void DemoGUI::stateCellsChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight)
{
    if (topLeft.column() > 1 || bottomRight.column() < 1)
        return;
    const QList<tessel::BatchWindow*> batches =
        findChildren<tessel::BatchWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (batches.isEmpty())
        return;
    for (int row = topLeft.row();
         row <= bottomRight.row() && static_cast<std::size_t>(row) < terminals.size(); ++row) {
        const QTableWidgetItem* cell = ui.tableWidget->item(row, 1);
        const QString serial = QString::fromStdString(terminals[static_cast<std::size_t>(row)].sn);
        for (tessel::BatchWindow* batch : batches)
            batch->setTerminalState(serial, cell ? cell->text() : QString());
    }
}
