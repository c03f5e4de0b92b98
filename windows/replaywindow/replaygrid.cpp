#include "replaywindow/replaygrid.h"

#include "replaywindow/replaywindow.h"

#include <QColor>

#include <algorithm>

namespace tessel {

QString terminalLabel(const Target& target)
{
    const QString serial = QString::fromStdString(target.sn);
    return target.name.empty() ? serial : QString::fromStdString(target.name) + QLatin1Char(' ') + serial;
}

ReplayGridModel::ReplayGridModel(const std::vector<RunLine>& lines, QObject* parent)
    : QAbstractTableModel(parent)
{
    for (std::size_t i = 0; i < lines.size(); ++i)
        heads << QStringLiteral("%1 %2").arg(i + 1).arg(QString::fromStdString(lines[i].operation));
}

void ReplayGridModel::reset(std::vector<Target> targets)
{
    beginResetModel();
    terminals = std::move(targets);
    done.assign(terminals.size(), std::nullopt);
    finished = skipped = 0;
    std::fill(std::begin(counts), std::end(counts), 0);
    endResetModel();
}

void ReplayGridModel::add(const TerminalReport& report)
{
    if (report.index >= done.size() || done[report.index])
        return;
    done[report.index] = report;
    ++finished;
    if (report.verdict == TerminalVerdict::Skipped)
        ++skipped;
    for (const LineReport& line : report.lines) {
        // A line not run counts as an error; a skipped terminal's lines not at all.
        if (line.run)
            ++counts[static_cast<int>(line.outcome.verdict)];
        else if (report.verdict != TerminalVerdict::Skipped)
            ++counts[static_cast<int>(Verdict::Error)];
    }
    const int row = static_cast<int>(report.index);
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int ReplayGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(terminals.size());
}

int ReplayGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : firstRequestColumn + static_cast<int>(heads.size());
}

const TerminalReport* ReplayGridModel::report(int row) const
{
    if (row < 0 || std::size_t(row) >= done.size() || !done[std::size_t(row)])
        return nullptr;
    return &*done[std::size_t(row)];
}

const LineReport* ReplayGridModel::cell(int row, int column) const
{
    const TerminalReport* terminal = report(row);
    const int line = column - firstRequestColumn;
    if (!terminal || line < 0 || std::size_t(line) >= terminal->lines.size())
        return nullptr;
    return &terminal->lines[std::size_t(line)];
}

std::vector<const TerminalReport*> ReplayGridModel::reports() const
{
    std::vector<const TerminalReport*> all;
    for (const std::optional<TerminalReport>& terminal : done)
        if (terminal)
            all.push_back(&*terminal);
    return all;
}

QVariant ReplayGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return QVariant();
    const TerminalReport* terminal = report(index.row());
    const bool skippedRow = terminal && terminal->verdict == TerminalVerdict::Skipped;
    if (index.column() < firstRequestColumn) {
        const QString label = terminalLabel(terminals[std::size_t(index.row())]);
        if (role == Qt::DisplayRole)
            return skippedRow ? label + tr("（未开始）") : label;
        if (role == Qt::ToolTipRole && terminal && !terminal->message.empty())
            return QString::fromStdString(terminal->message);
        return QVariant();
    }
    if (skippedRow) {
        if (role == Qt::DisplayRole)
            return tr("未开始");
        if (role == Qt::ToolTipRole)
            return QString::fromStdString(terminal->message);
        return QVariant();
    }
    const LineReport* line = cell(index.row(), index.column());
    if (!line)
        return QVariant();
    const Verdict verdict = line->run ? line->outcome.verdict : Verdict::Error;
    switch (role) {
    case Qt::DisplayRole:
        return verdictText(verdict);
    case Qt::ForegroundRole:
        return verdict == Verdict::Same ? QColor(Qt::darkGreen) : QColor(Qt::red);
    case Qt::ToolTipRole:
        if (!line->run || verdict == Verdict::Error)
            return QString::fromStdString(line->outcome.message);
        return tr("%1 毫秒").arg(line->outcome.ms);
    default:
        return QVariant();
    }
}

QVariant ReplayGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section < firstRequestColumn)
        return tr("终端");
    return heads.value(section - firstRequestColumn);
}

} // namespace tessel
