#include "terminalactions/terminalactions.h"

#include "requests/records.h"

#include <QMetaType>

#include <chrono>
#include <thread>
#include <utility>

namespace tessel {

TerminalActions::TerminalActions(QObject* parent)
    : QObject(parent), lifeline(std::make_shared<Lifeline<TerminalActions>>(this))
{
    qRegisterMetaType<tessel::TerminalActions::Id>("tessel::TerminalActions::Id");
}

TerminalActions::~TerminalActions()
{
    // From here on no answer reaches this object or its receivers.
    lifeline->sever();
}

std::string TerminalActions::loginRequestText(LoginKind kind, const std::string& sn, const QString& userName,
                                              const QString& password)
{
    tsc::LoginData data;
    data.sn = sn;
    data.username = userName.toUtf8().toStdString();
    data.password = password.toUtf8().toStdString();
    data.loginType = static_cast<std::int32_t>(kind);
    data.reserved = 0;
    return recordToJson(data);
}

std::string TerminalActions::logoutRequestText(const std::string& sn)
{
    tsc::DissConnectData data;
    data.sn = sn;
    data.type = 1;
    return recordToJson(data);
}

std::string TerminalActions::passwordChangeRequestText(const std::string& sn, const QByteArray& oldPassword,
                                                       const QByteArray& newPassword)
{
    tsc::ChangePasswordWithSN data;
    data.sn = sn;
    data.username = "admin";
    data.oldPassword = oldPassword.toStdString();
    data.newPassword = newPassword.toStdString();
    return recordToJson(data);
}

std::string TerminalActions::rangeSearchRequestText(const std::string& startIp, const std::string& endIp)
{
    tsc::SerchRangeIpRequest range;
    range.startIp = startIp;
    range.endIp = endIp;
    return recordToJson(range);
}

ResultCallback TerminalActions::callbackFor(Id id, const std::string& serial, Pacing pacing,
                                            Listener listener)
{
    // Shared, not copied per answer: the receiver's guard is only read on this
    // object's thread.
    auto toReceiver = std::make_shared<const Listener>(std::move(listener));
    auto reach = postedCallback(
        lifeline, [id, serial, toReceiver](TerminalActions& actions, int code, const std::string& reply) {
            if (toReceiver->receiver && toReceiver->answer)
                toReceiver->answer(code, reply);
            emit actions.answered(id, QString::fromStdString(serial), code, QString::fromStdString(reply));
        });
    return [reach, toReceiver, pacing](unsigned short code, const char* reply) {
        if (toReceiver->onArrival)
            toReceiver->onArrival(code, reply);
        if (pacing == Pacing::PauseFirst)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        reach(code, reply);
    };
}

TerminalActions::Id TerminalActions::logIn(LoginKind kind, const std::string& sn, const QString& userName,
                                           const QString& password, Listener listener)
{
    const Id id = nextId++;
    const std::string request = loginRequestText(kind, sn, userName, password);
    TesselCoreAsync::tsLoginAsync(request.c_str(),
                                  callbackFor(id, sn, Pacing::AsItComes, std::move(listener)));
    return id;
}

TerminalActions::Id TerminalActions::logOut(const std::string& sn, Listener listener)
{
    const Id id = nextId++;
    const std::string request = logoutRequestText(sn);
    TesselCoreAsync::tsLogoutAsync(request.c_str(),
                                   callbackFor(id, sn, Pacing::AsItComes, std::move(listener)));
    return id;
}

TerminalActions::Id TerminalActions::changePassword(const std::string& sn, const QByteArray& oldPassword,
                                                    const QByteArray& newPassword, Listener listener)
{
    const Id id = nextId++;
    const std::string request = passwordChangeRequestText(sn, oldPassword, newPassword);
    TesselCoreAsync::tsChangePassWordAsync(request.c_str(),
                                           callbackFor(id, sn, Pacing::AsItComes, std::move(listener)));
    return id;
}

TerminalActions::Id TerminalActions::searchAll(Listener listener)
{
    const Id id = nextId++;
    TesselCoreAsync::tsSearchTerminalAsync(
        callbackFor(id, std::string(), Pacing::AsItComes, std::move(listener)));
    return id;
}

TerminalActions::Id TerminalActions::searchAddress(const QByteArray& address, Listener listener)
{
    const Id id = nextId++;
    TesselCoreAsync::tsSearchAppointIpAsync(
        address.constData(), callbackFor(id, std::string(), Pacing::PauseFirst, std::move(listener)));
    return id;
}

TerminalActions::Id TerminalActions::searchRange(const std::string& startIp, const std::string& endIp,
                                                 Listener listener)
{
    const Id id = nextId++;
    const std::string request = rangeSearchRequestText(startIp, endIp);
    TesselCoreAsync::tsSearchRangeIpAsync(
        request.c_str(), callbackFor(id, std::string(), Pacing::PauseFirst, std::move(listener)));
    return id;
}

} // namespace tessel
