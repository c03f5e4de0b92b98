#include "export/csharpexportgenerator.h"

QByteArray CSharpExportGenerator::formatExport(const ExportEntry& entry) const
{
    return substitute(importLine, entry.name) + substitute(methodLine, entry.capitalName);
}
