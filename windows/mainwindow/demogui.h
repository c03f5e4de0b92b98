#pragma once

#include "batchwindow/batchlauncher.h"
#include "console/demochildgui.h"
#include "mailbox/lifeline.h"
#include "mainwindow/changepassword.h"
#include "mainwindow/ui_demogui.h"
#include "replaywindow/replaywindow.h"
#include "requests/requestrunner.h"
#include "services/consoleservices.h"
#include "terminalactions/terminalactions.h"
#include "tessel/tesselcommon.h"
#include "tessel/tesselcoreasync.h"

#include <QByteArray>
#include <QMetaType>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QContextMenuEvent;
class QMenu;
class QModelIndex;
namespace tessel {
class SearchProgress;
class BatchWindow;
} // namespace tessel

Q_DECLARE_METATYPE(std::string)

// The main window: lists the terminals that the searches find, one row each,
// and is the hub for the console, the terminal actions and every SDK reply.
// Table row i always shows terminals[i].
class DemoGUI : public QWidget
{
    Q_OBJECT

public:
    // The whole program on its own: the window makes the services and keeps them.
    explicit DemoGUI(QWidget* parent = nullptr);
    // On the program's services, which outlive the window; they must keep a history.
    explicit DemoGUI(tessel::ConsoleServices& services, QWidget* parent = nullptr);
    ~DemoGUI() override;

    // Sends one console request to the SDK; an unlisted name does nothing.
    void dispatchApi(const QByteArray& apiName, const QByteArray& requestText);

    // Read-only views for the tests and the benchmarks.
    const std::vector<tsc::SearchResponseData>& terminalList() const { return terminals; }
    int nextTableRow() const { return nextRow; }
    int contextRow() const { return currentRow; }
    // The terminal table, for the headless runs that read it.
    const QTableWidget& terminalTable() const { return *ui.tableWidget; }

    // The one request path; every window that sends goes through it.
    tessel::RequestRunner& requestRunner() { return services.requestRunner(); }
    // The replay opened last from the history window, or nullptr.
    tessel::ReplayWindow* replay() const { return replayWindow.get(); }

signals:
    void signalsendSN(QString sn);
    void signalsendResponseData(int code, QString reply);
    void signalDissconnect(int code, std::string reply);
    void signalSerch(int code, QString reply);
    void signalLogin(int code, QString reply);

private slots:
    void slotsGetIndex(int row, int column);
    void slotsConnect();
    void slotsConnectSys();
    void slotsQuit();
    void slotsRename();
    void slotsRepassword();
    void slotsForgetPassword();
    void slotsDownload();
    void slotClickedSearch();
    void slotDissconnect(int code, std::string reply);
    void slotSerch(int code, QString reply);
    void slotLogin(int code, QString reply);
    void on_pushButton_2_clicked();
    void on_slotsIp_button_start_clicked();
    void on_specifyRangeIpButton_clicked();
    void on_slotsRange_Ip_button_start_clicked();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr int initialTableRows = 100;

    DemoGUI(std::unique_ptr<tessel::ConsoleServices> own, tessel::ConsoleServices* handed, QWidget* parent);
    tessel::TerminalActions& terminalActions() { return services.terminalActions(); }
    tessel::HistoryRecorder& historyRecorder() { return *services.historyRecorder(); }

    void buildSearchDialogs();
    void setUpTable();
    void startNewResultSet();
    void showSearchStatus();
    void addTerminalRow(const std::string& reply);
    // Where the replies of a search started now go.
    tessel::TerminalActions::Listener searchListener();
    std::optional<std::string> addressedSerial() const;
    std::optional<std::string> requireAddressedSerial();
    void login(std::int32_t kind);
    void sendLogin(std::int32_t kind, const std::string& sn, const QString& userName,
                   const QString& password);
    tessel::TerminalActions::Listener loginListener(const std::string& sn);
    void markState(const std::string& sn, const QString& text);
    void sendPasswordChange(const std::string& sn, const QByteArray& oldPassword,
                            const QByteArray& newPassword);
    void showPasswordChange(int code, const QString& reply);
    void openReplay(const std::vector<tessel::HistoryEntry>& entries);
    // Open batch windows show the state cells as they change.
    void stateCellsChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);

    // Batches (demogui_batch.cpp).
    std::vector<int> selectedTerminalRows() const;
    std::vector<tessel::BatchCandidate> batchCandidates(const std::vector<int>& checkedRows) const;
    void openBatchSend(const QByteArray& apiName, const QByteArray& requestText);
    void showBatchWindow(tessel::BatchWindow& window);
    void slotsBatchConnect();
    void startBatchLogin(const std::vector<int>& rows, const QString& userName, const QString& password);
    tessel::BatchLauncher batchLauncher() { return {requestRunner(), historyRecorder(), terminalActions()}; }

    // The listed terminals, or the selected ones, as a targets file (demogui_export.cpp).
    void slotsExportTerminals();

    // Made by the window when none was handed to it; before all that uses it.
    std::unique_ptr<tessel::ConsoleServices> ownServices;
    tessel::ConsoleServices& services;

    QDialog* ipDialog = nullptr;
    QDialog* rangeIpDialog = nullptr;
    QPushButton* ipOkButton = nullptr;
    QPushButton* ipCancelButton = nullptr;
    QPushButton* rangeOkButton = nullptr;
    QPushButton* rangeCancelButton = nullptr;
    QLabel* ipLabel = nullptr;
    QLabel* startIpLabel = nullptr;
    QLabel* endIpLabel = nullptr;
    QLineEdit* ipLineEdit = nullptr;
    QLineEdit* startIpLineEdit = nullptr;
    QLineEdit* endIpLineEdit = nullptr;
    Ui::DemoGUIClass ui;
    DemoChildGUI console;
    Changepassword changePasswordWidget;
    // The console's own requests: only their results reach its reply box.
    std::unordered_set<tessel::RequestRunner::Id> consoleRequests;
    std::unique_ptr<tessel::ReplayWindow> replayWindow; // sends through the services' runner
    // The services' list of the terminals found.
    std::vector<tsc::SearchResponseData>& terminals;
    std::int32_t nextRow = 0;
    std::int32_t currentRow = 0;
    std::string startHost, endHost;
    std::string startNet, endNet;
    std::size_t startDot = 0, endDot = 0;
    std::int32_t startHostValue = 0, endHostValue = 0;

    // The last popup menu; the next one replaces it.
    QPointer<QMenu> contextMenu;
    // Serial numbers of login replies on their way to slotLogin, GUI thread only.
    std::deque<std::string> loginSerials;
    // The same for log-out replies on their way to slotDissconnect.
    std::deque<std::string> logoutSerials;
    // Which search the result set belongs to, and the search of each reply on
    // its way to slotSerch; GUI thread only.
    std::uint64_t searchNumber = 0;
    std::deque<std::uint64_t> searchReplies;
    // Whether the current search still runs, in a line below the table; made
    // with the first search.
    tessel::SearchProgress* searchProgress = nullptr;
    QLabel* searchStatus = nullptr;
};
