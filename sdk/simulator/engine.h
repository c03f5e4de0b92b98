#pragma once

// Inside of the simulated SDK: the shared state of the virtual fleet and the
// thread that delivers replies. Not part of the SDK contract.

#include "simulator/behaviourstate.h"
#include "simulator/faults.h"
#include "simulator/fleet.h"
#include "simulator/simulator.h"
#include "tessel/tesselcoreasync.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <queue>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tesselsim::detail {

// What the operation handlers see and change; guarded by Engine's mutex.
struct FleetState
{
    std::vector<Terminal> terminals;
    BehaviourState behaviour;

    Terminal* find(const std::string& sn);
};

class Engine
{
public:
    static Engine& instance();

    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Runs `handler` under the state lock, records the call and schedules the
    // replies on the simulator thread. A scripted answer replaces the handler's;
    // otherwise an injected fault may replace or delay it.
    template <typename Handler>
    void call(const char* operation, std::vector<std::string> args, ResultCallback callback,
              Handler&& handler)
    {
        // Declared before the lock, so destroyed after it is released: what a
        // callback captures may call back into the SDK when it goes.
        ResultCallback replaced;
        std::unique_lock<std::mutex> lock(mutex);
        logCall(Call{operation, args});
        if (holds.erase(operation)) {
            replaced = std::exchange(held, std::move(callback));
            return;
        }
        std::vector<Reply> replies;
        std::chrono::milliseconds delay{0};
        if (!takeScript(operation, replies)) {
            const Fault* fault = findFault(operation);
            if (fault)
                delay = fault->delay;
            if (fault && fault->code != 0)
                replies = {Reply{fault->code, fault->text}};
            else
                replies = handler(state, args);
        }
        schedule(std::move(callback), std::move(replies), delay, lock);
    }

    void recordOnly(Call call);

    void reset();
    void setFleet(std::vector<Terminal> terminals);
    std::vector<Terminal> fleet();
    void setLatency(std::chrono::milliseconds perReply);
    void scriptReplies(const std::string& operation, std::vector<Reply> invocations);
    void setFaults(std::vector<Fault> faults);
    std::vector<Fault> faultList();
    std::vector<Call> callLog();
    void setCallLogLimit(std::size_t latest);
    void holdNextCallback(const std::string& operation);
    ResultCallback takeHeldCallback();
    bool waitIdle(std::chrono::milliseconds timeout);

private:
    using Clock = std::chrono::steady_clock;

    struct Pending
    {
        Clock::time_point due;
        std::uint64_t sequence;
        std::shared_ptr<ResultCallback> callback;
        Reply reply;
        bool operator>(const Pending& other) const
        {
            return due != other.due ? due > other.due : sequence > other.sequence;
        }
    };

    Engine();
    explicit Engine(FleetFile startup);
    bool takeScript(const std::string& operation, std::vector<Reply>& replies);
    const Fault* findFault(const std::string& operation) const;
    void schedule(ResultCallback callback, std::vector<Reply> replies, std::chrono::milliseconds delay,
                  std::unique_lock<std::mutex>& lock);
    void run();
    void waitForRunningInvocation(std::unique_lock<std::mutex>& lock);
    void logCall(Call call); // under the lock
    static std::chrono::milliseconds startupLatency();

    std::mutex mutex;
    std::condition_variable wake; // new work or stop, for the worker
    std::condition_variable idle; // an invocation finished, for waiters
    std::priority_queue<Pending, std::vector<Pending>, std::greater<Pending>> pending;
    std::uint64_t nextSequence = 0;
    bool running = false; // an invocation is being made, outside the lock
    bool stopping = false;

    const std::vector<Terminal> initialFleet;
    const std::vector<Fault> initialFaults;
    const std::chrono::milliseconds initialLatency;
    FleetState state;
    std::chrono::milliseconds latency;
    std::map<std::string, std::deque<std::vector<Reply>>> scripts;
    std::vector<Fault> faults;
    std::deque<Call> calls;
    std::size_t callLimit = defaultCallLogLimit;
    std::set<std::string> holds;
    ResultCallback held;

    std::thread worker; // last: starts once everything above is built
};

} // namespace tesselsim::detail
