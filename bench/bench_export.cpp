// Times an export of 10,000 declarations into each of the two templates,
// the whole run from reading the headers to writing the files.

#include "export/exportdriver.h"
#include "export/exportgenerator.h"
#include "export/javaexportgenerator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int declarationCount = 10000;

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray header()
{
    QByteArray text = "#pragma once\n\n";
    for (int i = 0; i < declarationCount; ++i)
        text += "TESSEL_EXPORT void tsOperation" + QByteArray::number(i) +
                "Async(const char* data, exportTesselCallback callback);\n";
    return text;
}

QByteArray templateText()
{
    QByteArray text = "class tesselcore\n{\n";
    for (int i = 0; i < 200; ++i)
        text += "    // hand-written line " + QByteArray::number(i) + "\r\n";
    return text + "    //insert here\r\n}\r\n";
}

} // namespace

int main()
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_export: no temporary directory\n");
        return 1;
    }
    const QString root = dir.filePath("root");
    const QByteArray headerText = header();
    const QString headers = dir.filePath("src/libs/tesselcore/");
    const bool ready = writeFile(headers + "exporttesselcoreasync.h", headerText) &&
                       writeFile(headers + "exporttesselcoreasyncunicode.h", headerText) &&
                       writeFile(root + "/demo/java/src/tesselcore.java", templateText()) &&
                       writeFile(root + "/demo/c#/tesselcoresample/tesselcore.cs", templateText());
    if (!ready) {
        std::fprintf(stderr, "bench_export: cannot set up the source tree\n");
        return 1;
    }

    QElapsedTimer timer;
    timer.start();
    const QVector<ExportEntry> entries = ExportGenerator::collectExports(headerText);
    const qint64 scanNs = timer.nsecsElapsed();
    timer.restart();
    const std::optional<QByteArray> filled = JavaExportGenerator("", "").fillText(templateText(), entries);
    const qint64 fillNs = timer.nsecsElapsed();
    timer.restart();
    const bool ok = runExport(root.toUtf8());
    const qint64 runNs = timer.nsecsElapsed();

    std::printf("scan of %d declarations (%d bytes): %.2f ms\n", int(entries.size()), int(headerText.size()),
                scanNs / 1e6);
    std::printf("fill of the Java template (%d bytes out): %.2f ms\n", filled ? int(filled->size()) : 0,
                fillNs / 1e6);
    std::printf("whole export, both bindings, files included: %.2f ms (%s)\n", runNs / 1e6,
                ok ? "written" : "FAILED");
    return ok ? 0 : 1;
}
