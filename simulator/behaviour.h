#pragma once

// How the virtual terminals answer every operation beyond search, login,
// log-out and password change. Most operations are one row of a table: a
// setting read or written, or an action answered with a fixed result; the
// operations that keep lists of their own have handlers.

#include "simulator/requests.h"

#include <string>
#include <vector>

namespace tesselsim::detail {

enum class Kind
{
    Get,      // reply the terminal's setting `key`, or its default
    Set,      // store the request's `members` as setting `key` (plus `json`)
    Reset,    // forget setting `key`, back to its default
    Reply,    // answer `json`
    Progress, // answer 0, 50 and 100 percent, the last with `json`
    Custom,   // `handler` answers
};

enum class Scope
{
    Terminal, // a JSON object whose "sn" names a terminal logged in to by a host
    Host,     // a JSON object without "sn"; a blank request reads as {}
    Free,     // the request text is not read
};

struct Request
{
    const std::string& operation;
    Json body;                    // {} for Free operations
    Terminal* terminal = nullptr; // for Terminal operations
};

using CustomHandler = Replies (*)(FleetState& state, Request& request);

// One operation's behaviour. `members`: the request members that must be
// present, separated by blanks; "name{}" must be an object; "*" stands for
// whatever the request carries besides "sn" (at least one member).
struct Behaviour
{
    const char* operation;
    Kind kind;
    Scope scope;
    const char* members;
    const char* key;       // Get, Set, Reset
    const char* json;      // Reply/Progress: the result; Set: members added to what is stored
    CustomHandler handler; // Custom
};

struct SettingDefault
{
    const char* key;
    const char* json; // whole-text values "$sn", "$name", "$ip", "$width", "$height" take the terminal's
};

// A number inside the request that must lie in a range.
struct RangeCheck
{
    const char* operation;
    const char* pointer; // JSON pointer, e.g. "/volumeInfo/ratio"
    double min, max;
};

const std::vector<Behaviour>& behaviours();
const std::vector<SettingDefault>& settingDefaults();
const std::vector<RangeCheck>& rangeChecks();

// The faults of the tables themselves (bad JSON, unknown keys, operations
// without a behaviour), one line each; empty when all is well.
std::vector<std::string> checkBehaviourTables();

// Answers `operation`; an operation without a row gets a clear failure.
Replies behave(FleetState& state, const std::string& operation, const std::vector<std::string>& args);

} // namespace tesselsim::detail
