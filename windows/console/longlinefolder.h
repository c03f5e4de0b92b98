#pragma once

// Qt lays a paragraph out whole, at about a quarter of a microsecond a
// character, again after every change to it, to the frame or to the scroll
// bars. A request of 2 MB on one line froze the console for seconds at each
// step. A text box with a folder keeps such a line folded: its start and end
// stay text, the middle is one marker character that holds the folded text
// and is drawn as "⋯ 已折叠 N 个字符 ⋯". Nothing is lost: unfoldedText() gives
// the whole text back, and whatever the box puts on the clipboard carries it.

#include <QObject>
#include <QTextObjectInterface>

class QTextCursor;
class QTextDocument;
class QTextEdit;

namespace tessel {

// Lines longer than this are folded; this many characters stay at each end.
constexpr int foldLineChars = 100000;
constexpr int foldKeepChars = 4000;

// Folds the long lines of `edit` as they come, by any way (typing, pasting,
// dropping, text set by code, undo). Install it before anything else listens
// to the document's changes, so that they see the folded text.
class LongLineFolder : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    explicit LongLineFolder(QTextEdit& edit);

    QSizeF intrinsicSize(QTextDocument* document, int position, const QTextFormat& format) override;
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document, int position,
                    const QTextFormat& format) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fold(int from, int added);
    void unfoldClipboard(int mode);

    QTextEdit& edit;
    bool folding = false;
};

// The text of `document`, or of the selection of `cursor`, with every fold
// opened: what toPlainText() would give had nothing been folded.
QString unfoldedText(const QTextDocument& document);
QString unfoldedText(const QTextCursor& selection);

} // namespace tessel
