#pragma once

// What the virtual terminals and the SDK itself remember between calls:
// settings per terminal, the program editor's programs and templates, the
// time-server and node-server lists and the cloud accounts. Guarded, like the
// fleet, by the engine's lock; a reset builds it afresh.

#include <nlohmann/json.hpp>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tesselsim::detail {

// Keeps members in the order the caller wrote them, so a setting reads back
// as it was sent.
using Json = nlohmann::ordered_json;

struct Server
{
    std::string label, node;
};

struct Program
{
    Json info; // name, width, height, tplID, winInfo as created
    std::map<long long, Json> pages;
    Json sceneItems;
    Json audio;
};

struct CloudAccount
{
    std::string password;
};

struct BehaviourState
{
    BehaviourState(); // the defaults: built-in servers and the demo account

    // Serial number -> setting key -> value, for settings changed since the reset.
    std::map<std::string, std::map<std::string, Json>> settings;

    std::map<long long, Program> programs;
    long long nextProgramId = 1;
    std::map<long long, Json> templates; // customer templates
    long long nextTemplateId = 1;
    Json systemTemplate;

    std::vector<Server> timeServers;
    std::vector<Server> nodeServers;

    std::map<std::string, CloudAccount> accounts;    // by user name
    std::map<std::string, std::string> verifyCodes;  // user name -> code not yet used
    std::optional<std::string> cloudUser;            // logged in through loginSkyrell
    std::map<std::string, std::string> boundPlayers; // serial number -> cloud user name
};

} // namespace tesselsim::detail
