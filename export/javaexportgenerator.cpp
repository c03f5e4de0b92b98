#include "export/javaexportgenerator.h"

QByteArray JavaExportGenerator::formatExport(const ExportEntry& entry) const
{
    return substitute(methodLine, entry.name);
}
