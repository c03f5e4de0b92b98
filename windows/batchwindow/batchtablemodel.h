#pragma once

#include "batch/batchengine.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QString>

#include <vector>

class QTableView;

namespace tessel {

// A terminal offered to a batch: what the main window lists of it.
struct BatchCandidate
{
    BatchTarget target;
    QString terminalState; // the table's state cell
    bool checked = false;
};

// The batch window's rows: one per listed terminal, checkable in the first
// column, with the engine's outcome in the others.
class BatchTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        NameColumn,
        SerialColumn,
        IpColumn,
        TerminalStateColumn,
        StateColumn,
        CodeColumn,
        MsColumn,
        ReplyColumn,
        ColumnCount
    };
    // What the columns sort by: numbers as numbers.
    static constexpr int sortRole = Qt::UserRole;

    BatchTableModel(const BatchEngine& engine, std::vector<BatchCandidate> candidates,
                    QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    bool isChecked(int row) const { return candidates.at(static_cast<std::size_t>(row)).checked; }
    void setChecked(int row, bool checked);
    std::vector<int> checkedRows() const;
    const QString& terminalState(int row) const
    {
        return candidates.at(static_cast<std::size_t>(row)).terminalState;
    }
    // Every row of `serial` shows `state` as its terminal's state from now on.
    void setTerminalState(const QString& serial, const QString& state);
    void engineRowsChanged(int first, int last);

private:
    const BatchEngine& engine;
    std::vector<BatchCandidate> candidates;
};

// Sizes the columns of `table`, which shows `model`, to their texts: a whole
// serial shows, and at 800 pixels the state and the code need no scrolling.
void fitColumns(QTableView& table, const BatchTableModel& model);

// Keeps the rows whose name, serial or IP contains the filter text.
class BatchFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setFilterText(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString filter;
};

} // namespace tessel
