#pragma once

#include "history/historyentry.h"

#include <QString>
#include <QTimer>
#include <QWidget>

#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace tessel {

class HistoryModel;
class HistoryRecorder;
struct HistoryEntry;

// The selected request and all its results, as the detail pane and "复制" show them.
QString historyDetailText(const HistoryEntry& entry);

// The history window: requests newest first, a filter over every column, the
// selected request in full, and "载入", "复制", "导出…". A top-level window
// of its own; whoever creates it deletes it. Escape closes it.
class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryWindow(HistoryRecorder& recorder);
    ~HistoryWindow() override;

    // Selects the row of that recorder index, for "载入" from code and tests.
    void selectEntry(qint64 entryIndex);
    // One line under the list (file trouble, export result).
    void showMessage(const QString& text);

signals:
    // "载入": the console puts the request back.
    void loadRequested(const QString& operation, const QString& request);
    // "回放…": the selected requests when more than one is selected, else
    // every request the filter shows; oldest first.
    void replayRequested(const std::vector<tessel::HistoryEntry>& entries);

private:
    void applyFilter();
    qint64 selectedEntry() const;
    void showSelected();
    void appendResults(qint64 firstIndex, qint64 lastIndex);
    void feedDetail();
    void loadSelected();
    void copySelected();
    void exportAll();
    void replayChosen();

    HistoryRecorder& recorder;
    HistoryModel* model = nullptr;
    QSortFilterProxyModel* proxy = nullptr;
    QLineEdit* filter = nullptr;
    QTableView* table = nullptr;
    QPlainTextEdit* detail = nullptr;
    QLabel* status = nullptr;
    QPushButton* loadButton = nullptr;
    QPushButton* copyButton = nullptr;
    QPushButton* exportButton = nullptr;
    QPushButton* replayButton = nullptr;
    qint64 shownEntry = -1;
    QString shownId;              // of shownEntry, whose index changes when the list is renumbered
    std::size_t shownResults = 0; // results of shownEntry in the detail pane
    QTimer detailFeed;
    QTimer filterDelay; // typing does not refilter at each key
};

} // namespace tessel
