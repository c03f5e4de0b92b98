#include "simulator/fleet.h"

#include "simulator/requests.h"
#include "tessel/tesselcoreoperations.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <sstream>

namespace tesselsim {
namespace {

using nlohmann::json;

// A name from the file as it stands in an error line: in double quotes, with
// JSON's escapes, so that a line feed or NUL inside it cannot break the line.
std::string quotedName(const std::string& name)
{
    return json(name).dump(-1, ' ', false, json::error_handler_t::replace);
}

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
    // An unsigned value above the signed range would read as a negative one.
    if (!it->is_number_integer() ||
        (it->is_number_unsigned() &&
         it->get<unsigned long long>() > unsigned(std::numeric_limits<std::int16_t>::max())) ||
        it->get<long long>() < std::numeric_limits<std::int16_t>::min() ||
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

#define TESSEL_OPERATION_NAME(name) #name,
constexpr std::array operationNames{TESSEL_CORE_OPERATIONS(TESSEL_OPERATION_NAME, TESSEL_OPERATION_NAME)};
#undef TESSEL_OPERATION_NAME

bool knownOperation(const std::string& name)
{
    return std::find(operationNames.begin(), operationNames.end(), name) != operationNames.end();
}

constexpr long long maxDelayMs = 600000;

bool readFault(const json& entry, Fault& fault, std::string& error)
{
    if (!entry.is_object()) {
        error = "must be an object";
        return false;
    }
    // A misspelt member would silently inject nothing.
    for (const auto& member : entry.items())
        if (member.key() != "operation" && member.key() != "code" && member.key() != "text" &&
            member.key() != "delayMs") {
            error = "unknown member " + quotedName(member.key()) +
                    " (expected \"operation\", \"code\", \"text\", \"delayMs\")";
            return false;
        }
    const auto operation = entry.find("operation");
    if (operation == entry.end() || !operation->is_string()) {
        error = "\"operation\" must be the name of an SDK operation, e.g. \"tsGetVolumeAsync\"";
        return false;
    }
    fault.operation = operation->get<std::string>();
    if (!knownOperation(fault.operation)) {
        error = "\"operation\": no SDK operation is named " + quotedName(fault.operation);
        return false;
    }
    const auto code = entry.find("code");
    if (code != entry.end()) {
        if (!code->is_number_integer() || code->get<long long>() < 0 || code->get<long long>() > 65535) {
            error = "\"code\" must be an integer from 0 to 65535";
            return false;
        }
        fault.code = static_cast<unsigned short>(code->get<long long>());
    }
    if (!readString(entry, "text", fault.text, error))
        return false;
    const auto delay = entry.find("delayMs");
    if (delay != entry.end()) {
        if (!delay->is_number_integer() || delay->get<long long>() < 0 ||
            delay->get<long long>() > maxDelayMs) {
            error = "\"delayMs\" must be an integer from 0 to " + std::to_string(maxDelayMs);
            return false;
        }
        fault.delay = std::chrono::milliseconds(delay->get<long long>());
    }
    if (fault.code == 0 && fault.delay.count() == 0) {
        error = "needs a non-zero \"code\" or a non-zero \"delayMs\"";
        return false;
    }
    if (fault.code == 0 && !fault.text.empty()) {
        error = "\"text\" is the text of a failure and needs a non-zero \"code\"";
        return false;
    }
    if (fault.code != 0 && fault.text.empty())
        fault.text = "injected fault of " + fault.operation;
    return true;
}

bool readFaults(const json& document, std::vector<Fault>& out, std::string& error)
{
    const auto faults = document.find("faults");
    if (faults == document.end())
        return true;
    if (!faults->is_array()) {
        error = "\"faults\" must be an array";
        return false;
    }
    std::size_t index = 0;
    for (const json& entry : *faults) {
        Fault fault;
        std::string problem;
        if (!readFault(entry, fault, problem)) {
            error = "fault " + std::to_string(index) + ": " + problem;
            return false;
        }
        for (const Fault& earlier : out)
            if (earlier.operation == fault.operation) {
                error = "fault " + std::to_string(index) + ": a second fault for " + fault.operation;
                return false;
            }
        out.push_back(std::move(fault));
        ++index;
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
        // The other serial numbers that the console's samples carry.
        make("BZSA07313J0350000997", "商场中庭屏", "192.168.1.27", 2560, 1440),
        make("BZSA17313J0820001562", "地铁站台屏", "192.168.1.28", 1024, 256),
        make("123456789", "电梯广告屏", "192.168.1.29", 768, 1024),
        make("123465", "前台小屏", "192.168.1.30", 320, 160),
    };
}

bool parseFleetFile(const std::string& text, FleetFile& out, std::string& error)
{
    out = FleetFile{};
    // The parser takes a NUL byte for the end of the text and would ignore
    // whatever follows it.
    if (const auto nul = text.find('\0'); nul != std::string::npos) {
        error = "not valid JSON (byte " + std::to_string(nul) + " is NUL)";
        return false;
    }
    const json document = json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (document.is_discarded()) {
        const auto bad = detail::firstNonUtf8Byte(text);
        if (text.find_first_not_of(" \t\r\n") == std::string::npos)
            error = "the file is empty";
        else if (bad)
            error = "not UTF-8 (byte " + std::to_string(*bad) + " is not part of a character)";
        else
            error = "not valid JSON";
        return false;
    }
    if (!document.is_object() || !document.contains("terminals") || !document["terminals"].is_array()) {
        error = "expected an object with a \"terminals\" array";
        return false;
    }
    FleetFile file;
    std::size_t index = 0;
    for (const json& entry : document["terminals"]) {
        Terminal terminal;
        std::string fault;
        if (!readTerminal(entry, terminal, fault)) {
            error = "terminal " + std::to_string(index) + ": " + fault;
            return false;
        }
        file.terminals.push_back(std::move(terminal));
        ++index;
    }
    if (!readFaults(document, file.faults, error))
        return false;
    out = std::move(file);
    return true;
}

FleetFile loadFleet(const std::string& path, std::string& error)
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
    FleetFile fleet;
    std::string fault;
    if (!parseFleetFile(content.str(), fleet, fault)) {
        error = "fleet file " + path + ": " + fault;
        return {};
    }
    return fleet;
}

FleetFile startupFleetFile()
{
    const char* path = std::getenv("TESSEL_SIM_FLEET");
    if (!path || !*path)
        return FleetFile{defaultFleet(), {}};
    std::string error;
    FleetFile fleet = loadFleet(path, error);
    if (!error.empty())
        std::cerr << programName() << ": " << error << std::endl;
    return fleet;
}

std::string programName()
{
#ifdef __GLIBC__
    if (program_invocation_short_name && *program_invocation_short_name)
        return program_invocation_short_name;
#endif
    return "tessel-console";
}

} // namespace tesselsim
