#pragma once

// Sample requests: operation name (exact, case-sensitive) to the request text
// put into the request box. Plain data, compiled in.

#include <cstddef>
#include <string>
#include <vector>

namespace tessel {

// The sample of `apiName`, or nullptr when the name has none (the request box
// then keeps its text). An empty sample is "" and clears the box.
const char* sampleRequest(const std::string& apiName);

// Number of names that have a sample.
std::size_t sampleCount();

// The names that have a sample, in catalogue order.
std::vector<std::string> sampleNames();

} // namespace tessel
