#include "simulator/engine.h"

#include "simulator/fleet.h"

#include <cstdlib>
#include <exception>
#include <iostream>
#include <utility>

namespace tesselsim::detail {

Terminal* FleetState::find(const std::string& sn)
{
    for (Terminal& terminal : terminals)
        if (terminal.sn == sn)
            return &terminal;
    return nullptr;
}

Engine& Engine::instance()
{
    // Destroyed at exit, which stops and joins the reply thread.
    static Engine engine;
    return engine;
}

Engine::Engine() : Engine(startupFleetFile()) {}

Engine::Engine(FleetFile startup)
    : initialFleet(std::move(startup.terminals)), initialFaults(std::move(startup.faults)),
      initialLatency(startupLatency()), state{initialFleet, {}}, latency(initialLatency),
      faults(initialFaults), worker([this] { run(); })
{}

Engine::~Engine()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    worker.join();
}

std::chrono::milliseconds Engine::startupLatency()
{
    const char* text = std::getenv("TESSEL_SIM_LATENCY_MS");
    if (text && *text) {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (*end == '\0' && value >= 0 && value <= 60000)
            return std::chrono::milliseconds(value);
        std::cerr << programName() << ": TESSEL_SIM_LATENCY_MS=" << text
                  << " is not a number of milliseconds from 0 to 60000; using 30" << std::endl;
    }
    return std::chrono::milliseconds(30);
}

void Engine::recordOnly(Call call)
{
    std::lock_guard<std::mutex> lock(mutex);
    logCall(std::move(call));
}

void Engine::logCall(Call call)
{
    calls.push_back(std::move(call));
    while (calls.size() > callLimit)
        calls.pop_front();
}

bool Engine::takeScript(const std::string& operation, std::vector<Reply>& replies)
{
    const auto it = scripts.find(operation);
    if (it == scripts.end() || it->second.empty())
        return false;
    replies = std::move(it->second.front());
    it->second.pop_front();
    return true;
}

const Fault* Engine::findFault(const std::string& operation) const
{
    for (const Fault& fault : faults)
        if (fault.operation == operation)
            return &fault;
    return nullptr;
}

void Engine::schedule(ResultCallback callback, std::vector<Reply> replies, std::chrono::milliseconds delay,
                      std::unique_lock<std::mutex>& lock)
{
    if (replies.empty() || !callback) {
        // The callback goes with this call; never under the lock.
        lock.unlock();
        return;
    }
    // One shared copy for all replies of the call, as the SDK owns one callback.
    auto shared = std::make_shared<ResultCallback>(std::move(callback));
    const Clock::time_point now = Clock::now();
    for (std::size_t i = 0; i < replies.size(); ++i)
        pending.push(Pending{now + delay + latency * static_cast<int>(i + 1), nextSequence++, shared,
                             std::move(replies[i])});
    lock.unlock();
    wake.notify_all();
}

void Engine::run()
{
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping) {
        if (pending.empty()) {
            wake.wait(lock);
            continue;
        }
        if (pending.top().due > Clock::now()) {
            // A copy: the queue may grow, and move its elements, while we wait.
            const Clock::time_point due = pending.top().due;
            wake.wait_until(lock, due);
            continue;
        }
        Pending next = pending.top();
        pending.pop();
        running = true;
        lock.unlock();
        try {
            (*next.callback)(next.reply.code, next.reply.text.c_str());
        } catch (const std::exception& e) {
            std::cerr << programName() << ": a result callback threw: " << e.what() << std::endl;
        } catch (...) {
            std::cerr << programName() << ": a result callback threw" << std::endl;
        }
        next = Pending{};
        lock.lock();
        running = false;
        idle.notify_all();
    }
}

void Engine::waitForRunningInvocation(std::unique_lock<std::mutex>& lock)
{
    // A callback may itself reset the simulator; it must not wait for itself.
    if (std::this_thread::get_id() == worker.get_id())
        return;
    idle.wait(lock, [this] { return !running; });
}

void Engine::reset()
{
    // Dropped callbacks are destroyed outside the lock: what they capture may
    // call back into the SDK when it goes.
    decltype(pending) dropped;
    ResultCallback droppedHeld;
    {
        std::unique_lock<std::mutex> lock(mutex);
        std::swap(dropped, pending);
        std::swap(droppedHeld, held);
        holds.clear();
        state.terminals = initialFleet;
        state.behaviour = BehaviourState{};
        latency = initialLatency;
        scripts.clear();
        faults = initialFaults;
        calls.clear();
        callLimit = defaultCallLogLimit;
        waitForRunningInvocation(lock);
    }
    idle.notify_all();
}

void Engine::setFleet(std::vector<Terminal> terminals)
{
    std::lock_guard<std::mutex> lock(mutex);
    state.terminals = std::move(terminals);
}

std::vector<Terminal> Engine::fleet()
{
    std::lock_guard<std::mutex> lock(mutex);
    return state.terminals;
}

void Engine::setLatency(std::chrono::milliseconds perReply)
{
    std::lock_guard<std::mutex> lock(mutex);
    latency = perReply < std::chrono::milliseconds(0) ? std::chrono::milliseconds(0) : perReply;
}

void Engine::scriptReplies(const std::string& operation, std::vector<Reply> invocations)
{
    std::lock_guard<std::mutex> lock(mutex);
    scripts[operation].push_back(std::move(invocations));
}

void Engine::setFaults(std::vector<Fault> replacement)
{
    std::lock_guard<std::mutex> lock(mutex);
    faults = std::move(replacement);
}

std::vector<Fault> Engine::faultList()
{
    std::lock_guard<std::mutex> lock(mutex);
    return faults;
}

std::vector<Call> Engine::callLog()
{
    std::lock_guard<std::mutex> lock(mutex);
    return std::vector<Call>(calls.begin(), calls.end());
}

void Engine::setCallLogLimit(std::size_t latest)
{
    std::lock_guard<std::mutex> lock(mutex);
    callLimit = latest;
    while (calls.size() > callLimit)
        calls.pop_front();
}

void Engine::holdNextCallback(const std::string& operation)
{
    std::lock_guard<std::mutex> lock(mutex);
    holds.insert(operation);
}

ResultCallback Engine::takeHeldCallback()
{
    std::lock_guard<std::mutex> lock(mutex);
    return std::exchange(held, nullptr);
}

bool Engine::waitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex);
    if (std::this_thread::get_id() == worker.get_id())
        return pending.empty();
    return idle.wait_for(lock, timeout, [this] { return pending.empty() && !running; });
}

} // namespace tesselsim::detail

namespace tesselsim {

using detail::Engine;

void reset()
{
    Engine::instance().reset();
}
void setFleet(std::vector<Terminal> terminals)
{
    Engine::instance().setFleet(std::move(terminals));
}
std::vector<Terminal> fleet()
{
    return Engine::instance().fleet();
}
void setLatency(std::chrono::milliseconds perReply)
{
    Engine::instance().setLatency(perReply);
}
void scriptReplies(const std::string& operation, std::vector<Reply> invocations)
{
    Engine::instance().scriptReplies(operation, std::move(invocations));
}
void setFaults(std::vector<Fault> faults)
{
    Engine::instance().setFaults(std::move(faults));
}
std::vector<Fault> faults()
{
    return Engine::instance().faultList();
}
std::vector<Call> calls()
{
    return Engine::instance().callLog();
}
void setCallLogLimit(std::size_t latest)
{
    Engine::instance().setCallLogLimit(latest);
}
bool waitIdle(std::chrono::milliseconds timeout)
{
    return Engine::instance().waitIdle(timeout);
}
void holdNextCallback(const std::string& operation)
{
    Engine::instance().holdNextCallback(operation);
}
ResultCallback takeHeldCallback()
{
    return Engine::instance().takeHeldCallback();
}

} // namespace tesselsim
