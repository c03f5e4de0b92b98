// Cloud accounts, the players bound to them, and the SDK's text encoding
// helpers. A verification code is returned in the reply, as no mail goes out.
#include "simulator/handlers.h"

#include <cstdint>

namespace tesselsim::detail {
namespace {

CloudAccount& existingAccount(FleetState& state, const std::string& username)
{
    const auto it = state.behaviour.accounts.find(username);
    if (it == state.behaviour.accounts.end())
        refuse(NotFound, "no cloud account " + quoted(username) + ": register it with registerSkyrell()");
    return it->second;
}

void checkPassword(FleetState& state, const Json& credentials)
{
    const std::string username = textMember(credentials, "username");
    const std::string password = textMember(credentials, "password");
    if (existingAccount(state, username).password != password)
        refuse(WrongCredentials, "cloud account " + quoted(username) + ": wrong user name or password");
}

void checkVerifyCode(FleetState& state, const std::string& username, const std::string& code)
{
    const auto it = state.behaviour.verifyCodes.find(username);
    if (it == state.behaviour.verifyCodes.end())
        refuse(NotFound,
               "no verification code was requested for " + quoted(username) + ": call getVerifyCode() first");
    if (it->second != code)
        refuse(WrongCredentials, "wrong verification code for " + quoted(username));
    state.behaviour.verifyCodes.erase(it);
}

// The same user name always gets the same six digits.
std::string codeFor(const std::string& username)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : username)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return std::to_string(100000 + hash % 900000);
}

bool codeLogin(const Json& body)
{
    const auto type = body.find("type");
    return type != body.end() && ((type->is_number_integer() && type->get<long long>() == 1) ||
                                  (type->is_string() && type->get<std::string>() == "1"));
}

constexpr char base64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string toBase64(const std::string& bytes)
{
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const auto n = (std::uint32_t(std::uint8_t(bytes[i])) << 16) |
                       (std::uint32_t(std::uint8_t(bytes[i + 1])) << 8) | std::uint8_t(bytes[i + 2]);
        for (const int shift : {18, 12, 6, 0})
            out += base64Digits[(n >> shift) & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t n = std::uint32_t(std::uint8_t(bytes[i])) << 16;
        if (rest == 2)
            n |= std::uint32_t(std::uint8_t(bytes[i + 1])) << 8;
        out += base64Digits[(n >> 18) & 63];
        out += base64Digits[(n >> 12) & 63];
        out += rest == 2 ? base64Digits[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

bool fromBase64(const std::string& text, std::string& bytes)
{
    if (text.size() % 4 != 0)
        return false;
    bytes.clear();
    const std::string digits = base64Digits;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        std::uint32_t n = 0;
        int padding = 0;
        for (std::size_t j = 0; j < 4; ++j) {
            const char c = text[i + j];
            const bool last = i + 4 == text.size();
            if (c == '=' && last && j >= 2 && (j == 3 || text[i + 3] == '=')) {
                ++padding;
                n <<= 6;
                continue;
            }
            const auto digit = digits.find(c);
            if (digit == std::string::npos || padding > 0)
                return false;
            n = (n << 6) | static_cast<std::uint32_t>(digit);
        }
        bytes += static_cast<char>((n >> 16) & 255);
        if (padding < 2)
            bytes += static_cast<char>((n >> 8) & 255);
        if (padding < 1)
            bytes += static_cast<char>(n & 255);
    }
    return true;
}

} // namespace

Replies getVerifyCode(FleetState& state, Request& request)
{
    const std::string username = textMember(request.body, "username");
    if (username.empty())
        refuse(InvalidMember, "member \"username\" must not be empty");
    const std::string code = codeFor(username);
    state.behaviour.verifyCodes[username] = code;
    return success(Json{{"username", username}, {"verifyCode", code}});
}

Replies registerAccount(FleetState& state, Request& request)
{
    const std::string username = textMember(request.body, "username");
    const std::string password = textMember(request.body, "password");
    const std::string code = textMember(request.body, "verifyCode");
    if (username.empty() || password.empty())
        refuse(InvalidMember, "members \"username\" and \"password\" must not be empty");
    if (state.behaviour.accounts.count(username))
        refuse(AlreadyExists, "cloud account " + quoted(username) + " already exists");
    checkVerifyCode(state, username, code);
    state.behaviour.accounts[username] = CloudAccount{password};
    return success(Json{{"username", username}, {"result", "registered"}});
}

// Type 1 logs in with a verification code, any other with the password.
Replies loginAccount(FleetState& state, Request& request)
{
    const std::string username = textMember(request.body, "username");
    if (codeLogin(request.body)) {
        existingAccount(state, username);
        checkVerifyCode(state, username, textMember(request.body, "verifyCode"));
    } else {
        checkPassword(state, request.body);
    }
    state.behaviour.cloudUser = username;
    return success(Json{{"username", username},
                        {"node", request.body.value("node", Json(""))},
                        {"token", "sim-token-" + codeFor(username + "/token")}});
}

Replies logOutAccount(FleetState& state, Request&)
{
    if (!state.behaviour.cloudUser)
        return success(Json{{"result", "no cloud account was logged in"}});
    const std::string username = *state.behaviour.cloudUser;
    state.behaviour.cloudUser.reset();
    return success(Json{{"username", username}, {"result", "logged out"}});
}

Replies getCloudPlayerList(FleetState& state, Request& request)
{
    const Json& credentials = objectMember(request.body, "data");
    checkPassword(state, credentials);
    const std::string username = credentials.at("username").get<std::string>();
    Json players = Json::array();
    for (const Terminal& terminal : state.terminals) {
        const auto bound = state.behaviour.boundPlayers.find(terminal.sn);
        if (bound != state.behaviour.boundPlayers.end() && bound->second == username)
            players.push_back(Json{{"sn", terminal.sn}, {"name", terminal.name}, {"ip", terminal.ip}});
    }
    return success(Json{{"username", username}, {"players", players}});
}

Replies setBindPlayer(FleetState& state, Request& request)
{
    const Json& player = objectMember(request.body, "playerInfo");
    checkPassword(state, player);
    const std::string username = player.at("username").get<std::string>();
    state.behaviour.boundPlayers[request.terminal->sn] = username;
    return success(Json{{"sn", request.terminal->sn}, {"username", username}, {"result", "bound"}});
}

Replies getBindPlayer(FleetState& state, Request& request)
{
    const std::string& sn = request.terminal->sn;
    const auto bound = state.behaviour.boundPlayers.find(sn);
    if (bound == state.behaviour.boundPlayers.end())
        return success(Json{{"sn", sn}, {"bound", false}});
    return success(Json{{"sn", sn}, {"bound", true}, {"username", bound->second}});
}

Replies rsaEncode(FleetState&, Request& request)
{
    return success(Json{{"data", toBase64(textMember(request.body, "data"))}});
}

Replies rsaDecode(FleetState&, Request& request)
{
    std::string bytes;
    if (!fromBase64(textMember(request.body, "data"), bytes))
        refuse(InvalidMember, "member \"data\" is not a text that rsaEncode() produced");
    return success(Json{{"data", bytes}});
}

} // namespace tesselsim::detail
