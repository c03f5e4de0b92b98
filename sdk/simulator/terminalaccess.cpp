// Searches find terminals of the fleet; login, log-out and password change
// act on the host's hold on one of them.
#include "simulator/handlers.h"
#include "tessel/tesselcommon.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tesselsim::detail {
namespace {

// The record library speaks nlohmann::json; requests are read in order.
template <typename Record> Record readRecord(const Json& body)
{
    Record record;
    tsc::from_json(nlohmann::json(body), record);
    return record;
}

template <typename Record> Json recordJson(const Record& record)
{
    nlohmann::json value;
    tsc::to_json(value, record);
    return Json(value);
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::optional<std::uint32_t> parseIpv4(const std::string& text)
{
    std::uint32_t value = 0;
    int parts = 0;
    std::size_t pos = 0;
    while (parts < 4) {
        std::size_t end = pos;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9' && end - pos < 3)
            ++end;
        if (end == pos)
            return std::nullopt;
        const unsigned part = static_cast<unsigned>(std::stoul(text.substr(pos, end - pos)));
        if (part > 255)
            return std::nullopt;
        value = (value << 8) | part;
        ++parts;
        pos = end;
        if (parts < 4) {
            if (pos >= text.size() || text[pos] != '.')
                return std::nullopt;
            ++pos;
        }
    }
    if (pos != text.size())
        return std::nullopt;
    return value;
}

std::string searchReply(const Terminal& terminal)
{
    tsc::SearchResponseData record;
    record.sn = terminal.sn;
    record.width = terminal.width;
    record.height = terminal.height;
    record.name = terminal.name;
    record.hostLoggedIn = terminal.hostLoggedIn;
    record.ip = terminal.ip;
    return compact(recordJson(record));
}

} // namespace

Replies searchBroadcast(FleetState& state, Request&)
{
    Replies replies;
    for (const Terminal& terminal : state.terminals)
        replies.push_back(Reply{Success, searchReply(terminal)});
    if (replies.empty())
        refuse(NothingFound, "broadcast search: no terminal answered");
    return replies;
}

// Accepts the JSON form of SerchAppointIpRequest or a bare address.
Replies searchAppointIp(FleetState& state, Request& request)
{
    std::string address = trimmed(request.text);
    // A text that cannot be JSON is taken as a bare address, and so is one
    // nested too deep to be worth parsing.
    const Json value = unreadable(request.text) ? Json() : Json::parse(request.text, nullptr, false);
    if (value.is_object()) {
        tsc::SerchAppointIpRequest record;
        try {
            record = readRecord<tsc::SerchAppointIpRequest>(value);
        } catch (const nlohmann::json::exception&) {
        }
        address = trimmed(record.ip);
    }
    Replies replies;
    for (const Terminal& terminal : state.terminals)
        if (!address.empty() && terminal.ip == address)
            replies.push_back(Reply{Success, searchReply(terminal)});
    if (replies.empty())
        refuse(NothingFound, "search of address " + detail::quoted(address) + ": no terminal answered");
    return replies;
}

Replies searchRangeIp(FleetState& state, Request& request)
{
    const auto record = readRecord<tsc::SerchRangeIpRequest>(request.body);
    const auto start = parseIpv4(trimmed(record.startIp));
    const auto end = parseIpv4(trimmed(record.endIp));
    const std::string range =
        "search of range " + detail::quoted(record.startIp) + " to " + detail::quoted(record.endIp);
    if (!start || !end)
        refuse(NothingFound, range + ": not IPv4 addresses, no terminal answered");
    std::vector<std::pair<std::uint32_t, const Terminal*>> found;
    for (const Terminal& terminal : state.terminals) {
        const auto address = parseIpv4(terminal.ip);
        if (address && *address >= *start && *address <= *end)
            found.emplace_back(*address, &terminal);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    Replies replies;
    for (const auto& entry : found)
        replies.push_back(Reply{Success, searchReply(*entry.second)});
    if (replies.empty())
        refuse(NothingFound, range + ": no terminal answered");
    return replies;
}

Replies login(FleetState&, Request& request)
{
    const auto record = readRecord<tsc::LoginData>(request.body);
    Terminal& terminal = *request.terminal;
    if (record.username != terminal.user || record.password != terminal.password)
        refuse(WrongCredentials, "login to " + terminal.sn + ": wrong user name or password");
    terminal.hostLoggedIn = true;
    tsc::LoginReplyData reply;
    reply.sn = terminal.sn;
    reply.username = record.username;
    reply.message = record.loginType == 1 ? "system login succeeded" : "login succeeded";
    reply.permissions = {"all"};
    reply.logined = true;
    return success(recordJson(reply));
}

Replies logout(FleetState&, Request& request)
{
    readRecord<tsc::DissConnectData>(request.body); // refuses members of the wrong type
    request.terminal->hostLoggedIn = false;
    return success(Json{{"sn", request.terminal->sn}, {"message", "logged out"}});
}

Replies changePassword(FleetState&, Request& request)
{
    const auto record = readRecord<tsc::ChangePasswordWithSN>(request.body);
    Terminal& terminal = *request.terminal;
    if (record.username != terminal.user || record.oldPassword != terminal.password)
        refuse(WrongCredentials, "password change on " + terminal.sn + ": wrong user name or old password");
    terminal.password = record.newPassword;
    return success(Json{{"sn", terminal.sn}, {"message", "password changed"}});
}

} // namespace tesselsim::detail
