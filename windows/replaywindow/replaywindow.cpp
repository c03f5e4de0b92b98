#include "replaywindow/replaywindow.h"

#include "batchwindow/batchtablemodel.h"
#include "fleet/fleetrun.h"
#include "history/historyfile.h"
#include "replay/junitreport.h"
#include "replaywindow/replaygrid.h"
#include "requests/jsontext.h"
#include "requests/requestrunner.h"
#include "terminalactions/terminalactions.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace tessel {
namespace {

enum Column
{
    LineColumn,
    OperationColumn,
    VerdictColumn,
    MsColumn,
    MembersColumn,
    // Shown before the members, kept last in the model so that the columns
    // above keep their numbers.
    TerminalColumn,
    TimeColumn,
    ColumnCount
};
constexpr int outcomeColumnsEnd = MembersColumn + 1; // the columns a replay fills

QString resultsText(const std::vector<ResultRecord>& results)
{
    QString text;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const JsonLayout laidOut = indentJson(results[i].reply);
        text += QStringLiteral("结果 %1 · 返回码 %2\n%3\n\n")
                    .arg(i + 1)
                    .arg(results[i].code)
                    .arg(QString::fromStdString(laidOut.fault ? results[i].reply : laidOut.text));
    }
    return text.isEmpty() ? QStringLiteral("（没有结果）") : text;
}

QPlainTextEdit* pane(const char* name, QWidget* parent)
{
    auto* edit = new QPlainTextEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(true);
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    return edit;
}

QWidget* titled(const QString& title, QWidget* content, QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(title, box));
    layout->addWidget(content, 1);
    return box;
}

std::vector<BatchTarget> serialsOnly(const QStringList& serials)
{
    std::vector<BatchTarget> targets;
    for (const QString& serial : serials)
        targets.push_back({QString(), serial, QString()});
    return targets;
}

} // namespace

QString verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Same:
        return QStringLiteral("相同");
    case Verdict::Different:
        return QStringLiteral("不同");
    case Verdict::Timeout:
        return QStringLiteral("超时");
    case Verdict::Error:
        return QStringLiteral("出错");
    }
    return QString();
}

ReplayWindow::ReplayWindow(RequestRunner& runner, std::vector<RunLine> lines, const QStringList& terminals,
                           QWidget* parent)
    : ReplayWindow(runner, nullptr, std::move(lines), serialsOnly(terminals), parent)
{}

ReplayWindow::ReplayWindow(RequestRunner& runner, TerminalActions& actions, std::vector<RunLine> lines,
                           std::vector<BatchTarget> terminals, QWidget* parent)
    : ReplayWindow(runner, &actions, std::move(lines), std::move(terminals), parent)
{}

ReplayWindow::ReplayWindow(RequestRunner& runner, TerminalActions* actions, std::vector<RunLine> lines,
                           std::vector<BatchTarget> terminals, QWidget* parent)
    : QWidget(parent), runner(runner), actions(actions), lines(std::move(lines)), listEngine(terminals)
{
    setObjectName(QStringLiteral("ReplayWindow"));
    setWindowTitle(tr("回放"));
    // Its opener keeps it above the console, which stays on top.
    setWindowFlags(windowFlags() | Qt::Window);
    resize(1000, 640);
    outcomes.resize(this->lines.size());

    chooser = makeChooser(std::move(terminals));
    startButton = new QPushButton(tr("开始"), this);
    startButton->setObjectName(QStringLiteral("replayStart"));
    stopButton = new QPushButton(tr("停止"), this);
    stopButton->setObjectName(QStringLiteral("replayStop"));
    stopButton->setEnabled(false);
    exportButton = new QPushButton(tr("导出报告…"), this);
    exportButton->setObjectName(QStringLiteral("replayExport"));
    exportButton->setEnabled(false);
    countsLabel = new QLabel(this);
    countsLabel->setObjectName(QStringLiteral("replayCounts"));
    progress = new QProgressBar(this);
    progress->setObjectName(QStringLiteral("replayProgress"));
    progress->setRange(0, static_cast<int>(this->lines.size()));
    progress->setValue(0);

    table = new QTableWidget(static_cast<int>(this->lines.size()), ColumnCount, this);
    table->setObjectName(QStringLiteral("replayTable"));
    table->setHorizontalHeaderLabels(
        {tr("序号"), tr("接口"), tr("结果"), tr("毫秒"), tr("不同的成员"), tr("终端"), tr("记录时间")});
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    QHeaderView* header = table->horizontalHeader();
    // Where and when, after what came of it; the members, longest, stay last.
    header->moveSection(header->visualIndex(TerminalColumn), MembersColumn);
    header->moveSection(header->visualIndex(TimeColumn), MembersColumn + 1);
    header->setSectionResizeMode(MembersColumn, QHeaderView::Stretch);
    // Widths from the font, the verdict and the milliseconds first, so that
    // they show at 800 pixels without scrolling sideways; the members take
    // the rest.
    const QFontMetrics cells = table->fontMetrics();
    const QFontMetrics heads = header->fontMetrics();
    const auto fit = [&](int column, const char* widest) {
        const int text = cells.horizontalAdvance(QString::fromUtf8(widest));
        const int head = heads.horizontalAdvance(table->horizontalHeaderItem(column)->text());
        table->setColumnWidth(column, std::max(text, head) + 20);
    };
    fit(LineColumn, "0000");
    fit(OperationColumn, "getScreenBrightness()");
    fit(TerminalColumn, "BZSA07194A0049999716");
    fit(TimeColumn, "0000-00-00 00:00:00");
    fit(VerdictColumn, "相同");
    fit(MsColumn, "100000");
    for (int row = 0; row < table->rowCount(); ++row) {
        const RunLine& line = this->lines[std::size_t(row)];
        table->setItem(row, LineColumn, new QTableWidgetItem(QString::number(row + 1)));
        table->setItem(row, OperationColumn, new QTableWidgetItem(QString::fromStdString(line.operation)));
        for (int column = VerdictColumn; column < outcomeColumnsEnd; ++column)
            table->setItem(row, column, new QTableWidgetItem);
        recordedSerials << serialOfRequest(QByteArray::fromStdString(line.request));
        table->setItem(row, TerminalColumn, new QTableWidgetItem);
        table->setItem(row, TimeColumn,
                       new QTableWidgetItem(line.recordedAtMs > 0
                                                ? QDateTime::fromMSecsSinceEpoch(line.recordedAtMs)
                                                      .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                                : QString()));
    }
    showTerminals();

    recorded = pane("replayRecorded", this);
    current = pane("replayCurrent", this);
    differences = pane("replayDifferences", this);
    auto* sideBySide = new QSplitter(Qt::Horizontal, this);
    sideBySide->addWidget(titled(tr("记录的结果"), recorded, sideBySide));
    sideBySide->addWidget(titled(tr("新的结果"), current, sideBySide));
    views = new QStackedWidget(this);
    views->setObjectName(QStringLiteral("replayViews"));
    views->addWidget(table);
    views->addWidget(makeGrid());
    auto* detail = new QSplitter(Qt::Vertical, this);
    detail->addWidget(chooser);
    detail->addWidget(views);
    detail->addWidget(sideBySide);
    detail->addWidget(titled(tr("不同的成员（JSON 路径：记录的 → 新的）"), differences, detail));
    // The results take the room; the terminal list a few rows, more when dragged.
    detail->setSizes({100, 300, 160, 100});

    auto* top = new QHBoxLayout;
    top->addStretch(1);
    top->addWidget(startButton);
    top->addWidget(stopButton);
    top->addWidget(exportButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(countsLabel);
    layout->addWidget(progress);
    layout->addWidget(detail, 1);

    connect(startButton, &QPushButton::clicked, this, &ReplayWindow::start);
    connect(stopButton, &QPushButton::clicked, this, &ReplayWindow::stop);
    connect(exportButton, &QPushButton::clicked, this, &ReplayWindow::chooseReportFile);
    connect(table, &QTableWidget::currentCellChanged, this, &ReplayWindow::showSelected);
    // Escape closes it as its close button does, which stops a replay under way.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
    showCounts();
}

ReplayWindow::~ReplayWindow()
{
    // QWidget deletes the views after the members they show are gone.
    disconnect(gridView->selectionModel(), nullptr, this, nullptr);
    disconnect(table, nullptr, this, nullptr);
}

void ReplayWindow::start()
{
    if (isRunning())
        return;
    const std::vector<int> checked = terminalModel->checkedRows();
    if (checked.size() > 1) {
        startFleet(checked);
        return;
    }
    fleet.reset();
    fleetShown = false;
    views->setCurrentIndex(0);
    progress->setRange(0, static_cast<int>(lines.size()));
    std::fill(outcomes.begin(), outcomes.end(), std::nullopt);
    std::fill(std::begin(counts), std::end(counts), 0);
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int column = VerdictColumn; column < outcomeColumnsEnd; ++column)
            table->item(row, column)->setText(QString());
    }
    showTerminals();
    progress->setValue(0);
    nextLine = 0;
    stoppedShort = false;
    ReplayOptions options;
    options.serial = checkedSerial().toUtf8();
    session = std::make_unique<ReplaySession>(runner, std::move(options), [this](RunLine& line) {
        if (nextLine >= lines.size())
            return false;
        line = lines[nextLine++];
        return true;
    });
    connect(session.get(), &ReplaySession::settled, this, &ReplayWindow::settled);
    connect(session.get(), &ReplaySession::finished, this, &ReplayWindow::sessionFinished);
    startButton->setEnabled(false);
    chooser->setEnabled(false);
    stopButton->setEnabled(true);
    exportButton->setEnabled(false);
    showCounts();
    showSelected();
    session->start();
}

void ReplayWindow::stop()
{
    if (session)
        session->stop();
    if (fleet)
        fleet->stop();
}

void ReplayWindow::closeEvent(QCloseEvent* event)
{
    stop();
    QWidget::closeEvent(event);
}

bool ReplayWindow::isRunning() const
{
    return (session && session->isRunning()) || (fleet && fleet->isRunning());
}

const ReplayOutcome* ReplayWindow::outcome(int row) const
{
    if (row < 0 || std::size_t(row) >= outcomes.size() || !outcomes[std::size_t(row)])
        return nullptr;
    return &*outcomes[std::size_t(row)];
}

void ReplayWindow::settled(const ReplayOutcome& outcome)
{
    const int row = static_cast<int>(outcome.number - 1);
    if (row < 0 || row >= table->rowCount())
        return;
    outcomes[std::size_t(row)] = outcome;
    ++counts[static_cast<int>(outcome.verdict)];
    table->item(row, VerdictColumn)->setText(verdictText(outcome.verdict));
    table->item(row, VerdictColumn)
        ->setForeground(outcome.verdict == Verdict::Same ? QColor(Qt::darkGreen) : QColor(Qt::red));
    table->item(row, MsColumn)->setText(QString::number(outcome.ms));
    QStringList paths;
    for (const Difference& difference : outcome.differences)
        paths << QString::fromStdString(difference.path);
    table->item(row, MembersColumn)
        ->setText(outcome.verdict == Verdict::Error ? QString::fromStdString(outcome.message)
                                                    : paths.join(", "));
    if (!outcome.sentRequest.empty())
        table->item(row, TerminalColumn)
            ->setText(serialOfRequest(QByteArray::fromStdString(outcome.sentRequest)));
    progress->setValue(progress->value() + 1);
    showCounts();
    if (table->currentRow() == row)
        showSelected();
}

void ReplayWindow::sessionFinished(bool stopped)
{
    startButton->setEnabled(true);
    chooser->setEnabled(true);
    stopButton->setEnabled(false);
    exportButton->setEnabled(true);
    stoppedShort = stopped;
    showCounts();
    if (stopped)
        countsLabel->setText(countsLabel->text() + tr(" · 已停止"));
    emit finished();
}

void ReplayWindow::showCounts()
{
    if (fleetShown) {
        const ReplayGridModel& cells = *gridModel;
        QString text = tr("共 %1 个终端 × %2 条 · 相同 %3 · 不同 %4 · 超时 %5 · 出错 %6")
                           .arg(cells.rowCount())
                           .arg(lines.size())
                           .arg(cells.count(Verdict::Same))
                           .arg(cells.count(Verdict::Different))
                           .arg(cells.count(Verdict::Timeout))
                           .arg(cells.count(Verdict::Error));
        if (cells.skippedTerminals() > 0)
            text += tr(" · 未开始 %1 个终端").arg(cells.skippedTerminals());
        countsLabel->setText(text);
        return;
    }
    countsLabel->setText(tr("共 %1 条 · 相同 %2 · 不同 %3 · 超时 %4 · 出错 %5")
                             .arg(lines.size())
                             .arg(counts[int(Verdict::Same)])
                             .arg(counts[int(Verdict::Different)])
                             .arg(counts[int(Verdict::Timeout)])
                             .arg(counts[int(Verdict::Error)]));
}

// The serial each request not yet replayed will go to: the chosen one where
// the request names a terminal at its top level, else the one it was sent with.
void ReplayWindow::showTerminals()
{
    const std::size_t checked = terminalModel->checkedRows().size();
    const QString chosen = checked > 1 ? tr("%1 个终端").arg(checked) : checkedSerial();
    for (int row = 0; row < table->rowCount(); ++row) {
        if (outcomes[std::size_t(row)])
            continue;
        const QString& recordedSerial = recordedSerials.at(row);
        table->item(row, TerminalColumn)
            ->setText(chosen.isEmpty() || recordedSerial.isEmpty() ? recordedSerial : chosen);
    }
}

void ReplayWindow::showSelected()
{
    int row = table->currentRow();
    const ReplayOutcome* settledOutcome = outcome(row);
    bool run = true;
    if (fleetShown) {
        const QModelIndex cell = gridView->currentIndex();
        row = cell.column() - ReplayGridModel::firstRequestColumn;
        const LineReport* line = gridModel->cell(cell.row(), cell.column());
        settledOutcome = line ? &line->outcome : nullptr;
        run = !line || line->run;
    }
    if (row < 0 || std::size_t(row) >= lines.size()) {
        recorded->clear();
        current->clear();
        differences->clear();
        return;
    }
    showOutcome(lines[std::size_t(row)], settledOutcome, run);
}

// `run` false: the line was not sent, the outcome's message says why.
void ReplayWindow::showOutcome(const RunLine& line, const ReplayOutcome* settledOutcome, bool run)
{
    recorded->setPlainText(line.results.empty() ? tr("（没有记录的结果：返回码 0 即为相同）")
                                                : resultsText(line.results));
    if (!settledOutcome) {
        current->setPlainText(isRunning() ? tr("（等待中）") : QString());
        differences->clear();
        return;
    }
    if (!run) {
        current->setPlainText(QString::fromStdString(settledOutcome->message));
        differences->clear();
        return;
    }
    current->setPlainText(settledOutcome->verdict == Verdict::Error
                              ? QString::fromStdString(settledOutcome->message)
                              : resultsText(settledOutcome->results));
    QString text;
    if (settledOutcome->verdict != Verdict::Error && anyReplyCut(line.results))
        text = tr("（记录的回复超过上限被截断，只比较了保留的部分）") + QLatin1Char('\n');
    for (const Difference& difference : settledOutcome->differences)
        text += QString::fromStdString(difference.path + "：" + difference.recorded + " → " +
                                       difference.current) +
                QLatin1Char('\n');
    differences->setPlainText(text);
}

bool ReplayWindow::exportReport(const QString& path, QString* error)
{
    if (fleetShown)
        return exportFleetReport(path, error);
    JUnitReport report(QStringLiteral("replay"));
    std::string why;
    bool ok = report.open(why);
    std::size_t settledCount = 0;
    for (std::size_t i = 0; ok && i < outcomes.size(); ++i) {
        if (outcomes[i]) {
            report.add(*outcomes[i]);
            ++settledCount;
        } else if (stoppedShort) {
            ReplayOutcome notRun;
            notRun.number = qint64(i) + 1;
            notRun.line = lines[i];
            report.addSkipped(notRun, "not run: the replay was stopped");
        }
    }
    if (ok && stoppedShort)
        report.markInterrupted("stopped after " + std::to_string(settledCount) + " of " +
                               std::to_string(outcomes.size()) + " requests; " +
                               std::to_string(outcomes.size() - settledCount) + " not run");
    ok = ok && report.write(path, why);
    if (!ok && error)
        *error = QString::fromStdString(why);
    return ok;
}

void ReplayWindow::chooseReportFile()
{
    const QString suggested = QDir::home().filePath(
        QStringLiteral("tessel-replay-%1.xml")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    const QString path =
        QFileDialog::getSaveFileName(this, tr("导出报告"), suggested, tr("JUnit XML (*.xml);;所有文件 (*)"));
    if (path.isEmpty())
        return;
    QString error;
    if (exportReport(path, &error))
        countsLabel->setText(tr("报告已写入 %1").arg(path));
    else
        countsLabel->setText(tr("报告写入失败：%1").arg(error));
}

} // namespace tessel
