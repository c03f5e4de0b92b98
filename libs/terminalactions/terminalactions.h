#pragma once

#include "mailbox/lifeline.h"
#include "tessel/tesselcoreasync.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tessel {

// The actions on a terminal that are not console requests: logging in and
// out, changing the password and the three searches. The only place that
// builds their request texts and calls the SDK for them.
//
// Every call returns its id; each answer of the SDK, on the SDK's thread,
// first meets the call's arrival hook, if any, and then comes back on this
// object's thread: to the call's receiver, if one was given and is still
// there, and as `answered(id, serial, code, reply)`. Answers still on their
// way when this object goes are dropped; the hooks still see them.
class TerminalActions : public QObject
{
    Q_OBJECT

public:
    using Id = std::uint64_t;
    // Runs on the SDK's thread as each answer arrives, whoever listens by then.
    using ArrivalHook = std::function<void(unsigned short code, const char* reply)>;
    // Runs on this object's thread, only while its receiver exists.
    using Answer = std::function<void(int code, const std::string& reply)>;

    // Where one call's answers go besides `answered`.
    struct Listener
    {
        QPointer<QObject> receiver; // lives on this object's thread
        Answer answer;
        ArrivalHook onArrival;
    };

    enum class LoginKind : std::int32_t
    {
        User = 0,
        System = 1
    };
    explicit TerminalActions(QObject* parent = nullptr);
    ~TerminalActions() override;

    static std::string loginRequestText(LoginKind kind, const std::string& sn, const QString& userName,
                                        const QString& password);
    static std::string logoutRequestText(const std::string& sn);
    // Always for the user "admin".
    static std::string passwordChangeRequestText(const std::string& sn, const QByteArray& oldPassword,
                                                 const QByteArray& newPassword);
    static std::string rangeSearchRequestText(const std::string& startIp, const std::string& endIp);

    Id logIn(LoginKind kind, const std::string& sn, const QString& userName, const QString& password,
             Listener listener = {});
    Id logOut(const std::string& sn, Listener listener = {});
    Id changePassword(const std::string& sn, const QByteArray& oldPassword, const QByteArray& newPassword,
                      Listener listener = {});
    // Every terminal that answers a broadcast.
    Id searchAll(Listener listener = {});
    // The terminal at `address`, the text as the user typed it.
    Id searchAddress(const QByteArray& address, Listener listener = {});
    Id searchRange(const std::string& startIp, const std::string& endIp, Listener listener = {});

signals:
    // `serial`: the terminal the call addressed, empty for a search.
    void answered(tessel::TerminalActions::Id id, const QString& serial, int code, const QString& reply);

private:
    // A directed search (one address, a range) pauses on the SDK's thread
    // before handing on a reply.
    enum class Pacing
    {
        AsItComes,
        PauseFirst
    };

    ResultCallback callbackFor(Id id, const std::string& serial, Pacing pacing, Listener listener);

    Id nextId = 1;
    std::shared_ptr<Lifeline<TerminalActions>> lifeline;
};

} // namespace tessel
