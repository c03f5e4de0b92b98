#pragma once

// How the virtual terminals answer each operation.

#include "tessel/tesselcoreasync.h"

namespace tesselsim::detail {

// Copy the request (a null pointer reads as empty), log the call and answer.
void requestOperation(const char* operation, const char* request, ResultCallback callback);
void callbackOperation(const char* operation, ResultCallback callback);

} // namespace tesselsim::detail
