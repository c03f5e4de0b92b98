#include "export/javaexportgenerator.h"

QByteArray JavaExportGenerator::formatExport(const tessel::ExportEntry& entry) const
{
    return substitute(methodLine, entry.name);
}
