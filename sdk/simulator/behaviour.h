#pragma once

// How the virtual terminals answer every operation. Most operations are one
// row of a table: a setting read or written, or an action answered with a
// fixed result; searches, login and the operations that keep lists of their
// own have handlers.

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
    Named,    // a JSON object whose "sn" names a known terminal, logged in or not
    Host,     // a JSON object without "sn"; a blank request reads as {}
    Free,     // the request text is not read as JSON; a handler may read `text`
};

struct Request
{
    const std::string& text;      // the request as sent; empty for callback-only operations
    Json body;                    // {} for Free operations
    Terminal* terminal = nullptr; // for Terminal and Named operations
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
struct MemberRange
{
    const char* operation;
    const char* pointer; // JSON pointer, e.g. "/volumeInfo/ratio"
    double min, max;
};

const std::vector<Behaviour>& behaviours();
const std::vector<SettingDefault>& settingDefaults();
const std::vector<MemberRange>& memberRanges();

// The faults of the tables themselves (bad JSON, unknown keys, operations
// without a behaviour), one line each; empty when all is well.
std::vector<std::string> checkBehaviourTables();

// Everything a call needs to know about its operation, found once per call.
struct OperationEntry
{
    const Behaviour& row;
    std::vector<const MemberRange*> ranges;
};

// Nothing for a name without a row.
const OperationEntry* findOperation(const std::string& operation);

// Answers a call of `entry`'s operation with these arguments (the request
// text, or none). A null entry gets a clear failure naming `operation`.
Replies behave(FleetState& state, const OperationEntry* entry, const std::string& operation,
               const std::vector<std::string>& args);

} // namespace tesselsim::detail
