#pragma once

// The JUnit XML report of a replay, as CI servers read it: one test case per
// request, a failure naming each differing member with the recorded and the
// new value, an error for a request that could not be sent. The test cases
// go to a scratch file as they come, so a long run costs no memory; the
// report itself is written whole at the end, or not at all. A run cut short
// lists the requests it did not run as skipped and says it was interrupted,
// in a property and in an error of its own, so that it never reads as passed.

#include "replay/replaysession.h"

#include <QSaveFile>
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
    // A request that was not run (its line and number), skipped for `reason`.
    void addSkipped(const ReplayOutcome& outcome, const std::string& reason);
    void markInterrupted(const std::string& message);
    bool write(const QString& path, std::string& error);
    // Into an output opened before the run, so that a path that cannot be
    // written is known before anything is sent.
    bool write(QSaveFile& file, std::string& error);

private:
    void addCase(const std::string& text);

    QString suiteName;
    std::unique_ptr<QTemporaryFile> cases;
    qint64 tests = 0, failures = 0, errors = 0, skipped = 0;
    std::string interrupted; // why the run stopped short; empty: it did not
    qint64 totalMs = 0;
    qint64 startedAtMs = 0;
};

// The text with the five XML specials escaped; characters XML cannot hold
// (control characters but tab and line ends, U+FFFE, U+FFFF, surrogates)
// and bytes that are not UTF-8 become U+FFFD.
std::string xmlEscaped(const std::string& text);

// ` name="value"`, the value escaped; and milliseconds as JUnit's seconds ("1.250").
std::string xmlAttribute(const char* name, const std::string& value);
std::string junitSeconds(qint64 ms);

// "line 3: getVolume()", or "#3: getVolume()" for a line not from a file.
std::string requestLabel(const ReplayOutcome& outcome);

} // namespace tessel
