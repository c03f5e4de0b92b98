#pragma once

namespace tessel {

// Initialises the SDK as every program of ours does: its working folder and a
// compact identity object of the calling application, with exactly these
// members in this order. The SDK's result tells nothing we could act on.
void initSdk();

} // namespace tessel
