#pragma once

#include <QByteArray>

// Regenerates the C# and Java bindings below `root` from the SDK's export
// headers. Returns true when both bindings were written.
bool runExport(const QByteArray& root);
