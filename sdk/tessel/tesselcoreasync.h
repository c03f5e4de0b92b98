#pragma once

#include "tessel/tesselcoreoperations.h"

#include <functional>

// Completion callable of every asynchronous operation. The SDK owns its copy,
// may invoke it on a thread of its own, possibly more than once, and possibly
// before the starting call has returned. `reply` is zero-terminated UTF-8 and
// valid only during the invocation; code 0 is success.
using ResultCallback = std::function<void(unsigned short code, const char* reply)>;

// The terminal SDK: static operations only. Every operation returns at once
// and reports through its callback. Request texts are zero-terminated UTF-8,
// valid only during the call; the SDK copies what it keeps.
class TesselCoreAsync
{
public:
    TesselCoreAsync() = delete;

    // Once per process, before any other call. `directory` is the SDK's working
    // folder, `identity` a compact JSON object naming the calling application.
    static int tsInit(const char* directory, const char* identity);

#define TESSEL_DECLARE_REQUEST_OP(name) static void name(const char* request, ResultCallback callback);
#define TESSEL_DECLARE_CALLBACK_OP(name) static void name(ResultCallback callback);
    TESSEL_CORE_OPERATIONS(TESSEL_DECLARE_REQUEST_OP, TESSEL_DECLARE_CALLBACK_OP)
#undef TESSEL_DECLARE_REQUEST_OP
#undef TESSEL_DECLARE_CALLBACK_OP
};
