#pragma once

#include "simulator/faults.h"
#include "simulator/simulator.h"

#include <string>
#include <vector>

namespace tesselsim {

// What a fleet file describes: the terminals and the faults to inject.
struct FleetFile
{
    std::vector<Terminal> terminals;
    std::vector<Fault> faults;
};

// The built-in fleet: the terminals that the console's sample requests name.
std::vector<Terminal> defaultFleet();

// Parses the text of a fleet file, terminals and faults. On a fault returns
// false, leaves `out` empty and puts a one-line description into `error`.
bool parseFleetFile(const std::string& text, FleetFile& out, std::string& error);

// Reads and parses a fleet file; on a fault yields nothing and one line in
// `error` naming the file and the fault.
FleetFile loadFleet(const std::string& path, std::string& error);

// The file named by TESSEL_SIM_FLEET, else the built-in fleet and no faults.
// Faults of the file go to stderr.
FleetFile startupFleetFile();

// The program the simulator runs in, to begin its lines on stderr with:
// tessel-run and tessel-console link the same simulator.
std::string programName();

} // namespace tesselsim
