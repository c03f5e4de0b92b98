#pragma once

// Finding an operation by typing: every distinct operation name of the
// catalogue with the module that first lists it, ranked against a query.
// Plain data and functions; the finder window sits on top.

#include <QString>

#include <vector>

namespace tessel {

struct FinderEntry
{
    QString name;        // the operation name, exactly as in the name box
    QString moduleLabel; // label of the first module that lists it
    int moduleIndex;     // that module's index in the module box
    int nameIndex;       // the name's index in that module's list
    QString nameKey;     // lower-cased forms for matching
    QString labelKey;
};

// Every distinct name once, in catalogue order (module 1 to 46, list order).
const std::vector<FinderEntry>& finderEntries();

// Indices into finderEntries() of the entries matching `query`, best first:
// names that start with it, then names that contain it, then names holding
// its characters in order, then names whose module label starts with or
// contains it. Case does not matter; within a rank catalogue order holds.
// An empty (or blank) query matches every entry in catalogue order.
std::vector<int> rankOperations(const QString& query);

} // namespace tessel
