#include "simulator/operations.h"

#include "sdk/tesselcommon.h"
#include "simulator/behaviour.h"
#include "simulator/engine.h"
#include "simulator/errors.h"
#include "simulator/requests.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace tesselsim::detail {
namespace {

using nlohmann::json;
using Args = std::vector<std::string>;
using Replies = std::vector<Reply>;
using Handler = std::function<Replies(FleetState&, const std::string& operation, const Args&)>;

Replies fail(unsigned short code, std::string text)
{
    return {Reply{code, std::move(text)}};
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
    return compact(json(record));
}

// Parses a request that must be a JSON object; on failure `error` holds the reply.
std::optional<json> parseObject(const std::string& request, Replies& error)
{
    if (const auto refusal = unreadable(request)) {
        error = fail(refusal->code, refusal->text);
        return std::nullopt;
    }
    json value = json::parse(request, nullptr, false);
    if (value.is_discarded() || !value.is_object()) {
        error = fail(RequestNotJson, "request is not a JSON object: " + detail::quoted(request));
        return std::nullopt;
    }
    return value;
}

template <typename Record>
std::optional<Record> parseRecord(const std::string& request, const char* what, Replies& error)
{
    const auto value = parseObject(request, error);
    if (!value)
        return std::nullopt;
    try {
        return value->get<Record>();
    } catch (const json::exception&) {
        error = fail(RequestNotJson,
                     std::string("request is not a valid ") + what + ": " + detail::quoted(request));
        return std::nullopt;
    }
}

Terminal* requireTerminal(FleetState& state, const std::string& sn, Replies& error)
{
    if (sn.empty()) {
        error = fail(MissingMember, "request names no terminal: member \"sn\" is missing or empty");
        return nullptr;
    }
    Terminal* terminal = state.find(sn);
    if (!terminal)
        error = fail(UnknownTerminal, "no terminal with serial number " + detail::quoted(sn));
    return terminal;
}

Replies searchBroadcast(FleetState& state, const std::string&, const Args&)
{
    Replies replies;
    for (const Terminal& terminal : state.terminals)
        replies.push_back(Reply{Success, searchReply(terminal)});
    if (replies.empty())
        return fail(NothingFound, "broadcast search: no terminal answered");
    return replies;
}

// Accepts the JSON form of SerchAppointIpRequest or a bare address.
Replies searchAppointIp(FleetState& state, const std::string&, const Args& args)
{
    std::string address = trimmed(args.at(0));
    // A text that cannot be JSON is taken as a bare address, and so is one
    // nested too deep to be worth parsing.
    const json value = unreadable(args.at(0)) ? json() : json::parse(args.at(0), nullptr, false);
    if (value.is_object()) {
        tsc::SerchAppointIpRequest request;
        try {
            value.get_to(request);
        } catch (const json::exception&) {
        }
        address = trimmed(request.ip);
    }
    Replies replies;
    for (const Terminal& terminal : state.terminals)
        if (!address.empty() && terminal.ip == address)
            replies.push_back(Reply{Success, searchReply(terminal)});
    if (replies.empty())
        return fail(NothingFound, "search of address " + detail::quoted(address) + ": no terminal answered");
    return replies;
}

Replies searchRangeIp(FleetState& state, const std::string&, const Args& args)
{
    Replies error;
    const auto request = parseRecord<tsc::SerchRangeIpRequest>(args.at(0), "range search request", error);
    if (!request)
        return error;
    const auto start = parseIpv4(trimmed(request->startIp));
    const auto end = parseIpv4(trimmed(request->endIp));
    if (!start || !end)
        return fail(NothingFound, "search of range " + detail::quoted(request->startIp) + " to " +
                                      detail::quoted(request->endIp) +
                                      ": not IPv4 addresses, no terminal answered");
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
        return fail(NothingFound, "search of range " + detail::quoted(request->startIp) + " to " +
                                      detail::quoted(request->endIp) + ": no terminal answered");
    return replies;
}

Replies login(FleetState& state, const std::string&, const Args& args)
{
    Replies error;
    const auto request = parseRecord<tsc::LoginData>(args.at(0), "login request", error);
    if (!request)
        return error;
    Terminal* terminal = requireTerminal(state, request->sn, error);
    if (!terminal)
        return error;
    if (request->username != terminal->user || request->password != terminal->password)
        return fail(WrongCredentials, "login to " + terminal->sn + ": wrong user name or password");
    terminal->hostLoggedIn = true;
    tsc::LoginReplyData reply;
    reply.sn = terminal->sn;
    reply.username = request->username;
    reply.message = request->loginType == 1 ? "system login succeeded" : "login succeeded";
    reply.permissions = {"all"};
    reply.logined = true;
    return {Reply{Success, compact(json(reply))}};
}

Replies logout(FleetState& state, const std::string&, const Args& args)
{
    Replies error;
    const auto request = parseRecord<tsc::DissConnectData>(args.at(0), "log-out request", error);
    if (!request)
        return error;
    Terminal* terminal = requireTerminal(state, request->sn, error);
    if (!terminal)
        return error;
    terminal->hostLoggedIn = false;
    return {Reply{Success, compact(json{{"sn", terminal->sn}, {"message", "logged out"}})}};
}

Replies changePassword(FleetState& state, const std::string&, const Args& args)
{
    Replies error;
    const auto request = parseRecord<tsc::ChangePasswordWithSN>(args.at(0), "password change request", error);
    if (!request)
        return error;
    Terminal* terminal = requireTerminal(state, request->sn, error);
    if (!terminal)
        return error;
    if (request->username != terminal->user || request->oldPassword != terminal->password)
        return fail(WrongCredentials,
                    "password change on " + terminal->sn + ": wrong user name or old password");
    terminal->password = request->newPassword;
    return {Reply{Success, compact(json{{"sn", terminal->sn}, {"message", "password changed"}})}};
}

const std::map<std::string, Handler>& handlers()
{
    static const std::map<std::string, Handler> table = {
        {"tsSearchTerminalAsync", searchBroadcast},
        {"tsSearchAppointIpAsync", searchAppointIp},
        {"tsSearchRangeIpAsync", searchRangeIp},
        {"tsLoginAsync", login},
        {"tsLogoutAsync", logout},
        {"tsChangePassWordAsync", changePassword},
    };
    return table;
}

void answer(const char* operation, Args args, ResultCallback callback)
{
    const auto& table = handlers();
    const auto it = table.find(operation);
    // Every other operation answers as its behaviour table says.
    const Handler& handler = it != table.end() ? it->second : Handler(behave);
    Engine::instance().call(
        operation, std::move(args), std::move(callback),
        [&](FleetState& state, const Args& copied) { return handler(state, operation, copied); });
}

} // namespace

void requestOperation(const char* operation, const char* request, ResultCallback callback)
{
    answer(operation, Args{request ? std::string(request) : std::string()}, std::move(callback));
}

void callbackOperation(const char* operation, ResultCallback callback)
{
    answer(operation, Args{}, std::move(callback));
}

} // namespace tesselsim::detail
