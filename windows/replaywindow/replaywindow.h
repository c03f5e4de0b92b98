#pragma once

#include "replay/replaysession.h"
#include "replay/runfile.h"

#include <QStringList>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QCloseEvent;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace tessel {

class RequestRunner;

// Replays requests from the history against a chosen terminal: one row per
// request with 相同 / 不同 / 超时 / 出错, the counts, a progress bar and
// "停止"; for the selected request the recorded and the new results side by
// side, with the differing members by their JSON path; "导出报告…" writes
// the JUnit report. The sends go through the runner, so into the history.
class ReplayWindow : public QWidget
{
    Q_OBJECT

public:
    // `terminals`: the serial numbers on offer; the first choice keeps each
    // request's own serial.
    ReplayWindow(RequestRunner& runner, std::vector<RunLine> lines, const QStringList& terminals,
                 QWidget* parent = nullptr);
    ~ReplayWindow() override;

    void start();
    void stop();
    bool isRunning() const;
    // Writes the JUnit report of the requests settled so far; after 停止 the
    // rest are in it as skipped, and it says the replay was stopped.
    bool exportReport(const QString& path, QString* error);
    // The outcome of request `row` once it settled.
    const ReplayOutcome* outcome(int row) const;

signals:
    void finished();

protected:
    // Closing the window stops the replay: nobody would see the rest.
    void closeEvent(QCloseEvent* event) override;

private:
    void settled(const ReplayOutcome& outcome);
    void sessionFinished(bool stopped);
    void showCounts();
    void showTerminals();
    void showSelected();
    void chooseReportFile();

    RequestRunner& runner;
    std::vector<RunLine> lines;
    QStringList recordedSerials; // each line's top-level "sn", empty without one
    std::vector<std::optional<ReplayOutcome>> outcomes;
    std::unique_ptr<ReplaySession> session;
    std::size_t nextLine = 0;
    int counts[4] = {};
    bool stoppedShort = false;

    QComboBox* terminal = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* stopButton = nullptr;
    QPushButton* exportButton = nullptr;
    QLabel* countsLabel = nullptr;
    QProgressBar* progress = nullptr;
    QTableWidget* table = nullptr;
    QPlainTextEdit* recorded = nullptr;
    QPlainTextEdit* current = nullptr;
    QPlainTextEdit* differences = nullptr;
};

// The verdict as the window shows it.
QString verdictText(Verdict verdict);

} // namespace tessel
