#pragma once

#include "mailbox/mailbox.h"

#include <QMetaObject>

#include <deque>
#include <memory>
#include <string>
#include <utility>

namespace tessel {

// SDK callbacks run on the SDK's threads and may arrive after the object they
// report to is gone. They hold a shared Lifeline instead of a plain pointer;
// the owner severs it first thing in its destructor, which also waits for a
// callback that is reaching the object at that moment.
template <typename Target> using Lifeline = Line<Target>;

// The one shape of an SDK callback bound to an object: it copies the reply
// while the invocation lasts, and calls `function(target, code, reply)` only
// if the target still exists, keeping it alive meanwhile.
template <typename Target, typename Function>
auto guardedCallback(std::shared_ptr<Lifeline<Target>> line, Function function)
{
    return [line = std::move(line), function = std::move(function)](unsigned short code, const char* reply) {
        const std::string text(reply ? reply : "");
        line->reach([&](Target& target) { function(target, static_cast<int>(code), text); });
    };
}

// The same, but `function(target, code, reply)` runs later on the target's own
// thread, in one posted call: what it files about the reply and the signal it
// emits stay together. A call still pending when the target goes is dropped.
template <typename Target, typename Function>
auto postedCallback(std::shared_ptr<Lifeline<Target>> line, Function function)
{
    return guardedCallback(std::move(line), [function = std::move(function)](Target& target, int code,
                                                                             const std::string& reply) {
        QMetaObject::invokeMethod(
            &target, [&target, function, code, reply] { function(target, code, reply); },
            Qt::QueuedConnection);
    });
}

// What a posted call queued for the slot its signal reaches, oldest first; or
// `fallback` when the signal came without one (emitted by other code).
template <typename T> T takePending(std::deque<T>& pending, T fallback = T())
{
    if (pending.empty())
        return fallback;
    T taken = std::move(pending.front());
    pending.pop_front();
    return taken;
}

} // namespace tessel
