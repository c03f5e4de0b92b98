#pragma once

#include "console/ui_demochildgui.h"

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

class QLabel;
class QStyledItemDelegate;
namespace tessel {
class ConsoleHistory;
class ConsoleTools;
class HistoryRecorder;
class ReplyWait;
} // namespace tessel

// The API console: pick an operation, edit its JSON request, send it through
// the request sender and read the result. It never calls the SDK itself.
class DemoChildGUI : public QWidget
{
    Q_OBJECT

public:
    // Takes (operation name, request text), both UTF-8.
    using RequestSender = std::function<void(const QByteArray& apiName, const QByteArray& requestText)>;

    // A console on its own keeps a history of its own.
    explicit DemoChildGUI(QWidget* parent = nullptr);
    // Records into `history`, which outlives the console.
    explicit DemoChildGUI(tessel::HistoryRecorder& history, QWidget* parent = nullptr);
    ~DemoChildGUI() override;

    // Replaces (and releases) the sender installed before, if any.
    void setRequestSender(RequestSender sender);

    // Opens a batch for (operation name, request text): "批量发送…" in the
    // request box's menu and Ctrl+Shift+Enter; without one both do nothing.
    using BatchOpener = RequestSender;
    void setBatchOpener(BatchOpener opener) { batchOpener = std::move(opener); }
    void openBatch();

    // The history of this console's sends (Ctrl+H opens its window).
    tessel::ConsoleHistory& history() { return *consoleHistory; }

private slots:
    void soltsGetInfo();

public slots:
    void soltsGetSN(QString sn);
    void soltGetResponseData(int code, QString reply);

public:
    // Which request the next reply answers (its runner id, 0 when unknown);
    // shown in a line below the reply.
    void setNextReplyOrigin(const QString& origin, std::uint64_t request = 0)
    {
        nextReplyOrigin = origin;
        nextReplyRequest = request;
    }
    // `request` has just been sent: the line below the reply counts the
    // seconds until its first result comes or the timeout (10 s) passes.
    void awaitReply(std::uint64_t request);
    void setReplyTimeout(std::chrono::milliseconds timeout);

private slots:
    void slotsChangeAPI(int index);
    void slotsSetRequestData(QString name);

private:
    DemoChildGUI(std::unique_ptr<tessel::HistoryRecorder> own, tessel::HistoryRecorder* history,
                 QWidget* parent);
    void fillModules();
    void fillApiNames(int moduleIndex);
    void showOrigin();

    std::unique_ptr<tessel::HistoryRecorder> ownHistory; // only when none is handed in
    Ui::DemoChildGUIClass ui;
    RequestSender requestSender;
    BatchOpener batchOpener;
    QStyledItemDelegate* itemDelegate = nullptr; // shared by both combo boxes, owned by this window
    tessel::ConsoleTools* tools = nullptr; // shortcuts, finder, request check, menus; owned by this window
    tessel::ConsoleHistory* consoleHistory = nullptr; // a child of this window
    QLabel* replyOrigin = nullptr;                    // below the reply box
    tessel::ReplyWait* replyWait = nullptr;           // a child of this window
    QString shownOrigin;                              // of the reply on show
    QString nextReplyOrigin;
    std::uint64_t nextReplyRequest = 0;
};
