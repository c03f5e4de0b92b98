// The replay window's terminal checklist, and its replay on several
// terminals: a fleet run shown as a grid, reported as tessel-run reports one.
#include "replaywindow/replaywindow.h"

#include "batchwindow/batchtablemodel.h"
#include "fleet/fleetjunit.h"
#include "fleet/fleetrun.h"
#include "replaywindow/replaygrid.h"
#include "terminalactions/terminalactions.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace tessel {
namespace {

QPushButton* button(const QString& text, const char* name, QWidget* parent)
{
    auto* made = new QPushButton(text, parent);
    made->setObjectName(QLatin1String(name));
    return made;
}

} // namespace

QWidget* ReplayWindow::makeChooser(std::vector<BatchTarget> terminals)
{
    std::vector<BatchCandidate> candidates;
    candidates.reserve(terminals.size());
    for (BatchTarget& target : terminals)
        candidates.push_back({std::move(target), QString(), false});
    terminalModel = new BatchTableModel(listEngine, std::move(candidates), this);
    terminalFilter = new BatchFilterModel(this);
    terminalFilter->setSourceModel(terminalModel);

    auto* box = new QWidget(this);
    auto* filterEdit = new QLineEdit(box);
    filterEdit->setObjectName(QStringLiteral("replayFilter"));
    filterEdit->setPlaceholderText(tr("筛选：名称、序列号或IP"));
    connect(filterEdit, &QLineEdit::textChanged, terminalFilter, &BatchFilterModel::setFilterText);
    QPushButton* all = button(tr("全选"), "replayCheckAll", box);
    QPushButton* none = button(tr("全不选"), "replayCheckNone", box);
    connect(all, &QPushButton::clicked, this, [this] { checkShown(true); });
    connect(none, &QPushButton::clicked, this, [this] { checkShown(false); });
    auto* choose = new QHBoxLayout;
    choose->addWidget(new QLabel(tr("终端："), box));
    choose->addWidget(filterEdit, 1);
    choose->addWidget(all);
    choose->addWidget(none);
    choose->addWidget(new QLabel(tr("不选：按记录的序列号"), box));

    auto* list = new QTableView(box);
    list->setObjectName(QStringLiteral("replayTerminals"));
    list->setModel(terminalFilter);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->hide();
    fitColumns(*list, *terminalModel);
    // The batch's own columns say nothing before a batch.
    for (int column = BatchTableModel::TerminalStateColumn; column < BatchTableModel::ColumnCount; ++column)
        list->setColumnHidden(column, true);
    list->horizontalHeader()->setStretchLastSection(true);
    // A few rows at first, so that the results keep the room at 800 × 600.
    list->setMinimumHeight(list->horizontalHeader()->sizeHint().height() +
                           2 * list->verticalHeader()->defaultSectionSize());
    box->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    connect(terminalModel, &QAbstractItemModel::dataChanged, this, &ReplayWindow::showTerminals);

    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(choose);
    layout->addWidget(list, 1);
    return box;
}

QWidget* ReplayWindow::makeGrid()
{
    gridModel = new ReplayGridModel(lines, this);
    gridView = new QTableView(this);
    gridView->setObjectName(QStringLiteral("replayGrid"));
    gridView->setModel(gridModel);
    gridView->setSelectionBehavior(QAbstractItemView::SelectItems);
    gridView->setSelectionMode(QAbstractItemView::SingleSelection);
    gridView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridView->verticalHeader()->hide();
    connect(gridView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { showSelected(); });
    return gridView;
}

void ReplayWindow::checkShown(bool checked)
{
    for (int row = 0; row < terminalFilter->rowCount(); ++row)
        terminalModel->setChecked(terminalFilter->mapToSource(terminalFilter->index(row, 0)).row(), checked);
}

QString ReplayWindow::checkedSerial() const
{
    const std::vector<int> rows = terminalModel->checkedRows();
    if (rows.size() != 1)
        return QString();
    return terminalModel->index(rows.front(), BatchTableModel::SerialColumn).data().toString();
}

void ReplayWindow::startFleet(const std::vector<int>& rows)
{
    std::vector<Target> targets;
    targets.reserve(rows.size());
    for (const int row : rows) {
        const auto text = [&](int column) {
            return terminalModel->index(row, column).data().toString().toStdString();
        };
        Target target;
        target.sn = text(BatchTableModel::SerialColumn);
        target.name = text(BatchTableModel::NameColumn);
        target.ip = text(BatchTableModel::IpColumn);
        targets.push_back(std::move(target));
    }
    // As the replay on one terminal waits; the console user logged in from
    // the main window, so the run does not.
    const ReplayOptions single;
    FleetOptions options;
    options.parallel = 8;
    options.login = false;
    options.timeoutMs = single.timeoutMs;
    options.graceMs = single.graceMs;
    if (!actions) {
        ownActions = std::make_unique<TerminalActions>();
        actions = ownActions.get();
    }
    gridModel->reset(targets);
    fleet = std::make_unique<FleetRun>(runner, *actions, lines, std::move(targets), options);
    connect(fleet.get(), &FleetRun::terminalDone, this, [this](const TerminalReport& report) {
        gridModel->add(report);
        progress->setValue(static_cast<int>(gridModel->finishedTerminals()));
        showCounts();
        if (gridView->currentIndex().row() == static_cast<int>(report.index))
            showSelected();
    });
    connect(fleet.get(), &FleetRun::finished, this, &ReplayWindow::sessionFinished);
    fleetShown = true;
    stoppedShort = false;
    views->setCurrentWidget(gridView);
    gridView->resizeColumnsToContents();
    progress->setRange(0, static_cast<int>(rows.size()));
    progress->setValue(0);
    startButton->setEnabled(false);
    chooser->setEnabled(false);
    stopButton->setEnabled(true);
    exportButton->setEnabled(false);
    showCounts();
    showSelected();
    fleet->start();
}

// The report tessel-run writes for a fleet: a suite per terminal.
bool ReplayWindow::exportFleetReport(const QString& path, QString* error)
{
    FleetJUnit report(QStringLiteral("replay"));
    std::string why;
    bool ok = report.open(path, why);
    if (ok) {
        for (const TerminalReport* terminal : gridModel->reports())
            report.add(*terminal);
        if (stoppedShort) {
            const std::size_t skipped = gridModel->skippedTerminals();
            report.markInterrupted("stopped after " +
                                   std::to_string(gridModel->finishedTerminals() - skipped) + " terminals; " +
                                   std::to_string(skipped) + " not started");
        }
        ok = report.close(why);
    }
    if (!ok && error)
        *error = QString::fromStdString(why);
    return ok;
}

} // namespace tessel
