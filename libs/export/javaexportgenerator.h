#pragma once

#include "export/exportgenerator.h"

// Emits one method declaration per entry for the Java binding's interface.
class JavaExportGenerator : public ExportGenerator
{
public:
    using ExportGenerator::ExportGenerator;

    static constexpr char methodLine[] = "    void %1(String data, CallBack callBack);\n";

    QByteArray formatExport(const tessel::ExportEntry& entry) const override;
};
