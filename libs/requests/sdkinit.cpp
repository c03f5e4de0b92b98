#include "requests/sdkinit.h"

#include "tessel/tesselcoreasync.h"

#include <nlohmann/json.hpp>

#include <string>

namespace tessel {

void initSdk()
{
    nlohmann::ordered_json identity;
    identity["company"] = "Corvane";
    identity["phone"] = "0555-01001234";
    identity["email"] = "support@example.com";
    TesselCoreAsync::tsInit("C:/Users/Public/tesselcore", identity.dump().c_str());
}

} // namespace tessel
