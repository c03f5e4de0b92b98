// The binding export's scanner, template fill and emitters, and the file
// read and write, on arbitrary bytes (NULs and carriage returns included).
//
// Input: one byte choosing what runs ('0' scan, '1' fill the Java template,
// '2' fill the C# template, '3' write and read back a file), then the text:
// for a fill, the header, a line "====", and the template.

#include "export/csharpexportgenerator.h"
#include "export/javaexportgenerator.h"
#include "fuzz/fuzzsupport.h"

#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

constexpr int markerLength = int(sizeof(exportMarker) - 1);

void checkCapital(const QByteArray& name, const QByteArray& capital)
{
    FUZZ_CHECK(capital.size() == name.size());
    FUZZ_CHECK(capital.mid(1) == name.mid(1));
    if (name.isEmpty())
        return;
    const char first = name.at(0);
    FUZZ_CHECK(capital.at(0) == (first >= 'a' && first <= 'z' ? char(first - 32) : first));
}

// The scan done the plain way: for every marker, the name up to the next "(".
QVector<QByteArray> plainScan(const QByteArray& header)
{
    QVector<QByteArray> names;
    for (int marker = header.indexOf(exportMarker); marker >= 0;
         marker = header.indexOf(exportMarker, marker + markerLength)) {
        const int start = marker + markerLength;
        const int end = header.indexOf('(', start);
        if (end >= 0)
            names.append(header.mid(start, end - start));
    }
    return names;
}

QVector<tessel::ExportEntry> checkScan(const QByteArray& header)
{
    const QVector<tessel::ExportEntry> entries = ExportGenerator::collectExports(header);
    const QVector<QByteArray> names = plainScan(header);
    FUZZ_CHECK(entries.size() == names.size());
    for (int i = 0; i < entries.size(); ++i) {
        FUZZ_CHECK(entries[i].name == names[i]);
        checkCapital(entries[i].name, entries[i].capitalName);
    }
    return entries;
}

// `pattern` with each "%1" replaced by `argument`, taken literally.
QByteArray filled(const char* pattern, const QByteArray& argument)
{
    const QList<QByteArray> parts = QByteArray(pattern).split('%');
    QByteArray out = parts.first();
    for (int i = 1; i < parts.size(); ++i)
        out += parts.at(i).startsWith('1') ? argument + parts.at(i).mid(1) : '%' + parts.at(i);
    return out;
}

QByteArray expectedDeclaration(bool java, const tessel::ExportEntry& entry)
{
    if (java)
        return filled(JavaExportGenerator::methodLine, entry.name);
    return filled(CSharpExportGenerator::importLine, entry.name) +
           filled(CSharpExportGenerator::methodLine, entry.capitalName);
}

void checkFill(bool java, const QByteArray& header, const QByteArray& text)
{
    const QVector<tessel::ExportEntry> entries = checkScan(header);
    std::unique_ptr<ExportGenerator> generator;
    if (java)
        generator = std::make_unique<JavaExportGenerator>("header.h", "tesselcore.java");
    else
        generator = std::make_unique<CSharpExportGenerator>("header.h", "tesselcore.cs");

    QByteArray block;
    for (const tessel::ExportEntry& entry : entries) {
        const QByteArray declaration = generator->formatExport(entry);
        FUZZ_CHECK(declaration == expectedDeclaration(java, entry));
        if (!ExportGenerator::isExcluded(entry.name))
            block.prepend(declaration);
    }

    const std::optional<QByteArray> result = generator->fillText(text, entries);
    const int marker = text.indexOf(insertionMarker);
    FUZZ_CHECK(result.has_value() == (marker >= 0));
    if (!result)
        return;
    // The output is the template less its marker, with the declarations put in
    // where the blanks indenting the marker begin.
    int at = marker;
    while (at > 0 && text.at(at - 1) == ' ')
        --at;
    QByteArray withoutMarker = text;
    withoutMarker.remove(marker, int(sizeof(insertionMarker) - 1));
    FUZZ_CHECK(result->size() == withoutMarker.size() + block.size());
    FUZZ_CHECK(result->mid(at, block.size()) == block);
    FUZZ_CHECK(result->left(at) + result->mid(at + block.size()) == withoutMarker);
}

void checkFiles(const QByteArray& text)
{
    static QTemporaryDir dir;
    FUZZ_CHECK(dir.isValid());
    const QByteArray path = dir.filePath(QStringLiteral("template.txt")).toUtf8();
    QString error;
    FUZZ_CHECK(writeTextFile(path, text, &error));
    const std::optional<QByteArray> read = readTextFile(path, &error);
    FUZZ_CHECK(read.has_value());
    // Only "\r\n" pairs lose their "\r"; everything else comes back as written.
    QByteArray expected = text;
    expected.replace("\r\n", "\n");
    FUZZ_CHECK(*read == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray text(reinterpret_cast<const char*>(data) + 1, int(size - 1));
    const int mode = static_cast<std::uint8_t>(data[0] - '0') % 4;
    switch (mode) {
    case 0:
        checkScan(text);
        break;
    case 1:
    case 2: {
        const int separator = text.indexOf("\n====\n");
        const QByteArray header = separator < 0 ? text : text.left(separator);
        const QByteArray templateText = separator < 0 ? QByteArray() : text.mid(separator + 6);
        checkFill(mode == 1, header, templateText);
        break;
    }
    case 3:
        checkFiles(text);
        break;
    }
    return 0;
}
