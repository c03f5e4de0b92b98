#pragma once

// The command line of tessel-run.

#include "fleet/fleetrun.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

namespace tessel {

struct RunArguments
{
    QString runFile;
    QByteArray serial; // --sn
    bool login = false;
    QByteArray user, password;
    std::vector<std::string> ignore;
    int timeoutMs = 10000;
    int graceMs = 500;
    int concurrency = 1;
    QString junitFile;
    QString recordFile; // a folder in a fleet run
    bool help = false;
    bool version = false; // --version, alone on the line

    // A fleet run: the checklist on every terminal of a targets file or a search.
    QString targetsFile;
    bool all = false;
    std::vector<std::string> limit;
    bool listTargets = false;
    int parallel = 8;
    std::optional<FleetCount> wave, maxFail;
    int retries = 0;
    int shardK = 0, shardN = 0; // 0: no shard
    QString failedFile, baselineDir;
    bool fleet() const { return !targetsFile.isEmpty() || all; }
};

QString runUsage();
// "tessel-run 1.0.0" and a line end: what --version prints.
QString runVersion();

// The arguments after the program's name. `passwordVariable` is the value
// of TESSEL_RUN_PASSWORD, used when --login gives no password. Empty on
// bad arguments, with `error` saying why in one line.
std::optional<RunArguments> parseRunArguments(const QStringList& arguments,
                                              const QByteArray& passwordVariable, QString& error);

} // namespace tessel
