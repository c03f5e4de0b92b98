#include "export/exportdriver.h"

#include "export/csharpexportgenerator.h"
#include "export/exportgenerator.h"
#include "export/javaexportgenerator.h"

#include <QString>

#include <cstdio>

namespace {

void report(const QByteArray& line)
{
    std::fprintf(stderr, "tessel-console: %s\n", line.constData());
}

// Reads the header, fills the template and writes it back. A missing header
// leaves the template untouched, so that its marker is kept for the next run.
bool exportBinding(const ExportGenerator& generator)
{
    QString error;
    const std::optional<QByteArray> header = readTextFile(generator.headerPath, &error);
    if (!header) {
        report("cannot read header " + generator.headerPath + ": " + error.toLocal8Bit() + "; " +
               generator.outputPath + " left unchanged");
        return false;
    }
    const std::optional<QByteArray> filled =
        generator.fillTemplate(ExportGenerator::collectExports(*header), &error);
    if (!filled) {
        report("cannot fill template " + generator.outputPath + ": " + error.toLocal8Bit() +
               "; not rewritten");
        return false;
    }
    if (!writeTextFile(generator.outputPath, *filled, &error)) {
        report("cannot write " + generator.outputPath + ": " + error.toLocal8Bit() +
               "; the old file is kept");
        return false;
    }
    return true;
}

} // namespace

QVector<std::shared_ptr<ExportGenerator>> tessel::makeGenerators(const QByteArray& root)
{
    const QByteArray headerDir = root + "/../src/libs/tesselcore/";
    return {
        std::make_shared<JavaExportGenerator>(headerDir + "exporttesselcoreasync.h",
                                              root + "/demo/java/src/tesselcore.java"),
        std::make_shared<CSharpExportGenerator>(headerDir + "exporttesselcoreasyncunicode.h",
                                                root + "/demo/c#/tesselcoresample/tesselcore.cs"),
    };
}

bool runExport(const QByteArray& root)
{
    bool allWritten = true;
    // One binding failing does not stop the other.
    for (const std::shared_ptr<ExportGenerator>& generator : tessel::makeGenerators(root))
        allWritten = exportBinding(*generator) && allWritten;
    return allWritten;
}
