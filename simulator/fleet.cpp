#include "simulator/fleet.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <sstream>

namespace tesselsim {
namespace {

using nlohmann::json;

bool readString(const json& object, const char* key, std::string& member, std::string& error)
{
    const auto it = object.find(key);
    if (it == object.end())
        return true;
    if (!it->is_string()) {
        error = std::string("\"") + key + "\" must be a string";
        return false;
    }
    member = it->get<std::string>();
    return true;
}

bool readDimension(const json& object, const char* key, std::int16_t& member, std::string& error)
{
    const auto it = object.find(key);
    if (it == object.end())
        return true;
    if (!it->is_number_integer() || it->get<long long>() < std::numeric_limits<std::int16_t>::min() ||
        it->get<long long>() > std::numeric_limits<std::int16_t>::max()) {
        error = std::string("\"") + key + "\" must be an integer from -32768 to 32767";
        return false;
    }
    member = static_cast<std::int16_t>(it->get<long long>());
    return true;
}

bool readTerminal(const json& entry, Terminal& terminal, std::string& error)
{
    if (!entry.is_object()) {
        error = "must be an object";
        return false;
    }
    const auto sn = entry.find("sn");
    if (sn == entry.end() || !sn->is_string() || sn->get<std::string>().empty()) {
        error = "\"sn\" must be a non-empty string";
        return false;
    }
    terminal.sn = sn->get<std::string>();
    if (!readString(entry, "name", terminal.name, error) || !readString(entry, "ip", terminal.ip, error) ||
        !readDimension(entry, "width", terminal.width, error) ||
        !readDimension(entry, "height", terminal.height, error) ||
        !readString(entry, "user", terminal.user, error) ||
        !readString(entry, "password", terminal.password, error))
        return false;
    const auto logged = entry.find("hostLoggedIn");
    if (logged != entry.end()) {
        if (!logged->is_boolean()) {
            error = "\"hostLoggedIn\" must be true or false";
            return false;
        }
        terminal.hostLoggedIn = logged->get<bool>();
    }
    return true;
}

} // namespace

std::vector<Terminal> defaultFleet()
{
    // Addresses are simulated; nothing is ever sent to them.
    auto make = [](const char* sn, const char* name, const char* ip, std::int16_t w, std::int16_t h,
                   bool loggedIn = false) {
        Terminal t;
        t.sn = sn;
        t.name = name;
        t.ip = ip;
        t.width = w;
        t.height = h;
        t.hostLoggedIn = loggedIn;
        return t;
    };
    return {
        make("BZSA07194A0049999716", "大厅主屏", "192.168.1.21", 1920, 1080),
        make("BZWA17422J1X20000093", "会议室屏", "192.168.1.22", 1280, 720, true),
        make("BZSA79353N1310006847", "门头条屏", "192.168.1.23", 3840, 480),
        make("BZVA28407N3X20008006", "展厅拼接屏", "192.168.1.24", 7680, 2160),
        make("W9A5HAJW", "测试终端", "192.168.1.25", 640, 480),
        make("BZSA07201A0010000183", "户外广告屏", "192.168.1.26", 5120, 1440),
    };
}

bool parseFleet(const std::string& text, std::vector<Terminal>& out, std::string& error)
{
    out.clear();
    const json document = json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (document.is_discarded()) {
        error =
            text.find_first_not_of(" \t\r\n") == std::string::npos ? "the file is empty" : "not valid JSON";
        return false;
    }
    if (!document.is_object() || !document.contains("terminals") || !document["terminals"].is_array()) {
        error = "expected an object with a \"terminals\" array";
        return false;
    }
    std::vector<Terminal> terminals;
    std::size_t index = 0;
    for (const json& entry : document["terminals"]) {
        Terminal terminal;
        std::string fault;
        if (!readTerminal(entry, terminal, fault)) {
            error = "terminal " + std::to_string(index) + ": " + fault;
            return false;
        }
        terminals.push_back(std::move(terminal));
        ++index;
    }
    out = std::move(terminals);
    return true;
}

std::vector<Terminal> loadFleetFile(const std::string& path, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "fleet file " + path + ": cannot be read";
        return {};
    }
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad()) {
        error = "fleet file " + path + ": cannot be read";
        return {};
    }
    std::vector<Terminal> terminals;
    std::string fault;
    if (!parseFleet(content.str(), terminals, fault)) {
        error = "fleet file " + path + ": " + fault;
        return {};
    }
    return terminals;
}

std::vector<Terminal> startupFleet()
{
    const char* path = std::getenv("TESSEL_SIM_FLEET");
    if (!path || !*path)
        return defaultFleet();
    std::string error;
    std::vector<Terminal> terminals = loadFleetFile(path, error);
    if (!error.empty())
        std::cerr << "tessel-console: " << error << std::endl;
    return terminals;
}

} // namespace tesselsim
