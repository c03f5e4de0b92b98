#pragma once

// Targets files: the terminals a fleet run goes to, one a row. CSV with a
// header row (UTF-8, a byte-order mark allowed, RFC 4180 quoting) or JSON
// Lines (one object a line, its members texts, numbers or booleans). "sn" is
// required, "name", "ip" and "group" are optional ("group" may hold several
// names separated by ';'); every other column is a variable of that terminal.

#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessel {

struct Target
{
    std::string sn;
    std::string name;
    std::string ip;
    std::vector<std::string> groups;
    // Every other column, in the file's order: name, value (a JSON Lines
    // number or boolean as its JSON text). An empty CSV cell is an empty text.
    std::vector<std::pair<std::string, std::string>> variables;

    // The value of `sn`, `name`, `ip` or a variable, or nothing when the
    // terminal has none of that name. "group" is not a variable.
    std::optional<std::string> variable(std::string_view name) const;
};

// Where and why a targets file cannot be used. Line and column count from 1
// (the column in characters; 0 when the fault is the row's, not a cell's).
struct TargetsFault
{
    qint64 line = 0;
    int column = 0;
    std::string message;
    std::string text() const; // "line 3, column 17: ..." or "line 3: ..."
};

// A column whose values are never written anywhere: "password", and any
// whose name starts with "secret".
bool isSecretColumn(std::string_view column);

// Refused: no header or no row, a header without "sn", a row without a
// serial, a serial given twice, a quoting fault, a row with more or fewer
// cells than the header, a header naming a column twice, bytes that are not
// UTF-8; in JSON Lines also a line that is no JSON object or a member that is
// an object, a list or null.
std::optional<std::vector<Target>> parseTargetsCsv(std::string_view text, TargetsFault& fault);
std::optional<std::vector<Target>> parseTargetsJsonLines(std::string_view text, TargetsFault& fault);
// A file: JSON Lines when its name ends in ".jsonl" or ".ndjson", or when its
// first character that is not blank (after a byte-order mark) is '{'; CSV
// otherwise. `error` is set (without a line) when the file cannot be read.
std::optional<std::vector<Target>> readTargetsFile(const QString& path, TargetsFault& fault,
                                                   std::string& error);

// As CSV that parseTargetsCsv reads back to the same targets: the header
// "sn,name,ip,group" then the variables' names in the order first seen,
// groups joined by ';', a cell quoted only where it must be, CRLF line ends.
std::string targetsCsv(const std::vector<Target>& targets);
// Written whole through a QSaveFile, or left as it was; the fault, if any.
QString writeTargetsFile(const QString& path, const std::vector<Target>& targets);

// The targets whose serial, name, IP or a group matches one of the
// shell-style patterns ('*', '?', "[...]"; case-sensitive), in their order.
std::vector<Target> limitTargets(std::vector<Target> targets, const std::vector<std::string>& patterns);
// "a,b , c" into its patterns; blanks around them go, empty ones too.
std::vector<std::string> splitPatterns(std::string_view text);

// The K-th (from 1) of N parts of the targets sorted by serial: part sizes
// differ by one at most, the larger parts first.
std::vector<Target> shardOf(std::vector<Target> targets, int k, int n);

// One line for --list-targets: the serial, then name=, ip=, group= where
// given, then each variable as name=value; values with blanks, quotes or
// '=' are quoted as JSON strings; secret columns show "******".
std::string targetLine(const Target& target);

} // namespace tessel
