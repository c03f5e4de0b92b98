// The fleet file loader: any text either gives a one-line error and an empty
// fleet, or terminals that hold exactly what the file says. An accepted
// fleet then answers a broadcast search with one record per terminal.
//
// Input: the text of a fleet file.

#include "fuzz/fuzzsupport.h"
#include "fuzz/jsonvalues.h"
#include "requests/records.h"
#include "simulator/fleet.h"
#include "simulator/simulator.h"
#include "tessel/tesselcoreasync.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace {

using nlohmann::json;

void checkError(const std::string& error)
{
    FUZZ_CHECK(!error.empty());
    FUZZ_CHECK(error.find_first_of(std::string("\n\r\0", 3)) == std::string::npos);
    FUZZ_CHECK(fuzzsupport::isUtf8(error));
}

template <typename T> T valueOr(const json& entry, const char* key, T fallback)
{
    const auto it = entry.find(key);
    return it == entry.end() ? fallback : it->get<T>();
}

void checkTerminals(const std::string& text, const std::vector<tesselsim::Terminal>& terminals)
{
    const json document = json::parse(text);
    const json& entries = document.at("terminals");
    FUZZ_CHECK(entries.size() == terminals.size());
    const tesselsim::Terminal fresh;
    for (std::size_t i = 0; i < terminals.size(); ++i) {
        const json& entry = entries.at(i);
        const tesselsim::Terminal& terminal = terminals[i];
        FUZZ_CHECK(!terminal.sn.empty() && terminal.sn == entry.at("sn").get<std::string>());
        FUZZ_CHECK(terminal.name == valueOr(entry, "name", fresh.name));
        FUZZ_CHECK(terminal.ip == valueOr(entry, "ip", fresh.ip));
        FUZZ_CHECK(terminal.user == valueOr(entry, "user", fresh.user));
        FUZZ_CHECK(terminal.password == valueOr(entry, "password", fresh.password));
        FUZZ_CHECK(fuzzsupport::sameValue(terminal.width, entry.value("width", json(fresh.width))));
        FUZZ_CHECK(fuzzsupport::sameValue(terminal.height, entry.value("height", json(fresh.height))));
        FUZZ_CHECK(terminal.hostLoggedIn == valueOr(entry, "hostLoggedIn", fresh.hostLoggedIn));
    }
}

struct Answer
{
    unsigned short code;
    std::string reply;
};

void checkSearch(const std::vector<tesselsim::Terminal>& terminals)
{
    tesselsim::reset();
    tesselsim::setLatency(std::chrono::milliseconds(0));
    tesselsim::setFleet(terminals);
    std::mutex mutex;
    std::vector<Answer> answers;
    TesselCoreAsync::tsSearchTerminalAsync([&](unsigned short code, const char* reply) {
        std::lock_guard<std::mutex> lock(mutex);
        answers.push_back({code, reply});
    });
    FUZZ_CHECK(tesselsim::waitIdle());
    std::lock_guard<std::mutex> lock(mutex);
    if (terminals.empty()) {
        FUZZ_CHECK(answers.size() == 1 && answers[0].code != 0);
        return;
    }
    FUZZ_CHECK(answers.size() == terminals.size());
    for (std::size_t i = 0; i < terminals.size(); ++i) {
        FUZZ_CHECK(answers[i].code == 0);
        FUZZ_CHECK(fuzzsupport::isUtf8(answers[i].reply));
        tsc::SearchResponseData record;
        FUZZ_CHECK(recordFromJson(answers[i].reply, record));
        FUZZ_CHECK(record.sn == terminals[i].sn && record.name == terminals[i].name &&
                   record.ip == terminals[i].ip && record.width == terminals[i].width &&
                   record.height == terminals[i].height && record.hostLoggedIn == terminals[i].hostLoggedIn);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The simulator reads these once; the fuzz run must not depend on them.
    unsetenv("TESSEL_SIM_FLEET");
    unsetenv("TESSEL_SIM_LATENCY_MS");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    // Filled beforehand: a refused text must leave nothing behind.
    tesselsim::FleetFile file{{tesselsim::Terminal{}}, {}};
    std::string error;
    const bool parsed = tesselsim::parseFleetFile(text, file, error);
    if (!parsed) {
        checkError(error);
        FUZZ_CHECK(file.terminals.empty() && file.faults.empty());
        return 0;
    }
    const std::vector<tesselsim::Terminal>& terminals = file.terminals;
    checkTerminals(text, terminals);
    for (const tesselsim::Fault& fault : file.faults)
        FUZZ_CHECK(fault.code != 0 || fault.delay.count() > 0);
    checkSearch(terminals);
    return 0;
}
