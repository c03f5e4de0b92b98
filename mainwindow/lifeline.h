#pragma once

#include <memory>
#include <mutex>

// SDK callbacks run on the SDK's threads and may arrive after the object they
// report to is gone. They hold a shared Lifeline instead of a plain pointer;
// the owner severs it first thing in its destructor, which also waits for a
// callback that is reaching the object at that moment.
template <typename Target> class Lifeline
{
public:
    explicit Lifeline(Target* target) : target(target) {}

    template <typename Function> void reach(Function&& function)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (target)
            function(*target);
    }

    void sever()
    {
        std::lock_guard<std::mutex> lock(mutex);
        target = nullptr;
    }

private:
    std::mutex mutex;
    Target* target;
};
