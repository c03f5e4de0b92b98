// Times the binding export: a header of 10,000 declarations into a small
// template and into one of 1 MB, each step and the whole run from reading the
// headers to writing the files; then how the whole run grows from 1,000 to
// 100,000 declarations. Best of three runs for each figure.

#include "export/exportdriver.h"
#include "export/exportgenerator.h"
#include "export/javaexportgenerator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int declarationCount = 10000;
constexpr int smallTemplateBytes = 8 * 1024;
constexpr int templateBytes = 1024 * 1024;
constexpr int runs = 3;

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray header(int declarations)
{
    QByteArray text = "#pragma once\n\n";
    for (int i = 0; i < declarations; ++i)
        text += "TESSEL_EXPORT void tsOperation" + QByteArray::number(i) +
                "Async(const char* data, exportTesselCallback callback);\n";
    return text;
}

// Hand-written lines on both sides of the marker, about `bytes` long in all.
QByteArray templateText(int bytes)
{
    QByteArray handWritten;
    for (int i = 0; handWritten.size() < bytes / 2; ++i)
        handWritten += "    // hand-written line " + QByteArray::number(i) + "\r\n";
    return "class tesselcore\r\n{\r\n" + handWritten + "    //insert here\r\n" + handWritten + "}\r\n";
}

// A source tree below `dir` with both headers and both templates.
bool makeTree(const QTemporaryDir& dir, const QByteArray& headerText, const QByteArray& templateBytesText)
{
    const QString root = dir.filePath("root");
    const QString headers = dir.filePath("src/libs/tesselcore/");
    return writeFile(headers + "exporttesselcoreasync.h", headerText) &&
           writeFile(headers + "exporttesselcoreasyncunicode.h", headerText) &&
           writeFile(root + "/demo/java/src/tesselcore.java", templateBytesText) &&
           writeFile(root + "/demo/c#/tesselcoresample/tesselcore.cs", templateBytesText);
}

// Best of `runs` timings of `step`, in milliseconds; -1 when a run failed.
double bestMs(const std::function<bool()>& step)
{
    double best = -1;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!step())
            return -1;
        const double ms = timer.nsecsElapsed() / 1e6;
        best = best < 0 ? ms : std::min(best, ms);
    }
    return best;
}

// The whole export on a fresh tree (the templates lose their marker once filled).
double wholeExportMs(const QByteArray& headerText, const QByteArray& templateBytesText)
{
    double best = -1;
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir dir;
        if (!dir.isValid() || !makeTree(dir, headerText, templateBytesText))
            return -1;
        const QByteArray root = dir.filePath("root").toUtf8();
        QElapsedTimer timer;
        timer.start();
        if (!runExport(root))
            return -1;
        const double ms = timer.nsecsElapsed() / 1e6;
        best = best < 0 ? ms : std::min(best, ms);
    }
    return best;
}

} // namespace

int main()
{
    const QByteArray headerText = header(declarationCount);
    const QByteArray smallTemplate = templateText(smallTemplateBytes);
    const QByteArray largeTemplate = templateText(templateBytes);

    QVector<tessel::ExportEntry> entries;
    const double scanMs = bestMs([&] {
        entries = ExportGenerator::collectExports(headerText);
        return entries.size() == declarationCount;
    });
    const JavaExportGenerator java("", "");
    int smallOut = 0, largeOut = 0;
    const double smallFillMs = bestMs([&] {
        const std::optional<QByteArray> filled = java.fillText(smallTemplate, entries);
        smallOut = filled ? filled->size() : 0;
        return filled.has_value();
    });
    const double largeFillMs = bestMs([&] {
        const std::optional<QByteArray> filled = java.fillText(largeTemplate, entries);
        largeOut = filled ? filled->size() : 0;
        return filled.has_value();
    });
    const double smallRunMs = wholeExportMs(headerText, smallTemplate);
    const double largeRunMs = wholeExportMs(headerText, largeTemplate);
    if (scanMs < 0 || smallFillMs < 0 || largeFillMs < 0 || smallRunMs < 0 || largeRunMs < 0) {
        std::fprintf(stderr, "bench_export: an export step failed\n");
        return 1;
    }

    std::printf("Binding export, %d declarations, best of %d runs\n", declarationCount, runs);
    std::printf("  scan of the header (%d bytes)                       %8.2f ms\n", int(headerText.size()),
                scanMs);
    std::printf("  fill of a %7d-byte Java template (%8d bytes out) %8.2f ms\n", int(smallTemplate.size()),
                smallOut, smallFillMs);
    std::printf("  fill of a %7d-byte Java template (%8d bytes out) %8.2f ms\n", int(largeTemplate.size()),
                largeOut, largeFillMs);
    std::printf("  whole export, both bindings, files, small templates   %8.2f ms\n", smallRunMs);
    std::printf("  whole export, both bindings, files, 1 MB templates    %8.2f ms\n", largeRunMs);

    std::printf("Growth with the number of declarations (small templates)\n");
    std::printf("  %12s %10s %10s %16s %16s\n", "declarations", "scan ms", "fill ms", "whole export ms",
                "ms per 1,000");
    for (int declarations : {1000, 2000, 5000, 10000, 20000, 50000, 100000}) {
        const QByteArray text = header(declarations);
        QVector<tessel::ExportEntry> found;
        const double scan = bestMs([&] {
            found = ExportGenerator::collectExports(text);
            return found.size() == declarations;
        });
        const double fill = bestMs([&] { return java.fillText(smallTemplate, found).has_value(); });
        const double whole = wholeExportMs(text, smallTemplate);
        if (scan < 0 || fill < 0 || whole < 0) {
            std::fprintf(stderr, "bench_export: the export of %d declarations failed\n", declarations);
            return 1;
        }
        std::printf("  %12d %10.2f %10.2f %16.2f %16.3f\n", declarations, scan, fill, whole,
                    whole / declarations * 1000);
    }
    return 0;
}
