#pragma once

// The members a checklist line adds to a run line ("expect", "expectCode",
// "capture", "until"): read once the rest of the line has been, written back
// after "ignore". For the run-line reader and writer alone.

#include "replay/runfile.h"

#include <nlohmann/json.hpp>

#include <string_view>

namespace tessel {

// Reads them from `text`, a line that has already been read as a whole
// without a fault; false with `fault` set (its column where the member's
// value stands) when one is not as it must be.
bool readChecklistMembers(std::string_view text, RunLine& line, RunFileFault& fault);

void writeChecklistMembers(const RunLine& line, nlohmann::ordered_json& out);

} // namespace tessel
