#include "console/longlinefolder.h"

#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QGuiApplication>
#include <QLocale>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextEdit>

#include <vector>

namespace tessel {
namespace {

constexpr int foldObjectType = QTextFormat::UserObject + 1;
constexpr int foldTextProperty = QTextFormat::UserProperty + 1;
constexpr int foldCountProperty = QTextFormat::UserProperty + 2; // characters, not code units
constexpr qreal markerPadding = 6;

bool isFold(const QTextFormat& format)
{
    return format.objectType() == foldObjectType;
}

QString markerLabel(const QTextFormat& format)
{
    return QObject::tr("⋯ 已折叠 %1 个字符 ⋯").arg(QLocale().toString(format.intProperty(foldCountProperty)));
}

// `plain` is the document's plain text from `from` on, one code unit a
// position; each fold marker in it gives way to the text it holds.
QString unfolded(const QTextDocument& document, const QString& plain, int from)
{
    if (!plain.contains(QChar::ObjectReplacementCharacter))
        return plain;
    const int to = from + plain.size();
    QString whole;
    int copied = 0;
    for (QTextBlock block = document.findBlock(from); block.isValid() && block.position() < to;
         block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!isFold(fragment.charFormat()))
                continue;
            const QString text = fragment.charFormat().stringProperty(foldTextProperty);
            for (int at = fragment.position(); at < fragment.position() + fragment.length(); ++at) {
                // Text typed or set next to a marker may take on its format;
                // only the marker character itself stands for a fold.
                if (at < from || at >= to || plain.at(at - from) != QChar::ObjectReplacementCharacter)
                    continue;
                whole += QStringView(plain).mid(copied, at - from - copied);
                whole += text;
                copied = at - from + 1;
            }
        }
    }
    whole += QStringView(plain).mid(copied);
    return whole;
}

} // namespace

LongLineFolder::LongLineFolder(QTextEdit& edit) : QObject(&edit), edit(edit)
{
    QTextDocument* document = edit.document();
    document->documentLayout()->registerHandler(foldObjectType, this);
    // Before the layout sees the change: the long line is never laid out.
    connect(document, &QTextDocument::contentsChange, this,
            [this](int from, int, int added) { fold(from, added); });
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this,
            [this](QClipboard::Mode mode) { unfoldClipboard(mode); });
    edit.viewport()->installEventFilter(this);
}

void LongLineFolder::fold(int from, int added)
{
    if (folding)
        return;
    QTextDocument& document = *edit.document();
    std::vector<int> longLines;
    for (QTextBlock block = document.findBlock(from); block.isValid() && block.position() <= from + added;
         block = block.next())
        if (block.length() - 1 > foldLineChars)
            longLines.push_back(block.position());
    if (longLines.empty())
        return;
    folding = true;
    QTextCursor cursor(&document);
    // One step with the change that made the line long: undo takes both back.
    cursor.joinPreviousEditBlock();
    for (auto line = longLines.rbegin(); line != longLines.rend(); ++line) {
        const QTextBlock block = document.findBlock(*line);
        int head = block.position() + foldKeepChars;
        int tail = block.position() + block.length() - 1 - foldKeepChars;
        // A character of two code units stays whole, on one side of the fold.
        if (document.characterAt(head).isLowSurrogate())
            --head;
        if (document.characterAt(tail).isLowSurrogate())
            ++tail;
        cursor.setPosition(head);
        cursor.setPosition(tail, QTextCursor::KeepAnchor);
        const QString text = unfoldedText(cursor);
        int characters = 0;
        for (const QChar c : text)
            characters += c.isLowSurrogate() ? 0 : 1;
        QTextCharFormat marker;
        marker.setObjectType(foldObjectType);
        marker.setProperty(foldTextProperty, text);
        marker.setProperty(foldCountProperty, characters);
        cursor.insertText(QString(QChar::ObjectReplacementCharacter), marker);
    }
    cursor.endEditBlock();
    folding = false;
}

void LongLineFolder::unfoldClipboard(int mode)
{
    // Only what this box has just put there: a copy or cut of a selection
    // with folds in it, which Qt makes of the marker characters alone.
    const QTextCursor selection = edit.textCursor();
    if (folding || !selection.hasSelection())
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    const auto clipboardMode = static_cast<QClipboard::Mode>(mode);
    const QMimeData* data = clipboard->mimeData(clipboardMode);
    const QString shown = selection.selection().toPlainText();
    if (!data || !shown.contains(QChar::ObjectReplacementCharacter) || data->text() != shown)
        return;
    const QString whole = unfoldedText(selection);
    if (whole == shown)
        return;
    auto* wholeData = new QMimeData;
    wholeData->setText(whole);
    folding = true;
    clipboard->setMimeData(wholeData, clipboardMode);
    folding = false;
}

bool LongLineFolder::eventFilter(QObject* watched, QEvent* event)
{
    // A press inside a selection may start dragging it, and a dragged fold
    // would travel as markup that has no room for its text: such a press
    // starts afresh instead.
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        QTextCursor cursor = edit.textCursor();
        if (press->button() == Qt::LeftButton && !(press->modifiers() & Qt::ShiftModifier) &&
            cursor.hasSelection() && cursor.selectedText().contains(QChar::ObjectReplacementCharacter)) {
            cursor.clearSelection();
            edit.setTextCursor(cursor);
        }
    }
    return QObject::eventFilter(watched, event);
}

QSizeF LongLineFolder::intrinsicSize(QTextDocument* document, int, const QTextFormat& format)
{
    const QFontMetricsF metrics(document->defaultFont());
    return {metrics.horizontalAdvance(markerLabel(format)) + 2 * markerPadding, metrics.height()};
}

void LongLineFolder::drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document, int,
                                const QTextFormat& format)
{
    const QPalette& palette = edit.palette();
    painter->save();
    painter->setFont(document->defaultFont());
    painter->setPen(palette.color(QPalette::Mid));
    painter->setBrush(palette.alternateBase());
    painter->drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    painter->setPen(palette.color(QPalette::Text));
    painter->drawText(rect, Qt::AlignCenter, markerLabel(format));
    painter->restore();
}

QString unfoldedText(const QTextDocument& document)
{
    return unfolded(document, document.toPlainText(), 0);
}

QString unfoldedText(const QTextCursor& selection)
{
    if (!selection.hasSelection())
        return {};
    const int from = selection.selectionStart();
    return unfolded(*selection.document(),
                    selection.document()->toPlainText().mid(from, selection.selectionEnd() - from), from);
}

} // namespace tessel
