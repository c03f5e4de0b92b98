#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QString>

namespace tessel {

class HistoryRecorder;

// The recorder's requests as a table, newest first: time, serial, operation,
// last code, time taken (ms until the last result). The model keeps its own
// idea of which requests it shows and catches up with the recorder after
// each change, so views only ever ask for rows it has announced.
class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        TimeColumn,
        SerialColumn,
        OperationColumn,
        CodeColumn,
        MsColumn,
        ColumnCount
    };
    // Time, serial, operation and code of a row in one text, for the filter.
    static constexpr int FilterRole = Qt::UserRole + 1;

    explicit HistoryModel(const HistoryRecorder& recorder, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The recorder's absolute index of a row's request, and back (-1: none).
    qint64 entryIndex(int row) const { return shownEnd - 1 - row; }
    int rowOf(qint64 entryIndex) const;

private:
    void catchUp();
    void resetAll();
    void resultsAdded(qint64 firstIndex, qint64 lastIndex);
    QString timeText(qint64 sentAtMs) const;

    const HistoryRecorder& recorder;
    qint64 shownFirst = 0;
    qint64 shownEnd = 0;
    // Formatting a local time is slow and the filter asks for every row at
    // each keystroke; requests of one second share a text.
    mutable QHash<qint64, QString> timeTexts;
};

} // namespace tessel
