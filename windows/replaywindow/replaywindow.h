#pragma once

#include "batch/batchengine.h"
#include "replay/replaysession.h"
#include "replay/runfile.h"

#include <QStringList>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QCloseEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTableView;
class QTableWidget;

namespace tessel {

class BatchFilterModel;
class BatchTableModel;
class FleetRun;
class ReplayGridModel;
class RequestRunner;
class TerminalActions;

// Replays requests from the history against a chosen terminal: one row per
// request with 相同 / 不同 / 超时 / 出错, the counts, a progress bar and
// "停止"; for the selected request the recorded and the new results side by
// side, with the differing members by their JSON path; "导出报告…" writes
// the JUnit report. The sends go through the runner, so into the history.
// The terminals are a checklist: none checked keeps each request's own
// serial, one sends every request to it; two or more replay on each of them
// as a fleet run, and the result is a grid of terminals by requests.
class ReplayWindow : public QWidget
{
    Q_OBJECT

public:
    // `terminals`: the serial numbers on offer. A replay on several terminals
    // makes terminal actions of its own: it does not log in.
    ReplayWindow(RequestRunner& runner, std::vector<RunLine> lines, const QStringList& terminals,
                 QWidget* parent = nullptr);
    ReplayWindow(RequestRunner& runner, TerminalActions& actions, std::vector<RunLine> lines,
                 std::vector<BatchTarget> terminals, QWidget* parent = nullptr);
    ~ReplayWindow() override;

    void start();
    void stop();
    bool isRunning() const;
    // Writes the JUnit report of the requests settled so far; after 停止 the
    // rest are in it as skipped, and it says the replay was stopped.
    bool exportReport(const QString& path, QString* error);
    // The outcome of request `row` once it settled.
    const ReplayOutcome* outcome(int row) const;
    // The grid of the last replay on several terminals.
    const ReplayGridModel& grid() const { return *gridModel; }

signals:
    void finished();

protected:
    // Closing the window stops the replay: nobody would see the rest.
    void closeEvent(QCloseEvent* event) override;

private:
    ReplayWindow(RequestRunner& runner, TerminalActions* actions, std::vector<RunLine> lines,
                 std::vector<BatchTarget> terminals, QWidget* parent);
    QWidget* makeChooser(std::vector<BatchTarget> terminals);
    QWidget* makeGrid();
    void startFleet(const std::vector<int>& rows);
    bool exportFleetReport(const QString& path, QString* error);
    QString checkedSerial() const; // the one terminal checked, else empty
    void checkShown(bool checked);
    void showOutcome(const RunLine& line, const ReplayOutcome* outcome, bool run);
    void settled(const ReplayOutcome& outcome);
    void sessionFinished(bool stopped);
    void showCounts();
    void showTerminals();
    void showSelected();
    void chooseReportFile();

    RequestRunner& runner;
    TerminalActions* actions;                    // the console's, when it gave them
    std::unique_ptr<TerminalActions> ownActions; // else, made for the first fleet run
    std::vector<RunLine> lines;
    QStringList recordedSerials; // each line's top-level "sn", empty without one
    std::vector<std::optional<ReplayOutcome>> outcomes;
    std::unique_ptr<ReplaySession> session;
    std::size_t nextLine = 0;
    int counts[4] = {};
    bool stoppedShort = false;
    std::unique_ptr<FleetRun> fleet;
    bool fleetShown = false; // the grid is on show, not the table

    BatchEngine listEngine; // never started: the terminal list's rows
    BatchTableModel* terminalModel = nullptr;
    BatchFilterModel* terminalFilter = nullptr;
    QWidget* chooser = nullptr;
    ReplayGridModel* gridModel = nullptr;
    QTableView* gridView = nullptr;
    QStackedWidget* views = nullptr;
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
