#pragma once

// The JUnit XML report of a fleet run: one test suite per terminal, named
// after its serial and name, with its sn, name, ip and groups as properties;
// one test case per checklist line. Each suite is written as its terminal
// finishes, so memory does not grow with the fleet; the file appears whole
// at the end (or when the run is cut short), never half-written.

#include "fleet/fleetrun.h"

#include <QSaveFile>
#include <QString>

#include <memory>
#include <string>

namespace tessel {

class FleetJUnit
{
public:
    explicit FleetJUnit(QString runName);
    ~FleetJUnit();

    // Opened before the run, so that a path that cannot be written is
    // known before anything is sent.
    bool open(const QString& path, std::string& error);
    void add(const TerminalReport& report);
    // A suite of its own with an error, so that a cut-short run never reads as passed.
    void markInterrupted(const std::string& message);
    bool close(std::string& error);

    // One terminal's <testsuite> element.
    static std::string suite(const TerminalReport& report);

private:
    QString runName;
    std::unique_ptr<QSaveFile> file;
    bool interrupted = false;
};

} // namespace tessel
