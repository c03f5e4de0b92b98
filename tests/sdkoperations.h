#pragma once

// Every request-taking SDK operation by name, from the one operation list.

#include "tessel/tesselcoreasync.h"

#include <map>
#include <string>

using RequestOperation = void (*)(const char*, ResultCallback);

inline const std::map<std::string, RequestOperation>& requestOperations()
{
#define TESSEL_REQUEST_ENTRY(name) {#name, &TesselCoreAsync::name},
#define TESSEL_SKIP(name)
    static const std::map<std::string, RequestOperation> map{
        TESSEL_CORE_OPERATIONS(TESSEL_REQUEST_ENTRY, TESSEL_SKIP)};
#undef TESSEL_REQUEST_ENTRY
#undef TESSEL_SKIP
    return map;
}
