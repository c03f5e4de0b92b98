#pragma once

// Which SDK operation each console operation name starts. Plain data: 212
// entries, matched by the whole name, byte for byte.

#include "sdk/tesselcoreasync.h"

#include <string_view>
#include <vector>

struct DispatchEntry
{
    const char* apiName;                                           // catalogue text, e.g. "setVolume()"
    const char* operation;                                         // SDK operation, e.g. "tsSetVolumeAsync"
    void (*request)(const char* request, ResultCallback callback); // request-and-callback shape, else null
    void (*callbackOnly)(ResultCallback callback);                 // callback-only shape, else null
};

const std::vector<DispatchEntry>& dispatchTable();

// The entry whose name equals `apiName` exactly, or nullptr.
const DispatchEntry* findDispatchEntry(std::string_view apiName);
