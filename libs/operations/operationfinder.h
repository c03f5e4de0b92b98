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
    std::vector<bool> wordStarts; // per character of the name: does a word start there
};

// Per character of `name`: whether a word starts there. Words start at the
// beginning, after anything but a letter or digit, at a capital after a small
// letter or digit ("get|Volume"), at the last capital of a run before a small
// letter ("VPN|Connect") and at a digit after a letter ("Volume|For|0x99").
std::vector<bool> wordStartsOf(const QString& name);

// Every distinct name once, in catalogue order (module 1 to 46, list order).
const std::vector<FinderEntry>& finderEntries();

// Indices into finderEntries() of the entries matching `query`, best first:
// names that start with it; names with a word starting with it; names whose
// words start with its parts, in order ("gvol": get|Vol|ume); names that
// contain it; names holding its characters in order; then names whose module
// label starts with or contains it. Case
// does not matter; within a rank catalogue order holds. An empty (or blank)
// query matches every entry in catalogue order.
std::vector<int> rankOperations(const QString& query);

} // namespace tessel
