#include "batchwindow/batchtablemodel.h"

#include "batch/batchexport.h"

#include <QFontMetricsF>
#include <QHeaderView>
#include <QStyle>
#include <QTableView>

#include <algorithm>
#include <cmath>

namespace tessel {

BatchTableModel::BatchTableModel(const BatchEngine& engine, std::vector<BatchCandidate> candidates,
                                 QObject* parent)
    : QAbstractTableModel(parent), engine(engine), candidates(std::move(candidates))
{}

int BatchTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(candidates.size());
}

int BatchTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BatchTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const BatchCandidate& candidate = candidates[static_cast<std::size_t>(index.row())];
    const BatchRow& row = engine.row(index.row());
    if (role == Qt::CheckStateRole && index.column() == NameColumn)
        return candidate.checked ? Qt::Checked : Qt::Unchecked;
    // A note may be longer than the column: the whole of it in the tip.
    if (role == Qt::ToolTipRole && index.column() == StateColumn)
        return batchStateText(row);
    if (role != Qt::DisplayRole && role != sortRole)
        return QVariant();
    switch (index.column()) {
    case NameColumn:
        return candidate.target.name;
    case SerialColumn:
        return candidate.target.serial;
    case IpColumn:
        return candidate.target.ip;
    case TerminalStateColumn:
        return candidate.terminalState;
    case StateColumn:
        return batchStateText(row);
    case CodeColumn:
        if (!row.answered)
            return role == sortRole ? QVariant(-1) : QVariant();
        return row.last.code;
    case MsColumn:
        if (!row.answered)
            return role == sortRole ? QVariant(qint64(-1)) : QVariant();
        return row.last.ms;
    case ReplyColumn:
        return firstLine(row.last.reply);
    default:
        return QVariant();
    }
}

bool BatchTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != NameColumn || role != Qt::CheckStateRole)
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags BatchTableModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == NameColumn)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant BatchTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const titles[ColumnCount] = {"终端名称", "序列号", "终端IP",   "终端状态",
                                                    "批量状态", "返回码", "耗时(ms)", "回复"};
    return section >= 0 && section < ColumnCount ? tr(titles[section]) : QVariant();
}

void BatchTableModel::setChecked(int row, bool checked)
{
    BatchCandidate& candidate = candidates.at(static_cast<std::size_t>(row));
    if (candidate.checked == checked)
        return;
    candidate.checked = checked;
    const QModelIndex cell = index(row, NameColumn);
    emit dataChanged(cell, cell, {Qt::CheckStateRole});
}

std::vector<int> BatchTableModel::checkedRows() const
{
    std::vector<int> rows;
    for (std::size_t row = 0; row < candidates.size(); ++row)
        if (candidates[row].checked)
            rows.push_back(static_cast<int>(row));
    return rows;
}

void BatchTableModel::setTerminalState(const QString& serial, const QString& state)
{
    for (std::size_t row = 0; row < candidates.size(); ++row) {
        BatchCandidate& candidate = candidates[row];
        if (candidate.target.serial != serial || candidate.terminalState == state)
            continue;
        candidate.terminalState = state;
        const QModelIndex cell = index(static_cast<int>(row), TerminalStateColumn);
        emit dataChanged(cell, cell);
    }
}

void BatchTableModel::engineRowsChanged(int first, int last)
{
    emit dataChanged(index(first, StateColumn), index(last, ReplyColumn));
}

void fitColumns(QTableView& table, const BatchTableModel& model)
{
    // Wide enough for the whole text of a column at the usual sizes, so that
    // at 800 pixels the state and the code show without scrolling; a serial
    // is never cut, the reply takes what is left.
    const QFontMetricsF metrics(table.font());
    // Cells lay their text out in fractions of a pixel.
    const auto advance = [&](const QString& text) {
        return static_cast<int>(std::ceil(metrics.horizontalAdvance(text)));
    };
    QHeaderView* header = table.horizontalHeader();
    const QStyle* style = header->style();
    // A header needs its margins and room for the sort mark; a cell its margins.
    const int headerPadding = 2 * style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) +
                              style->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header);
    const int cellPadding =
        2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &table) + 1) + 2; // and the grid line
    const int checkBox = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &table) +
                         style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, &table);
    const int digit = advance(QStringLiteral("0"));
    // The header, a sample, or the widest text of the rows up to `maxChars` digits.
    const auto fit = [&](int column, const QString& sample, int maxChars) {
        int text = advance(sample);
        const int cap = digit * maxChars;
        for (int row = 0; row < model.rowCount() && text < cap; ++row)
            text = std::max(text, std::min(cap, advance(model.index(row, column).data().toString())));
        if (column == BatchTableModel::NameColumn)
            text += checkBox;
        const QString title = model.headerData(column, Qt::Horizontal).toString();
        header->resizeSection(column, std::max(advance(title) + headerPadding, text + cellPadding));
    };
    using Model = BatchTableModel;
    fit(Model::NameColumn, QString(), 12);
    fit(Model::SerialColumn, QString(), 32);
    fit(Model::IpColumn, QString(), 15);
    fit(Model::TerminalStateColumn, QString(), 10);
    fit(Model::StateColumn, BatchEngine::stateText(BatchState::NotSent), 0);
    fit(Model::CodeColumn, QStringLiteral("-10000"), 0);
    fit(Model::MsColumn, QStringLiteral("100000"), 0);
    fit(Model::ReplyColumn, QString(), 0); // then stretched to what is left
}

void BatchFilterModel::setFilterText(const QString& text)
{
    filter = text.trimmed();
    invalidateFilter();
}

bool BatchFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (filter.isEmpty())
        return true;
    for (int column :
         {BatchTableModel::NameColumn, BatchTableModel::SerialColumn, BatchTableModel::IpColumn}) {
        const QString text = sourceModel()->index(sourceRow, column, sourceParent).data().toString();
        if (text.contains(filter, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace tessel
