#pragma once

#include <deque>
#include <functional>
#include <iterator>
#include <mutex>
#include <utility>

namespace tessel {

// A pointer to a receiver that SDK threads may use until its owner severs it.
// The owner severs it first thing in its destructor, which also waits for a
// thread that is reaching the receiver at that moment.
template <typename Receiver> class Line
{
public:
    explicit Line(Receiver* receiver) : receiver(receiver) {}

    // Calls `function(receiver)` under the line's lock, unless severed.
    template <typename Function> void reach(Function&& function)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (receiver)
            function(*receiver);
    }

    void sever()
    {
        std::lock_guard<std::mutex> lock(mutex);
        receiver = nullptr;
    }

protected:
    std::mutex mutex;

private:
    Receiver* receiver;
};

// Where SDK threads leave items for a receiver on its own thread. The first
// item after a take calls `wake` (under the lock, while the receiver exists),
// which queues one call that takes everything left until then; items posted
// after the line is severed are dropped. Items come out in the order posted.
template <typename Receiver, typename Item> class Mailbox : public Line<Receiver>
{
public:
    using Wake = std::function<void(Receiver&)>;

    Mailbox(Receiver* receiver, Wake wake) : Line<Receiver>(receiver), wake(std::move(wake)) {}

    void post(Item item)
    {
        this->reach([&](Receiver& receiver) {
            items.push_back(std::move(item));
            if (!wakePosted) {
                wakePosted = true;
                wake(receiver);
            }
        });
    }

    enum class Lock
    {
        Wait,  // takes the lock however long a posting thread holds it
        IfFree // gives up when it is busy: an SDK thread may sleep holding it
    };

    // Appends what waits to `into` (a swap, constant time, when `into` is
    // empty) and lets the next post wake the receiver again. Also after the
    // line is severed, so that the owner can take what came before. False
    // when the lock was busy with Lock::IfFree; the caller comes back later.
    bool takeInto(std::deque<Item>& into, Lock lock = Lock::Wait)
    {
        std::unique_lock<std::mutex> held(this->mutex, std::defer_lock);
        if (lock == Lock::Wait)
            held.lock();
        else if (!held.try_lock())
            return false;
        wakePosted = false;
        if (into.empty())
            into.swap(items);
        else
            std::move(items.begin(), items.end(), std::back_inserter(into));
        items.clear();
        return true;
    }

private:
    Wake wake;
    std::deque<Item> items; // grows without moving what it holds
    bool wakePosted = false;
};

} // namespace tessel
