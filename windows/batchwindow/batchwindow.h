#pragma once

#include "batch/batchengine.h"
#include "batchwindow/batchtablemodel.h"

#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableView;

namespace tessel {

// One batch: the listed terminals with check boxes, the settings, and one
// result row per terminal. The engine does the sending; the window chooses
// the terminals, checks the settings and shows what comes back.
class BatchWindow : public QWidget
{
    Q_OBJECT

public:
    // How often the table and the progress catch up with the answers.
    static constexpr int refreshMs = 50;
    // How long after the last edit the request is checked, as in the console.
    static constexpr int checkDelayMs = 300;

    // `what` names the batch's operation in the window.
    BatchWindow(const QString& what, std::vector<BatchCandidate> candidates, QWidget* parent = nullptr);
    ~BatchWindow() override;

    BatchEngine& engine() { return batchEngine; }
    BatchTableModel& model() { return *tableModel; }

    // Says why nothing may be sent (checked before every start and retry,
    // and as the request is edited), or nothing.
    void setPreflight(std::function<QString()> check);
    // Shows `text` in an editable request box; a window without one (a
    // log-in) shows none. requestText() is what the box shows now.
    void setRequest(const QString& text);
    QString requestText() const;
    // The "终端状态" column of every row of `serial` shows `state` from now on.
    void setTerminalState(const QString& serial, const QString& state);
    // When set, "重试失败项" calls `handler` (once the settings are good and
    // there is something to retry) instead of retrying; the handler retries
    // through retryFailed().
    void setRetryHandler(std::function<void()> handler) { retryHandler = std::move(handler); }

    // "开始": refused with a message in the window when the settings, the
    // request or the choice of terminals are wrong.
    bool startBatch();
    bool retryFailed();
    // Writes the rows as CSV, or as JSON Lines for a name ending in .jsonl;
    // the file is replaced whole or left as it was. Returns the fault, if any.
    QString exportTo(const QString& path);
    QString message() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildForm(const QString& what);
    void checkRequest();
    void showEndLine();
    bool passesPreflight();
    void retryClicked();
    bool readSettings(int& concurrency, int& timeoutMs);
    void showMessage(const QString& text, bool fault);
    void updateProgress(int done, int total);
    void updateButtons();
    void showSelectedReply();
    void checkShown(bool checked);
    std::vector<int> shownRunRows() const;
    void copyRows();
    void chooseExportFile();
    void rowChanged(int row);
    void refresh();

    BatchEngine batchEngine;
    BatchTableModel* tableModel = nullptr;
    BatchFilterModel* filterModel = nullptr;
    std::function<QString()> preflight;
    std::function<void()> retryHandler;
    QTimer checkTimer;
    // What the message line shows, so that it is brought up to date.
    bool endLineShown = false;
    bool preflightShown = false;
    // Rows changed since the last refresh: the table and the progress are
    // redrawn a few times a second, not once per answer.
    QTimer refreshTimer;
    int firstDirty = -1;
    int lastDirty = -1;

    QLabel* operationLabel = nullptr;
    QPlainTextEdit* requestEdit = nullptr;
    QLineEdit* filterEdit = nullptr;
    QLineEdit* concurrencyEdit = nullptr;
    QLineEdit* timeoutEdit = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* stopButton = nullptr;
    QPushButton* retryButton = nullptr;
    QPushButton* copyButton = nullptr;
    QPushButton* exportButton = nullptr;
    QTableView* table = nullptr;
    QProgressBar* progressBar = nullptr;
    QLabel* progressLabel = nullptr;
    QLabel* messageLabel = nullptr;
    QPlainTextEdit* replyView = nullptr;
};

} // namespace tessel
