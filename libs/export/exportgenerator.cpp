#include "export/exportgenerator.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <utility>

namespace {

constexpr int exportMarkerLength = int(sizeof(exportMarker) - 1);
constexpr int insertionMarkerLength = int(sizeof(insertionMarker) - 1);

QString decodePath(const QByteArray& path)
{
    return QString::fromUtf8(path);
}

// Turns "\r\n" into "\n" in one pass; a lone "\r" stays.
QByteArray toUnixLineEnds(const QByteArray& bytes)
{
    if (!bytes.contains('\r'))
        return bytes;
    QByteArray out;
    out.reserve(bytes.size());
    const char* data = bytes.constData();
    const int size = bytes.size();
    for (int i = 0; i < size; ++i) {
        if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n')
            continue;
        out.append(data[i]);
    }
    return out;
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

} // namespace

ExportGenerator::ExportGenerator(QByteArray headerPath, QByteArray outputPath)
    : headerPath(std::move(headerPath)), outputPath(std::move(outputPath))
{}

QVector<tessel::ExportEntry> ExportGenerator::collectExports(const QByteArray& header)
{
    QVector<tessel::ExportEntry> entries;
    // The "(" found for one marker also ends every later marker that starts
    // before it, so each byte is looked at a bounded number of times.
    int terminator = -1;
    int marker = header.indexOf(exportMarker);
    while (marker >= 0) {
        const int start = marker + exportMarkerLength;
        if (terminator < start)
            terminator = header.indexOf(nameTerminator, start);
        if (terminator < 0)
            break; // no "(" left, so neither this marker nor a later one names a function
        const QByteArray name = header.mid(start, terminator - start);
        entries.append({name, capitalForm(name)});
        marker = header.indexOf(exportMarker, start);
    }
    return entries;
}

QByteArray ExportGenerator::capitalForm(const QByteArray& name)
{
    QByteArray capital = name;
    if (!capital.isEmpty() && capital.at(0) >= 'a' && capital.at(0) <= 'z')
        capital[0] = char(capital.at(0) - 'a' + 'A');
    return capital;
}

bool ExportGenerator::isExcluded(const QByteArray& name)
{
    for (const char* excluded : excludedNames) {
        if (name.contains(excluded))
            return true;
    }
    return false;
}

std::optional<QByteArray> ExportGenerator::fillTemplate(const QVector<tessel::ExportEntry>& entries,
                                                        QString* error) const
{
    const std::optional<QByteArray> text = readTextFile(outputPath, error);
    if (!text)
        return std::nullopt;
    std::optional<QByteArray> filled = fillText(*text, entries);
    if (!filled)
        setError(error, QStringLiteral("no \"%1\" marker").arg(QLatin1String(insertionMarker)));
    return filled;
}

std::optional<QByteArray> ExportGenerator::fillText(const QByteArray& text,
                                                    const QVector<tessel::ExportEntry>& entries) const
{
    const int marker = text.indexOf(insertionMarker);
    if (marker < 0)
        return std::nullopt;
    // Declarations go where the blanks indenting the marker start; tabs do not count.
    int insertAt = marker;
    while (insertAt > 0 && text.at(insertAt - 1) == ' ')
        --insertAt;

    // Each declaration lands in front of the ones before it, so the block
    // holds them in the reverse of header order. It is built once and put in
    // once rather than shifting the rest of the text for every declaration.
    QByteArray block;
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        if (!isExcluded(it->name))
            block += formatExport(*it);
    }

    const int afterMarker = marker + insertionMarkerLength;
    QByteArray filled;
    filled.reserve(text.size() - insertionMarkerLength + block.size());
    filled.append(text.constData(), insertAt);
    filled.append(block);
    filled.append(text.constData() + insertAt, marker - insertAt);
    filled.append(text.constData() + afterMarker, text.size() - afterMarker);
    return filled;
}

QByteArray ExportGenerator::substitute(const char* pattern, const QByteArray& argument)
{
    const QByteArray source(pattern);
    QByteArray out;
    out.reserve(source.size() + argument.size());
    int from = 0;
    for (int at = source.indexOf("%1"); at >= 0; at = source.indexOf("%1", from)) {
        out.append(source.constData() + from, at - from);
        out.append(argument);
        from = at + 2;
    }
    out.append(source.constData() + from, source.size() - from);
    return out;
}

std::optional<QByteArray> readTextFile(const QByteArray& path, QString* error)
{
    const QString name = decodePath(path);
    const QFileInfo info(name);
    if (!info.exists()) {
        setError(error, QStringLiteral("no such file"));
        return std::nullopt;
    }
    if (info.isDir()) {
        setError(error, QStringLiteral("is a directory"));
        return std::nullopt;
    }
    // Read in binary and mend the line ends ourselves: Qt's text mode would
    // drop every "\r", not only those ending a line.
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        setError(error, file.errorString());
        return std::nullopt;
    }
    return toUnixLineEnds(bytes);
}

bool writeTextFile(const QByteArray& path, const QByteArray& text, QString* error)
{
    QSaveFile file(decodePath(path));
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, file.errorString());
        return false;
    }
    if (file.write(text) != text.size() || !file.commit()) {
        // The temporary file is discarded with `file`; the old one stays as it was.
        setError(error, file.errorString());
        return false;
    }
    return true;
}
