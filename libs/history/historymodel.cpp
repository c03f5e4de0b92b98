#include "history/historymodel.h"

#include "history/historyrecorder.h"

#include <QDateTime>
#include <QStringList>

namespace tessel {

HistoryModel::HistoryModel(const HistoryRecorder& recorder, QObject* parent)
    : QAbstractTableModel(parent), recorder(recorder), shownFirst(recorder.list().firstIndex()),
      shownEnd(recorder.list().endIndex())
{
    connect(&recorder, &HistoryRecorder::requestAdded, this, &HistoryModel::catchUp);
    connect(&recorder, &HistoryRecorder::listReset, this, &HistoryModel::resetAll);
    connect(&recorder, &HistoryRecorder::resultsAdded, this, &HistoryModel::resultsAdded);
}

int HistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(shownEnd - shownFirst);
}

int HistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

int HistoryModel::rowOf(qint64 entryIndex) const
{
    if (entryIndex < shownFirst || entryIndex >= shownEnd)
        return -1;
    return static_cast<int>(shownEnd - 1 - entryIndex);
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != FilterRole))
        return {};
    const qint64 at = entryIndex(index.row());
    if (!recorder.list().holds(at))
        return {};
    const HistoryEntry& entry = recorder.list().at(at);
    if (role == FilterRole) {
        const QString code = entry.results.empty() ? QString() : QString::number(entry.results.back().code);
        // The batch tag too: filtering by it shows one batch's sends together.
        return QStringList{timeText(entry.sentAtMs), entry.serial, entry.operation, code, entry.batch}.join(
            QLatin1Char('\t'));
    }
    switch (index.column()) {
    case TimeColumn:
        return timeText(entry.sentAtMs);
    case SerialColumn:
        return entry.serial;
    case OperationColumn:
        return entry.operation;
    case CodeColumn:
        if (entry.results.empty())
            return QString();
        if (entry.results.size() == 1)
            return QString::number(entry.results.back().code);
        // Several results: the last code and how many came.
        return QStringLiteral("%1 (%2次)").arg(entry.results.back().code).arg(entry.results.size());
    case MsColumn:
        return entry.results.empty() ? QVariant(QString()) : QVariant(entry.results.back().ms);
    default:
        return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case TimeColumn:
        return tr("时间");
    case SerialColumn:
        return tr("序列号");
    case OperationColumn:
        return tr("接口");
    case CodeColumn:
        return tr("返回码");
    case MsColumn:
        return tr("耗时(ms)");
    default:
        return {};
    }
}

void HistoryModel::catchUp()
{
    const HistoryList& list = recorder.list();
    // The oldest rows are the last ones.
    if (list.firstIndex() > shownFirst) {
        const qint64 gone = std::min(list.firstIndex(), shownEnd) - shownFirst;
        if (gone > 0) {
            const int rows = rowCount();
            beginRemoveRows(QModelIndex(), rows - static_cast<int>(gone), rows - 1);
            shownFirst += gone;
            endRemoveRows();
        }
        shownFirst = std::max(shownFirst, list.firstIndex());
        shownEnd = std::max(shownEnd, shownFirst);
    }
    if (list.endIndex() > shownEnd) {
        beginInsertRows(QModelIndex(), 0, static_cast<int>(list.endIndex() - shownEnd) - 1);
        shownEnd = list.endIndex();
        endInsertRows();
    }
}

QString HistoryModel::timeText(qint64 sentAtMs) const
{
    const qint64 second = sentAtMs / 1000;
    auto found = timeTexts.constFind(second);
    if (found == timeTexts.constEnd())
        found = timeTexts.insert(
            second,
            QDateTime::fromMSecsSinceEpoch(second * 1000).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    return *found;
}

void HistoryModel::resetAll()
{
    beginResetModel();
    timeTexts.clear();
    shownFirst = recorder.list().firstIndex();
    shownEnd = recorder.list().endIndex();
    endResetModel();
}

void HistoryModel::resultsAdded(qint64 firstIndex, qint64 lastIndex)
{
    catchUp();
    const int top = rowOf(std::min(lastIndex, shownEnd - 1));
    const int bottom = rowOf(std::max(firstIndex, shownFirst));
    if (top < 0 || bottom < 0)
        return;
    emit dataChanged(index(top, CodeColumn), index(bottom, MsColumn));
}

} // namespace tessel
