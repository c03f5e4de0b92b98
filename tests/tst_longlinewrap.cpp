// Text boxes wrap a line anywhere once it is too long to wrap at word
// boundaries in reasonable time, and go back when no such line is left.
#include "historywindow/longlinewrap.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextEdit>
#include <QtTest>

class TestLongLineWrap : public QObject
{
    Q_OBJECT

private slots:
    void modeFollowsLongestLine_data();
    void modeFollowsLongestLine();
};

void TestLongLineWrap::modeFollowsLongestLine_data()
{
    QTest::addColumn<QString>("first"); // set as the box's text
    QTest::addColumn<QString>("typed"); // then typed at the end
    QTest::addColumn<int>("cutTo");     // then the text cut to this many characters (-1: not cut)
    QTest::addColumn<bool>("anywhere"); // after the first text
    QTest::addColumn<bool>("anywhereAtEnd");

    const QString longRun(tessel::longLineChars + 1, 'A');
    const QString justShort(tessel::longLineChars - 1, 'A'); // with its line end, at the limit
    QTest::newRow("short lines") << "{\"sn\":\"A1\"}\n{}"
                                 << "x" << -1 << false << false;
    QTest::newRow("at the limit") << justShort << "" << -1 << false << false;
    QTest::newRow("long line") << longRun << "" << -1 << true << true;
    QTest::newRow("typed past the limit") << justShort << "AAA" << -1 << false << true;
    QTest::newRow("long line among short ones") << "{\n" + longRun + "\n}"
                                                << "x" << -1 << true << true;
    QTest::newRow("long line cut short") << longRun << "" << 100 << true << false;
    QTest::newRow("line end splits a long line") << longRun << "" << -2 << true << false;
}

void TestLongLineWrap::modeFollowsLongestLine()
{
    QFETCH(QString, first);
    QFETCH(QString, typed);
    QFETCH(int, cutTo);
    QFETCH(bool, anywhere);
    QFETCH(bool, anywhereAtEnd);
    QTextEdit rich;
    QPlainTextEdit plain;
    for (QTextDocument* document : {rich.document(), plain.document()}) {
        tessel::wrapLongLinesAnywhere(*document);
        const auto mode = [document] {
            return document->defaultTextOption().wrapMode();
        };
        const QTextOption::WrapMode usual = mode();
        QCOMPARE(usual, QTextOption::WrapAtWordBoundaryOrAnywhere);

        document->setPlainText(first);
        QCOMPARE(mode(), anywhere ? QTextOption::WrapAnywhere : usual);
        QTextCursor cursor(document);
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(typed);
        if (cutTo >= 0) {
            cursor.setPosition(cutTo);
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        } else if (cutTo == -2) { // a line end in the middle, as Return types it
            cursor.setPosition(document->characterCount() / 2);
            cursor.insertBlock();
        }
        QCOMPARE(mode(), anywhereAtEnd ? QTextOption::WrapAnywhere : usual);
        QCOMPARE(document->toPlainText().size(),
                 cutTo >= 0 ? cutTo : first.size() + typed.size() + (cutTo == -2));
    }
}

QTEST_MAIN(TestLongLineWrap)
#include "tst_longlinewrap.moc"
