#pragma once

#include "simulator/simulator.h"

#include <string>
#include <vector>

namespace tesselsim {

// The built-in fleet: the terminals that the console's sample requests name.
std::vector<Terminal> defaultFleet();

// Parses the text of a fleet file. On a fault returns false, leaves `out`
// empty and puts a one-line description into `error`.
bool parseFleet(const std::string& text, std::vector<Terminal>& out, std::string& error);

// Reads and parses a fleet file. A file that cannot be read or parsed yields
// an empty fleet and one line in `error` naming the file and the fault.
std::vector<Terminal> loadFleetFile(const std::string& path, std::string& error);

// The fleet the simulator starts with: the file named by TESSEL_SIM_FLEET,
// else the built-in one. Faults of the file go to stderr.
std::vector<Terminal> startupFleet();

} // namespace tesselsim
