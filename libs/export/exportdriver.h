#pragma once

#include <QByteArray>
#include <QVector>

#include <memory>

class ExportGenerator;

namespace tessel {

// The two generators for a source tree, Java first, then C#. Paths are the
// root, verbatim, followed by fixed suffixes.
QVector<std::shared_ptr<ExportGenerator>> makeGenerators(const QByteArray& root);

} // namespace tessel

// Regenerates the C# and Java bindings below `root` from the SDK's export
// headers. Returns true when both bindings were written; every failure is
// reported on stderr, one line each, and leaves that binding's file as it was.
bool runExport(const QByteArray& root);
