#pragma once

// Points a console request at a terminal: rewrites the value of the request's
// top-level "sn" member, and nothing else, so that the rest of the text stays
// exactly as the user or the sample wrote it.

#include <string>
#include <string_view>

namespace tessel::requesttarget {

// The text with every top-level "sn" member whose value is a text set to
// `sn`. Texts that are not a well-formed JSON object, and objects without
// such a member, come back unchanged.
std::string withSerial(std::string_view request, const std::string& sn);

// The text with every top-level text "sn" equal to `previous` set to `next`;
// any other text comes back unchanged.
std::string retargeted(std::string_view request, const std::string& previous, const std::string& next);

} // namespace tessel::requesttarget
