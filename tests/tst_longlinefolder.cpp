// Lines too long to lay out are folded in the console's boxes, and every way
// out of a box (reading, sending, copying, undo) still has the whole text.
#include "console/demochildgui.h"
#include "console/longlinefolder.h"

#include <QClipboard>
#include <QComboBox>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

class TestLongLineFolder : public QObject
{
    Q_OBJECT

private slots:
    void wholeTextKept_data();
    void wholeTextKept();
    void consoleUsesWholeRequest();
};

void TestLongLineFolder::wholeTextKept_data()
{
    QTest::addColumn<QString>("before"); // in the box first, as typed
    QTest::addColumn<QString>("pasted"); // then pasted at the end
    QTest::addColumn<bool>("folded");

    const QString run(tessel::foldLineChars + 1, 'A');
    const QString face = QStringLiteral("😀"); // two code units
    QTest::newRow("at the limit") << "" << run.left(tessel::foldLineChars) << false;
    QTest::newRow("one long line") << "" << run << true;
    QTest::newRow("pasted into a line") << "{\"data\":\"" << run + "\"}\n{}" << true;
    QTest::newRow("among short lines, two long") << "{\n" << run + "\n" + run + "\n}" << true;
    QTest::newRow("pairs across the edges")
        << "x" << face.repeated(tessel::foldLineChars / 2 + 1) + "y" << true;
}

void TestLongLineFolder::wholeTextKept()
{
    QFETCH(QString, before);
    QFETCH(QString, pasted);
    QFETCH(bool, folded);
    QTextEdit box;
    new tessel::LongLineFolder(box);
    QTextDocument& document = *box.document();
    box.insertPlainText(before);
    QApplication::clipboard()->setText(pasted);
    box.paste();
    const QString whole = before + pasted;
    QCOMPARE(tessel::unfoldedText(document), whole);
    QCOMPARE(document.characterCount() < whole.size(), folded);
    QVERIFY(!box.toPlainText().toUcs4().contains(0xFFFD)); // no pair was split

    // From inside the first line's start to inside the last line's end.
    QTextCursor selection(&document);
    selection.setPosition(before.size() + 3);
    selection.setPosition(document.characterCount() - 3, QTextCursor::KeepAnchor);
    box.setTextCursor(selection);
    const QString selected = whole.mid(before.size() + 3, whole.size() - before.size() - 5);
    QCOMPARE(tessel::unfoldedText(selection), selected);
    box.cut();
    QCOMPARE(QApplication::clipboard()->text(), selected);
    box.undo();
    QCOMPARE(tessel::unfoldedText(document), whole);
    box.undo(); // the paste and its fold are one step
    QCOMPARE(box.toPlainText(), before);
    box.redo();
    QCOMPARE(tessel::unfoldedText(document), whole);

    // Set as a whole (the format next to a mark must not spread), then typed into.
    box.setPlainText(whole);
    box.moveCursor(QTextCursor::Start);
    QTest::keyClicks(&box, "xy");
    QCOMPARE(tessel::unfoldedText(document), "xy" + whole);
}

void TestLongLineFolder::consoleUsesWholeRequest()
{
    QByteArray sent;
    DemoChildGUI console;
    console.setRequestSender([&sent](const QByteArray&, const QByteArray& request) { sent = request; });
    console.findChild<QComboBox*>("comboBox_APIModule")->setCurrentIndex(3); // getVolume() first
    const QString whole = "{\"sn\":\"A1\",\"data\":\"" + QString(tessel::foldLineChars * 2, 'A') + "\"}";
    console.findChild<QTextEdit*>("textEdit_2")->setPlainText(whole);
    console.findChild<QPushButton*>("pushButton")->click();
    QCOMPARE(sent, whole.toUtf8());
}

QTEST_MAIN(TestLongLineFolder)
#include "tst_longlinefolder.moc"
