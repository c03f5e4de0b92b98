// The JUnit report's text escaping: every character XML 1.0 does not allow,
// and every byte that is not UTF-8, becomes U+FFFD; the rest is kept.
#include "replay/junitreport.h"

#include <QXmlStreamReader>
#include <QtTest>

class TestJUnitReport : public QObject
{
    Q_OBJECT

private slots:
    void xmlEscaped_data();
    void xmlEscaped();
};

void TestJUnitReport::xmlEscaped_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("escaped");
    const QByteArray mark = "\xEF\xBF\xBD";
    QTest::newRow("specials") << QByteArray("<a b=\"c\">&'")
                              << QByteArray("&lt;a b=&quot;c&quot;&gt;&amp;&apos;");
    QTest::newRow("U+FFFE and U+FFFF")
        << QByteArray("a\xEF\xBF\xBE b\xEF\xBF\xBF") << "a" + mark + " b" + mark;
    QTest::newRow("controls, tab and line ends kept")
        << QByteArray("\x01\t\r\n\x1F") << mark + "\t\r\n" + mark;
    // A surrogate, a cut sequence, an overlong form, a point beyond U+10FFFF.
    QTest::newRow("not UTF-8") << QByteArray("\xED\xA0\x80|\xE4\xB8|\xC0\xAF|\xF4\x90\x80\x80")
                               << mark + "|" + mark + mark + "|" + mark + mark + "|" + mark + mark + mark +
                                      mark;
    QTest::newRow("kept") << QByteArray("中 \xF0\x9F\x98\x80 \xEF\xBF\xBD \xEF\xBF\xBC")
                          << QByteArray("中 \xF0\x9F\x98\x80 \xEF\xBF\xBD \xEF\xBF\xBC");
}

void TestJUnitReport::xmlEscaped()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, escaped);
    const std::string out = tessel::xmlEscaped(text.toStdString());
    QCOMPARE(QByteArray::fromStdString(out), escaped);
    QXmlStreamReader xml("<a v=\"" + escaped + "\">" + escaped + "</a>");
    while (!xml.atEnd())
        xml.readNext();
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
}

QTEST_GUILESS_MAIN(TestJUnitReport)
#include "tst_junitreport.moc"
