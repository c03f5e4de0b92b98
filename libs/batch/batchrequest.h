#pragma once

// The request side of a batch: one request, aimed at each terminal in turn by
// its top-level text "sn", through the program's one request path.

#include "batch/batchengine.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace tessel {

class RequestRunner;

// Why `request` cannot be aimed at terminal after terminal, or empty when it can:
// it must be a JSON object with a top-level "sn" that is a text.
QString batchRequestFault(const QByteArray& request);

// Makes `engine` send the request as the operation `name` through `runner`,
// the "sn" set to each row's serial; the runner's results for these sends, and
// only these, reach the engine. `request` is asked at the start of each run
// (a retry too): the request may be edited between runs, not during one.
void sendThroughRunner(BatchEngine& engine, RequestRunner& runner, const QByteArray& name,
                       std::function<QByteArray()> request);
void sendThroughRunner(BatchEngine& engine, RequestRunner& runner, const QByteArray& name,
                       const QByteArray& request);

} // namespace tessel
