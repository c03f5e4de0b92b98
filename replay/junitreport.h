#pragma once

// The JUnit XML report of a replay, as CI servers read it: one test case per
// request, a failure naming each differing member with the recorded and the
// new value, an error for a request that could not be sent. The test cases
// go to a scratch file as they come, so a long run costs no memory; the
// report itself is written whole at the end, or not at all.

#include "replay/replaysession.h"

#include <QString>
#include <QTemporaryFile>

#include <memory>
#include <string>

namespace tessel {

class JUnitReport
{
public:
    explicit JUnitReport(QString suiteName);
    ~JUnitReport();

    bool open(std::string& error);
    void add(const ReplayOutcome& outcome);
    bool write(const QString& path, std::string& error);

private:
    QString suiteName;
    std::unique_ptr<QTemporaryFile> cases;
    qint64 tests = 0, failures = 0, errors = 0;
    qint64 totalMs = 0;
    qint64 startedAtMs = 0;
};

// The text with the five XML specials escaped; characters XML cannot hold
// (control characters but tab and line ends) become U+FFFD.
std::string xmlEscaped(const std::string& text);

// "line 3: getVolume()", or "#3: getVolume()" for a line not from a file.
std::string requestLabel(const ReplayOutcome& outcome);

} // namespace tessel
