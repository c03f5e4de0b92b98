#include "batchwindow/batchwindow.h"

#include "batch/batchexport.h"
#include "requests/jsontext.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace tessel {

namespace {

std::vector<BatchTarget> targetsOf(const std::vector<BatchCandidate>& candidates)
{
    std::vector<BatchTarget> targets;
    targets.reserve(candidates.size());
    for (const BatchCandidate& candidate : candidates)
        targets.push_back(candidate.target);
    return targets;
}

QPushButton* button(const QString& text, const char* name, QWidget* parent)
{
    auto* made = new QPushButton(text, parent);
    made->setObjectName(QString::fromLatin1(name));
    return made;
}

} // namespace

BatchWindow::BatchWindow(const QString& what, std::vector<BatchCandidate> candidates, QWidget* parent)
    : QWidget(parent, Qt::Window), batchEngine(targetsOf(candidates))
{
    setObjectName(QStringLiteral("batchWindow"));
    tableModel = new BatchTableModel(batchEngine, std::move(candidates), this);
    filterModel = new BatchFilterModel(this);
    filterModel->setSourceModel(tableModel);
    filterModel->setSortRole(BatchTableModel::sortRole);
    buildForm(what);

    refreshTimer.setSingleShot(true);
    refreshTimer.setInterval(refreshMs);
    connect(&refreshTimer, &QTimer::timeout, this, &BatchWindow::refresh);
    connect(&batchEngine, &BatchEngine::rowChanged, this, &BatchWindow::rowChanged);
    connect(&batchEngine, &BatchEngine::progress, this, [this] {
        if (!refreshTimer.isActive())
            refreshTimer.start();
    });
    connect(&batchEngine, &BatchEngine::finished, this, [this] {
        refresh();
        updateButtons();
        showEndLine();
    });
    checkTimer.setSingleShot(true);
    checkTimer.setInterval(checkDelayMs);
    connect(&checkTimer, &QTimer::timeout, this, &BatchWindow::checkRequest);
    updateButtons();
}

BatchWindow::~BatchWindow() = default;

void BatchWindow::rowChanged(int row)
{
    firstDirty = firstDirty < 0 ? row : std::min(firstDirty, row);
    lastDirty = std::max(lastDirty, row);
    if (!refreshTimer.isActive())
        refreshTimer.start();
}

void BatchWindow::refresh()
{
    refreshTimer.stop();
    if (firstDirty >= 0) {
        tableModel->engineRowsChanged(firstDirty, lastDirty);
        const QModelIndex current = filterModel->mapToSource(table->currentIndex());
        if (current.isValid() && current.row() >= firstDirty && current.row() <= lastDirty)
            showSelectedReply();
    }
    firstDirty = lastDirty = -1;
    updateProgress(batchEngine.done(), batchEngine.total());
    // Late answers change the count the end line gives.
    if (endLineShown && !batchEngine.running())
        showEndLine();
}

void BatchWindow::showEndLine()
{
    showMessage(batchEngine.endLine(), false);
    endLineShown = true;
}

void BatchWindow::buildForm(const QString& what)
{
    // The tag names this batch's sends in the history; its filter finds them.
    setWindowTitle(tr("批量操作 - %1 · %2").arg(what, batchEngine.tag()));
    resize(900, 600);
    auto* layout = new QVBoxLayout(this);

    operationLabel = new QLabel(what, this);
    operationLabel->setObjectName(QStringLiteral("operationLabel"));
    operationLabel->setTextFormat(Qt::PlainText);
    layout->addWidget(operationLabel);

    // Shown by setRequest(); a log-in has no request to show.
    requestEdit = new QPlainTextEdit(this);
    requestEdit->setObjectName(QStringLiteral("batchRequestEdit"));
    requestEdit->setTabChangesFocus(true); // as in the console: a request needs no tab characters
    requestEdit->hide();
    connect(requestEdit, &QPlainTextEdit::textChanged, &checkTimer, qOverload<>(&QTimer::start));

    auto* choose = new QHBoxLayout;
    filterEdit = new QLineEdit(this);
    filterEdit->setObjectName(QStringLiteral("filterEdit"));
    filterEdit->setPlaceholderText(tr("筛选：名称、序列号或IP"));
    connect(filterEdit, &QLineEdit::textChanged, filterModel, &BatchFilterModel::setFilterText);
    choose->addWidget(filterEdit, 1);
    QPushButton* all = button(tr("全选"), "checkAllButton", this);
    QPushButton* none = button(tr("全不选"), "checkNoneButton", this);
    connect(all, &QPushButton::clicked, this, [this] { checkShown(true); });
    connect(none, &QPushButton::clicked, this, [this] { checkShown(false); });
    choose->addWidget(all);
    choose->addWidget(none);
    layout->addLayout(choose);

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(tr("并发数"), this));
    concurrencyEdit = new QLineEdit(QString::number(BatchEngine::defaultConcurrency), this);
    concurrencyEdit->setObjectName(QStringLiteral("concurrencyEdit"));
    concurrencyEdit->setMaximumWidth(60);
    controls->addWidget(concurrencyEdit);
    controls->addWidget(new QLabel(tr("超时(秒)"), this));
    timeoutEdit = new QLineEdit(QString::number(BatchEngine::defaultTimeoutMs / 1000), this);
    timeoutEdit->setObjectName(QStringLiteral("timeoutEdit"));
    timeoutEdit->setMaximumWidth(60);
    controls->addWidget(timeoutEdit);
    startButton = button(tr("开始"), "startButton", this);
    stopButton = button(tr("停止"), "stopButton", this);
    retryButton = button(tr("重试失败项"), "retryButton", this);
    copyButton = button(tr("复制"), "copyButton", this);
    exportButton = button(tr("导出…"), "exportButton", this);
    connect(startButton, &QPushButton::clicked, this, &BatchWindow::startBatch);
    connect(stopButton, &QPushButton::clicked, this, [this] {
        batchEngine.stop();
        updateButtons();
        if (batchEngine.running())
            showMessage(tr("已停止：不再发送，正在等待已发出的请求"), false);
    });
    connect(retryButton, &QPushButton::clicked, this, &BatchWindow::retryClicked);
    connect(copyButton, &QPushButton::clicked, this, &BatchWindow::copyRows);
    connect(exportButton, &QPushButton::clicked, this, &BatchWindow::chooseExportFile);
    controls->addStretch(1);
    for (QPushButton* each : {startButton, stopButton, retryButton, copyButton, exportButton})
        controls->addWidget(each);
    layout->addLayout(controls);

    table = new QTableView(this);
    table->setObjectName(QStringLiteral("batchTable"));
    table->setModel(filterModel);
    table->setSortingEnabled(true);
    table->sortByColumn(-1, Qt::AscendingOrder); // the main window's order until a header is clicked
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setStretchLastSection(true);
    // Tab goes on to the next widget; the arrows move inside the table.
    table->setTabKeyNavigation(false);
    fitColumns(*table, *tableModel);
    connect(table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &BatchWindow::showSelectedReply);

    replyView = new QPlainTextEdit(this);
    replyView->setObjectName(QStringLiteral("replyView"));
    replyView->setReadOnly(true);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(requestEdit);
    splitter->addWidget(table);
    splitter->addWidget(replyView);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 3);
    splitter->setStretchFactor(2, 1);
    layout->addWidget(splitter, 1);

    auto* status = new QHBoxLayout;
    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setRange(0, 1);
    progressBar->setValue(0);
    progressLabel = new QLabel(this);
    progressLabel->setObjectName(QStringLiteral("progressLabel"));
    status->addWidget(progressBar, 1);
    status->addWidget(progressLabel);
    layout->addLayout(status);

    messageLabel = new QLabel(this);
    messageLabel->setObjectName(QStringLiteral("messageLabel"));
    messageLabel->setTextFormat(Qt::PlainText);
    messageLabel->setWordWrap(true);
    layout->addWidget(messageLabel);
}

void BatchWindow::setPreflight(std::function<QString()> check)
{
    preflight = std::move(check);
    passesPreflight();
}

bool BatchWindow::passesPreflight()
{
    const QString fault = preflight ? preflight() : QString();
    if (!fault.isEmpty()) {
        showMessage(fault, true);
        preflightShown = true;
    }
    return fault.isEmpty();
}

void BatchWindow::setRequest(const QString& text)
{
    requestEdit->setPlainText(text);
    requestEdit->show();
    checkRequest();
}

QString BatchWindow::requestText() const
{
    return requestEdit->isHidden() ? QString() : requestEdit->toPlainText();
}

void BatchWindow::checkRequest()
{
    checkTimer.stop();
    // The console's check: an empty box is left unmarked.
    const QString text = requestEdit->toPlainText();
    std::optional<JsonFault> fault;
    if (!text.trimmed().isEmpty())
        fault = findJsonFault(text.toStdString());
    const QString style =
        fault ? jsonFaultStyle(QStringLiteral("QPlainTextEdit#batchRequestEdit")) : QString();
    if (requestEdit->styleSheet() != style)
        requestEdit->setStyleSheet(style);
    requestEdit->setToolTip(fault ? faultText(*fault) : QString());
    // A refusal of the request on show follows the edit; other messages stay.
    if (preflight && (preflightShown || message().isEmpty()) && !batchEngine.running()) {
        const bool wasShown = preflightShown;
        if (passesPreflight() && wasShown)
            showMessage(QString(), false);
    }
}

void BatchWindow::setTerminalState(const QString& serial, const QString& state)
{
    tableModel->setTerminalState(serial, state);
}

bool BatchWindow::readSettings(int& concurrency, int& timeoutMs)
{
    bool ok = false;
    concurrency = concurrencyEdit->text().trimmed().toInt(&ok);
    if (!ok || concurrency < 1 || concurrency > BatchEngine::maxConcurrency) {
        showMessage(tr("并发数须为 1 到 %1 之间的整数，现为“%2”")
                        .arg(BatchEngine::maxConcurrency)
                        .arg(concurrencyEdit->text()),
                    true);
        return false;
    }
    const QString timeoutText = timeoutEdit->text().trimmed();
    const double seconds = QLocale::c().toDouble(timeoutText, &ok);
    // Up to a day; anything longer is a typing slip.
    if (!ok || !std::isfinite(seconds) || seconds < 0.001 || seconds > 86400) {
        showMessage(timeoutText.isEmpty()
                        ? tr("请填写超时（秒）")
                        : tr("超时须为 0.001 到 86400 之间的秒数，现为“%1”").arg(timeoutText),
                    true);
        return false;
    }
    timeoutMs = static_cast<int>(std::lround(seconds * 1000));
    return true;
}

bool BatchWindow::startBatch()
{
    int concurrency = 0;
    int timeoutMs = 0;
    if (!readSettings(concurrency, timeoutMs) || !passesPreflight())
        return false;
    const std::vector<int> rows = tableModel->checkedRows();
    if (rows.empty()) {
        showMessage(tr("请先勾选终端"), true);
        return false;
    }
    const QString refusal = batchEngine.run(rows, concurrency, timeoutMs);
    if (!refusal.isEmpty()) {
        showMessage(refusal, true);
        return false;
    }
    if (batchEngine.running())
        showMessage(tr("正在发送"), false);
    updateButtons();
    return true;
}

void BatchWindow::retryClicked()
{
    if (!retryHandler) {
        retryFailed();
        return;
    }
    int concurrency = 0;
    int timeoutMs = 0;
    if (!readSettings(concurrency, timeoutMs))
        return;
    if (const QString refusal = batchEngine.retryRefusal(); !refusal.isEmpty()) {
        showMessage(refusal, true);
        return;
    }
    retryHandler();
}

bool BatchWindow::retryFailed()
{
    int concurrency = 0;
    int timeoutMs = 0;
    if (!readSettings(concurrency, timeoutMs) || !passesPreflight())
        return false;
    const QString refusal = batchEngine.retryFailed(concurrency, timeoutMs);
    if (!refusal.isEmpty()) {
        showMessage(refusal, true);
        return false;
    }
    updateButtons();
    return true;
}

void BatchWindow::showMessage(const QString& text, bool fault)
{
    messageLabel->setStyleSheet(fault ? QStringLiteral("color: #d32f2f;") : QString());
    messageLabel->setText(text);
    endLineShown = false;
    preflightShown = false;
}

QString BatchWindow::message() const
{
    return messageLabel->text();
}

void BatchWindow::updateProgress(int done, int total)
{
    progressBar->setRange(0, std::max(total, 1));
    progressBar->setValue(done);
    progressLabel->setText(tr("已完成 %1 / %2").arg(done).arg(total));
}

void BatchWindow::updateButtons()
{
    const bool running = batchEngine.running();
    startButton->setEnabled(!running);
    stopButton->setEnabled(running && !batchEngine.stopped());
    retryButton->setEnabled(!running);
}

void BatchWindow::showSelectedReply()
{
    const QModelIndex current = filterModel->mapToSource(table->currentIndex());
    if (!current.isValid()) {
        replyView->clear();
        return;
    }
    const BatchRow& row = batchEngine.row(current.row());
    QString text;
    // Every answer of the row's sends, the last one at the bottom.
    for (const BatchResult& result : row.results)
        text +=
            tr("返回码 %1，%2 ms\n").arg(result.code).arg(result.ms) + result.reply + QStringLiteral("\n\n");
    replyView->setPlainText(text.trimmed());
}

void BatchWindow::checkShown(bool checked)
{
    for (int row = 0; row < filterModel->rowCount(); ++row)
        tableModel->setChecked(filterModel->mapToSource(filterModel->index(row, 0)).row(), checked);
}

std::vector<int> BatchWindow::shownRunRows() const
{
    // In the order on show, and only the rows a run has touched.
    std::vector<int> rows;
    for (int row = 0; row < filterModel->rowCount(); ++row) {
        const int source = filterModel->mapToSource(filterModel->index(row, 0)).row();
        if (batchEngine.row(source).state != BatchState::Idle)
            rows.push_back(source);
    }
    return rows;
}

void BatchWindow::copyRows()
{
    if (batchEngine.total() > 0) {
        QApplication::clipboard()->setText(batchClipboardText(batchEngine, shownRunRows()));
        return;
    }
    // Before any run: the rows on show, with their terminal's state.
    std::vector<int> rows;
    for (int row = 0; row < filterModel->rowCount(); ++row)
        rows.push_back(filterModel->mapToSource(filterModel->index(row, 0)).row());
    QApplication::clipboard()->setText(
        batchClipboardText(batchEngine, rows, [this](int row) { return tableModel->terminalState(row); }));
}

QString BatchWindow::exportTo(const QString& path)
{
    const std::vector<int> rows = shownRunRows();
    const QByteArray bytes = path.endsWith(QStringLiteral(".jsonl"), Qt::CaseInsensitive)
                                 ? batchJsonLines(batchEngine, rows)
                                 : batchCsv(batchEngine, rows);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        const QString fault = tr("无法写入 %1：%2").arg(path, file.errorString());
        showMessage(fault, true);
        return fault;
    }
    showMessage(tr("已导出 %1 行到 %2").arg(rows.size()).arg(path), false);
    return QString();
}

void BatchWindow::chooseExportFile()
{
    // Not a static dialog: it would spin an event loop of its own.
    auto* dialog = new QFileDialog(this, tr("导出"), QString(), tr("CSV (*.csv);;JSON Lines (*.jsonl)"));
    dialog->setObjectName(QStringLiteral("exportDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::filterSelected, dialog, [dialog](const QString& filter) {
        dialog->setDefaultSuffix(filter.contains(QStringLiteral("jsonl")) ? QStringLiteral("jsonl")
                                                                          : QStringLiteral("csv"));
    });
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) { exportTo(path); });
    dialog->open();
}

void BatchWindow::closeEvent(QCloseEvent* event)
{
    // Like "停止": what is under way finishes and is still recorded and
    // shown (a log-in still marks its terminal); the window goes after that.
    batchEngine.stop();
    updateButtons();
    if (batchEngine.running())
        connect(&batchEngine, &BatchEngine::finished, this, &QObject::deleteLater, Qt::UniqueConnection);
    else
        deleteLater();
    QWidget::closeEvent(event);
}

void BatchWindow::keyPressEvent(QKeyEvent* event)
{
    // Reaches the window only when no child took the key.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace tessel
