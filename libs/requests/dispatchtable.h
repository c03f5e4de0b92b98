#pragma once

// Which SDK operation each console operation name starts. Plain data,
// matched by the whole name, byte for byte.

#include "tessel/tesselcoreasync.h"

#include <string_view>
#include <vector>

namespace tessel {

struct DispatchEntry
{
    const char* apiName;   // catalogue text, e.g. "setVolume()"
    const char* operation; // SDK operation, e.g. "tsSetVolumeAsync"
    // Starts the operation; one that takes no request text leaves `request` unread.
    void (*start)(const char* request, ResultCallback callback);
};

const std::vector<DispatchEntry>& dispatchTable();

// The entry whose name equals `apiName` exactly, or nullptr.
const DispatchEntry* findDispatchEntry(std::string_view apiName);

} // namespace tessel
