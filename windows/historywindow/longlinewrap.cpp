#include "historywindow/longlinewrap.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextOption>

namespace tessel {
namespace {

bool anyLongLine(QTextBlock block, const QTextBlock& end)
{
    for (; block.isValid() && block != end; block = block.next())
        if (block.length() > longLineChars)
            return true;
    return false;
}

void setWrapMode(QTextDocument& document, QTextOption::WrapMode mode)
{
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(mode);
    // Lays the document out again, in the new mode, before the change itself.
    document.setDefaultTextOption(option);
}

} // namespace

void wrapLongLinesAnywhere(QTextDocument& document)
{
    const QTextOption::WrapMode usual = document.defaultTextOption().wrapMode();
    // contentsChange comes before the document's layout sees the change.
    QObject::connect(&document, &QTextDocument::contentsChange, &document,
                     [&document, usual](int from, int removed, int added) {
                         const bool anywhere =
                             document.defaultTextOption().wrapMode() == QTextOption::WrapAnywhere;
                         if (!anywhere && added > 0) {
                             // Only the lines the change touched can have grown long.
                             const QTextBlock last = document.findBlock(from + added);
                             if (anyLongLine(document.findBlock(from), last.next()))
                                 setWrapMode(document, QTextOption::WrapAnywhere);
                         } else if (anywhere && (removed > 0 || added > 0)) {
                             // A cut or a line end may have split the last long line.
                             if (!anyLongLine(document.begin(), document.end()))
                                 setWrapMode(document, usual);
                         }
                     });
}

} // namespace tessel
