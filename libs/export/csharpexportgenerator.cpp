#include "export/csharpexportgenerator.h"

QByteArray CSharpExportGenerator::formatExport(const tessel::ExportEntry& entry) const
{
    return substitute(importLine, entry.name) + substitute(methodLine, entry.capitalName);
}
