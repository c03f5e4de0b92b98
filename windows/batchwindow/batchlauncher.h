#pragma once

#include "batchwindow/batchtablemodel.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

class QWidget;

namespace tessel {

class BatchWindow;
class HistoryRecorder;
class RequestRunner;
class TerminalActions;

// Makes the two kinds of batch window on the program's services: one console
// request to many terminals, and a log-in to many. The windows are returned
// neither shown nor started; where they stand is the opener's business.
class BatchLauncher
{
public:
    BatchLauncher(RequestRunner& runner, HistoryRecorder& recorder, TerminalActions& actions)
        : runner(runner), recorder(recorder), actions(actions)
    {}

    // Sends `apiName` with what the window's request box shows when a run
    // starts; `requestText` is what it shows first.
    BatchWindow* sendWindow(const QByteArray& apiName, const QByteArray& requestText,
                            std::vector<BatchCandidate> candidates, QWidget* parent) const;

    struct Login
    {
        QString userName;
        QString password;
        // Candidates another host has logged in to: skipped, not sent.
        std::vector<int> heldRows;
        // Hears the serial of each terminal that answered with a log-in.
        std::function<void(const QString& serial)> loggedIn;
    };
    // Logs in to the checked candidates. Each log-in goes into the history
    // with its password masked; "重试失败项" asks for the credentials anew.
    BatchWindow* loginWindow(std::vector<BatchCandidate> candidates, Login login, QWidget* parent) const;

private:
    void setLoginStarter(BatchWindow& window, const QString& userName, const QString& password) const;
    void askLoginRetry(BatchWindow& window, const QString& userName) const;

    RequestRunner& runner;
    HistoryRecorder& recorder;
    TerminalActions& actions;
};

} // namespace tessel
