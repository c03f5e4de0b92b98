#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>

namespace tessel {

// One exported function found in an SDK export header.
struct ExportEntry
{
    QByteArray name;        // exactly as written in the header, blanks included
    QByteArray capitalName; // `name` with an initial ASCII lower-case letter raised
};

} // namespace tessel

// Start of every exported declaration in a header; the name runs up to the next "(".
inline constexpr char exportMarker[] = "TESSEL_EXPORT void ";
inline constexpr char nameTerminator = '(';
// The line of a template that the generated declarations replace.
inline constexpr char insertionMarker[] = "//insert here";
// Functions that the bindings declare by hand or must not offer; a name that
// merely contains one of these is left out as well.
inline constexpr const char* excludedNames[] = {"exportFuncAPIAsync", "tsSetPlatform", "tsInit",
                                                "tsSearchTerminalAsync"};

// Fills one binding template from one SDK export header. The subclasses give
// the text of a declaration in their language; scanning and filling are shared.
class ExportGenerator
{
public:
    ExportGenerator(QByteArray headerPath, QByteArray outputPath);
    virtual ~ExportGenerator() = default;

    // The declaration of one entry, UTF-8.
    virtual QByteArray formatExport(const tessel::ExportEntry& entry) const = 0;

    // Every exported declaration of a header, in header order, duplicates kept.
    static QVector<tessel::ExportEntry> collectExports(const QByteArray& header);
    static QByteArray capitalForm(const QByteArray& name);
    static bool isExcluded(const QByteArray& name);

    // The template at `outputPath` with the declarations in place of its
    // marker; writes nothing. On failure `error` says why (no file, unreadable,
    // no marker).
    std::optional<QByteArray> fillTemplate(const QVector<tessel::ExportEntry>& entries,
                                           QString* error = nullptr) const;
    // The same on a template already read; nothing when it has no marker.
    std::optional<QByteArray> fillText(const QByteArray& text,
                                       const QVector<tessel::ExportEntry>& entries) const;

    QByteArray headerPath; // UTF-8
    QByteArray outputPath; // UTF-8, rewritten in place

protected:
    // `pattern` with every "%1" replaced by `argument`, taken literally.
    static QByteArray substitute(const char* pattern, const QByteArray& argument);
};

// The whole file with "\r\n" turned into "\n" and nothing else changed;
// nothing, with the reason in `error`, when it is missing or unreadable.
std::optional<QByteArray> readTextFile(const QByteArray& path, QString* error = nullptr);

// Replaces the file's content with `text`, bytes as given. The old file is
// replaced only once the new one is complete, so a failure leaves it whole.
bool writeTextFile(const QByteArray& path, const QByteArray& text, QString* error = nullptr);
