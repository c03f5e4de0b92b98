// The simulated SDK's request parsing: arbitrary request texts to its
// operations, several per input so that stateful ones (log-in, programs,
// server lists, cloud accounts) are reached. Every call must be answered at
// least once, promptly, with UTF-8; a success carries a JSON object.
//
// Input: requests separated by NUL bytes (the SDK's texts end at a NUL
// anyway). Each is an operation name, one blank and the request text; a
// name that is no operation picks one by its first byte.

#include "fuzz/fuzzsupport.h"
#include "simulator/simulator.h"
#include "tessel/tesselcoreasync.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Operation
{
    const char* name;
    void (*call)(const char* request, ResultCallback callback);
};

#define TESSEL_FUZZ_REQUEST_OP(op)                                                                           \
    Operation{#op, [](const char* request, ResultCallback callback) {                                        \
                  TesselCoreAsync::op(request, std::move(callback));                                         \
              }},
#define TESSEL_FUZZ_CALLBACK_OP(op)                                                                          \
    Operation{#op, [](const char*, ResultCallback callback) {                                                \
                  TesselCoreAsync::op(std::move(callback));                                                  \
              }},
const Operation operations[] = {TESSEL_CORE_OPERATIONS(TESSEL_FUZZ_REQUEST_OP, TESSEL_FUZZ_CALLBACK_OP)};
#undef TESSEL_FUZZ_REQUEST_OP
#undef TESSEL_FUZZ_CALLBACK_OP
constexpr std::size_t operationCount = sizeof(operations) / sizeof(operations[0]);

// More requests than this per input add little but time.
constexpr std::size_t maxRequests = 16;

const Operation& pick(std::string_view name)
{
    for (const Operation& operation : operations)
        if (name == operation.name)
            return operation;
    return operations[name.empty() ? 0 : static_cast<std::uint8_t>(name.front()) % operationCount];
}

// What one call received; written on the simulator's thread.
struct Outcome
{
    std::atomic<int> replies{0};
    std::atomic<bool> bad{false};
};

void checkReply(Outcome& outcome, unsigned short code, const char* reply)
{
    bool good = reply != nullptr && fuzzsupport::isUtf8(reply);
    if (good && code == 0) {
        const auto value = nlohmann::json::parse(reply, nullptr, false);
        good = !value.is_discarded() && value.is_object();
    } else if (good) {
        good = *reply != '\0'; // a failure says what went wrong
    }
    if (!good) {
        std::fprintf(stderr, "bad reply, code %u: %s\n", unsigned(code), reply ? reply : "(null)");
        outcome.bad = true;
    }
    ++outcome.replies;
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
    tesselsim::reset();
    tesselsim::setLatency(std::chrono::milliseconds(0));

    std::vector<std::shared_ptr<Outcome>> outcomes;
    std::string_view rest = fuzzsupport::asText(data, size);
    for (;;) {
        const std::size_t end = rest.find('\0');
        const auto [name, request] = fuzzsupport::splitAt(rest.substr(0, end), " ");
        auto outcome = std::make_shared<Outcome>();
        pick(name).call(std::string(request).c_str(), [outcome](unsigned short code, const char* reply) {
            checkReply(*outcome, code, reply);
        });
        outcomes.push_back(outcome);
        if (end == std::string_view::npos || outcomes.size() == maxRequests)
            break;
        rest = rest.substr(end + 1);
    }

    FUZZ_CHECK(tesselsim::waitIdle(std::chrono::seconds(10)));
    for (const auto& outcome : outcomes) {
        FUZZ_CHECK(outcome->replies > 0);
        FUZZ_CHECK(!outcome->bad);
    }
    return 0;
}
