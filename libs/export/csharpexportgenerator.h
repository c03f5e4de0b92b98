#pragma once

#include "export/exportgenerator.h"

// Emits one platform-invoke import per entry for the C# binding: the entry
// point keeps the header's name, the method takes the capital form.
class CSharpExportGenerator : public ExportGenerator
{
public:
    using ExportGenerator::ExportGenerator;

    static constexpr char importLine[] =
        "        [DllImport(\"tesselcore.dll\", EntryPoint = \"%1\", CharSet = "
        "CharSet.Unicode, CallingConvention = CallingConvention.Cdecl)]\n";
    // Ends in an empty line that separates consecutive imports.
    static constexpr char methodLine[] =
        "        public static extern void %1(byte[] data, exportTesselCallback resultCallback);\n\n";

    QByteArray formatExport(const tessel::ExportEntry& entry) const override;
};
