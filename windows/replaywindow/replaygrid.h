#pragma once

// A replay on several terminals: one row per terminal, one column per
// request, each cell the verdict of that request on that terminal.

#include "fleet/fleetrun.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <optional>
#include <vector>

namespace tessel {

class ReplayGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // Column 0 names the terminal, column 1 + i is request i.
    static constexpr int firstRequestColumn = 1;

    explicit ReplayGridModel(const std::vector<RunLine>& lines, QObject* parent = nullptr);

    // A new run on these terminals: every cell empty again.
    void reset(std::vector<Target> terminals);
    void add(const TerminalReport& report);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The report of the terminal in `row` once it finished.
    const TerminalReport* report(int row) const;
    // The request of that cell as it went, once its terminal finished.
    const LineReport* cell(int row, int column) const;
    std::size_t finishedTerminals() const { return finished; }
    std::size_t skippedTerminals() const { return skipped; }
    int count(Verdict verdict) const { return counts[static_cast<int>(verdict)]; }
    // The reports of the terminals finished, in the terminals' order.
    std::vector<const TerminalReport*> reports() const;

private:
    QStringList heads; // a column's request: its number and operation
    std::vector<Target> terminals;
    // Only what the grid shows: a report per finished terminal.
    std::vector<std::optional<TerminalReport>> done;
    std::size_t finished = 0, skipped = 0;
    int counts[4] = {};
};

// "会议室屏 BZWA17422J1X20000093", or the serial alone.
QString terminalLabel(const Target& target);

} // namespace tessel
