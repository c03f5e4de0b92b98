#include "historywindow/historywindow.h"

#include "history/historymodel.h"
#include "history/historyrecorder.h"
#include "historywindow/currentrowframe.h"
#include "historywindow/longlinewrap.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace tessel {
namespace {

// The detail pane shows this much of a request or reply; laying out
// megabytes would hold the window for seconds. "复制" copies them whole.
constexpr int shownChars = 100000;

QString shown(const QString& text, bool whole)
{
    if (whole || text.size() <= shownChars)
        return text;
    int cut = shownChars;
    if (text.at(cut - 1).isHighSurrogate())
        --cut; // a whole character
    return text.left(cut) +
           QObject::tr("\n…（另有 %1 个字符未显示，“复制”可复制全文）").arg(text.size() - cut);
}

QString resultText(const HistoryResult& result, std::size_t number, bool whole = true)
{
    // A reply too long to keep whole says so in its heading too.
    const QString cut = result.cutFromBytes > 0
                            ? QStringLiteral(" · 回复过长，已截断（原 %1 字节）").arg(result.cutFromBytes)
                            : QString();
    return QStringLiteral("\n结果 %1 · 返回码 %2 · %3 ms%4\n%5")
        .arg(number)
        .arg(result.code)
        .arg(result.ms)
        .arg(cut, shown(result.reply, whole));
}

QString requestText(const HistoryEntry& entry, bool whole = true)
{
    const QString batch = entry.batch.isEmpty() ? QString() : QStringLiteral("批次：%1\n").arg(entry.batch);
    return QStringLiteral("时间：%1\n序列号：%2\n接口：%3\n%4请求：\n%5\n")
        .arg(QDateTime::fromMSecsSinceEpoch(entry.sentAtMs)
                 .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
             entry.serial, entry.operation, batch, shown(entry.request, whole));
}

} // namespace

QString historyDetailText(const HistoryEntry& entry)
{
    QString text = requestText(entry);
    for (std::size_t i = 0; i < entry.results.size(); ++i)
        text += resultText(entry.results[i], i + 1);
    return text;
}

HistoryWindow::HistoryWindow(HistoryRecorder& recorder) : QWidget(nullptr), recorder(recorder)
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(tr("历史记录"));
    resize(920, 560);

    model = new HistoryModel(recorder, this);
    proxy = new QSortFilterProxyModel(this);
    proxy->setSourceModel(model);
    proxy->setFilterKeyColumn(HistoryModel::TimeColumn);
    proxy->setFilterRole(HistoryModel::FilterRole);
    proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);

    filter = new QLineEdit(this);
    filter->setObjectName(QStringLiteral("historyFilter"));
    filter->setPlaceholderText(tr("筛选：时间、序列号、接口、返回码"));
    filter->setClearButtonEnabled(true);

    table = new QTableView(this);
    table->setObjectName(QStringLiteral("historyTable"));
    table->setModel(proxy);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection); // several for "回放…"
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    // Tab leaves the table (Shift+Tab comes back) and leaves the selected
    // request as it is; the arrows move inside it.
    table->setTabKeyNavigation(false);
    frameCurrentRowOnFocus(*table);
    table->horizontalHeader()->setSectionResizeMode(HistoryModel::OperationColumn, QHeaderView::Stretch);
    // Fixed widths from the font: fitting the columns to their contents would
    // measure every one of up to 10,000 rows.
    const QFontMetrics metrics = table->fontMetrics();
    table->setColumnWidth(HistoryModel::TimeColumn, metrics.horizontalAdvance("0000-00-00 00:00:00") + 16);
    table->setColumnWidth(HistoryModel::SerialColumn, metrics.horizontalAdvance("BZSA07194A0049999716") + 16);

    detail = new QPlainTextEdit(this);
    detail->setObjectName(QStringLiteral("historyDetail"));
    detail->setReadOnly(true);
    wrapLongLinesAnywhere(*detail->document());

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(table);
    splitter->addWidget(detail);

    status = new QLabel(this);
    status->setObjectName(QStringLiteral("historyStatus"));
    loadButton = new QPushButton(tr("载入"), this);
    loadButton->setObjectName(QStringLiteral("historyLoad"));
    copyButton = new QPushButton(tr("复制"), this);
    copyButton->setObjectName(QStringLiteral("historyCopy"));
    exportButton = new QPushButton(tr("导出…"), this);
    exportButton->setObjectName(QStringLiteral("historyExport"));
    replayButton = new QPushButton(tr("回放…"), this);
    replayButton->setObjectName(QStringLiteral("historyReplay"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status, 1);
    buttons->addWidget(loadButton);
    buttons->addWidget(copyButton);
    buttons->addWidget(exportButton);
    buttons->addWidget(replayButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filter);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);

    filterDelay.setSingleShot(true);
    filterDelay.setInterval(150);
    connect(filter, &QLineEdit::textChanged, &filterDelay, qOverload<>(&QTimer::start));
    connect(&filterDelay, &QTimer::timeout, this, &HistoryWindow::applyFilter);
    // Tabbing into a table with nothing selected makes its first row current,
    // and so the request on show and the one "载入" takes: it is selected as
    // well, so that it looks it.
    connect(table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                QItemSelectionModel* selection = table->selectionModel();
                if (current.isValid() && !selection->hasSelection())
                    selection->select(current, QItemSelectionModel::Select | QItemSelectionModel::Rows);
            });
    connect(table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &HistoryWindow::showSelected);
    // The older requests come in while the window may be open already: the
    // entry on show stays selected and shown, under its new index.
    connect(proxy, &QAbstractItemModel::modelReset, this, [this] {
        // (A refilter empties the proxy for a moment and reselects itself.)
        shownEntry = proxy->sourceModel() == model ? this->recorder.list().indexOf(shownId) : -1;
        if (shownEntry >= 0)
            selectEntry(shownEntry);
        showSelected();
    });
    connect(proxy, &QAbstractItemModel::rowsRemoved, this, &HistoryWindow::showSelected);
    connect(&recorder, &HistoryRecorder::resultsAdded, this, &HistoryWindow::appendResults);
    connect(&recorder, &HistoryRecorder::messageChanged, this, &HistoryWindow::showMessage);
    connect(loadButton, &QPushButton::clicked, this, &HistoryWindow::loadSelected);
    connect(copyButton, &QPushButton::clicked, this, &HistoryWindow::copySelected);
    connect(exportButton, &QPushButton::clicked, this, &HistoryWindow::exportAll);
    // Escape closes it, as it closes the dialogs.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
    connect(replayButton, &QPushButton::clicked, this, &HistoryWindow::replayChosen);

    // A fifth of the GUI thread at most while results pour in; the list and
    // the file come first.
    detailFeed.setSingleShot(true);
    detailFeed.setInterval(10);
    connect(&detailFeed, &QTimer::timeout, this, &HistoryWindow::feedDetail);

    showMessage(recorder.statusMessage());
    showSelected();
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::selectEntry(qint64 entryIndex)
{
    const int row = model->rowOf(entryIndex);
    if (row < 0)
        return;
    const QModelIndex at = proxy->mapFromSource(model->index(row, 0));
    table->selectionModel()->setCurrentIndex(at,
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// The proxy is refilled whole: changing the filter in place sends one
// removal or insertion per run of rows, thousands of them over a long list.
void HistoryWindow::applyFilter()
{
    const qint64 selected = shownEntry;
    // Emptying the proxy drops the header's sections, and with them their
    // widths and the stretching operation column; they come back as they were.
    QHeaderView* header = table->horizontalHeader();
    const QByteArray columns = header->saveState();
    proxy->setSourceModel(nullptr);
    proxy->setFilterFixedString(filter->text());
    proxy->setSourceModel(model);
    header->restoreState(columns);
    selectEntry(selected);
}

qint64 HistoryWindow::selectedEntry() const
{
    const QModelIndex current = table->selectionModel()->currentIndex();
    if (!current.isValid())
        return -1;
    const qint64 at = model->entryIndex(proxy->mapToSource(current).row());
    return recorder.list().holds(at) ? at : -1;
}

// The request at once, its results through the feed below.
void HistoryWindow::showSelected()
{
    const qint64 at = selectedEntry();
    loadButton->setEnabled(at >= 0);
    copyButton->setEnabled(at >= 0);
    if (at == shownEntry && at >= 0)
        return;
    shownEntry = at;
    shownResults = 0;
    detailFeed.stop();
    if (at < 0) {
        shownId.clear();
        detail->clear();
        return;
    }
    shownId = recorder.list().at(at).id;
    detail->setPlainText(requestText(recorder.list().at(at), false));
    feedDetail();
}

// Results are appended, not the whole text redone, two milliseconds' worth
// at a time: a request may draw a great many, faster than a text box lays
// them out.
void HistoryWindow::appendResults(qint64 firstIndex, qint64 lastIndex)
{
    if (shownEntry >= firstIndex && shownEntry <= lastIndex && !detailFeed.isActive())
        detailFeed.start();
}

void HistoryWindow::feedDetail()
{
    if (!recorder.list().holds(shownEntry))
        return;
    const HistoryEntry& entry = recorder.list().at(shownEntry);
    constexpr std::size_t chunk = 20;
    constexpr int budgetMs = 2;
    QElapsedTimer spent;
    spent.start();
    while (shownResults < entry.results.size() && spent.elapsed() < budgetMs) {
        QString more;
        const std::size_t end = std::min(entry.results.size(), shownResults + chunk);
        for (std::size_t i = shownResults; i < end; ++i)
            more += resultText(entry.results[i], i + 1, false);
        shownResults = end;
        detail->appendPlainText(more.mid(1)); // appendPlainText starts its own line
    }
    if (shownResults < entry.results.size())
        detailFeed.start();
}

void HistoryWindow::loadSelected()
{
    const qint64 at = selectedEntry();
    if (at < 0)
        return;
    const HistoryEntry& entry = recorder.list().at(at);
    emit loadRequested(entry.operation, entry.request);
}

void HistoryWindow::copySelected()
{
    const qint64 at = selectedEntry();
    if (at >= 0)
        QApplication::clipboard()->setText(historyDetailText(recorder.list().at(at)));
}

void HistoryWindow::exportAll()
{
    const QString suggested = QDir::home().filePath(
        QStringLiteral("tessel-history-%1.jsonl")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    const QString path = QFileDialog::getSaveFileName(this, tr("导出历史"), suggested,
                                                      tr("JSON Lines (*.jsonl);;所有文件 (*)"));
    if (path.isEmpty())
        return;
    QString error;
    if (exportHistory(path, recorder.list().all(), &error))
        showMessage(tr("已导出 %1 条请求到 %2").arg(recorder.list().all().size()).arg(path));
    else
        showMessage(tr("导出失败：%1").arg(error));
}

void HistoryWindow::replayChosen()
{
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    std::vector<qint64> chosen;
    if (selected.size() > 1) {
        for (const QModelIndex& index : selected)
            chosen.push_back(model->entryIndex(proxy->mapToSource(index).row()));
    } else {
        for (int row = 0; row < proxy->rowCount(); ++row)
            chosen.push_back(model->entryIndex(proxy->mapToSource(proxy->index(row, 0)).row()));
    }
    std::sort(chosen.begin(), chosen.end()); // the order they were sent in
    std::vector<HistoryEntry> entries;
    for (const qint64 at : chosen) {
        if (recorder.list().holds(at))
            entries.push_back(recorder.list().at(at));
    }
    if (entries.empty()) {
        showMessage(tr("没有可回放的请求"));
        return;
    }
    emit replayRequested(entries);
}

void HistoryWindow::showMessage(const QString& text)
{
    status->setText(text);
}

} // namespace tessel
