// The request as C# and Java code: string literals and the call itself.
#include "export/csharpexportgenerator.h"
#include "export/javaexportgenerator.h"
#include "operations/codesnippet.h"

#include <QtTest>

class TestCodeSnippet : public QObject
{
    Q_OBJECT

private slots:
    void literals_data();
    void literals();
    void snippets_data();
    void snippets();
};

void TestCodeSnippet::literals_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("literal"); // the same in both languages

    QTest::newRow("plain") << QByteArray("{}") << QByteArray("\"{}\"");
    QTest::newRow("quotes") << QByteArray("{\"sn\":\"A1\"}") << QByteArray("\"{\\\"sn\\\":\\\"A1\\\"}\"");
    QTest::newRow("backslashes") << QByteArray("\"a\\\\b\\u4e2d\"")
                                 << QByteArray("\"\\\"a\\\\\\\\b\\\\u4e2d\\\"\"");
    QTest::newRow("line ends and tabs")
        << QByteArray("{\r\n\t\"a\":1\n}") << QByteArray("\"{\\r\\n\\t\\\"a\\\":1\\n}\"");
    QTest::newRow("other controls") << QByteArray("a\x01\x1f\x7f")
                                    << QByteArray("\"a\\u0001\\u001F\\u007F\"");
    QTest::newRow("NUL, then more") << QByteArray("{}\0]", 4) << QByteArray("\"{}\\u0000]\"");
    QTest::newRow("non-ASCII kept") << QByteArray("{\"名称\":\"屏 é\"}")
                                    << QByteArray("\"{\\\"名称\\\":\\\"屏 é\\\"}\"");
    QTest::newRow("line separators") << QByteArray("a\u2028b\u2029c\u0085d")
                                     << QByteArray("\"a\\u2028b\\u2029c\\u0085d\"");
}

void TestCodeSnippet::literals()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, literal);
    QCOMPARE(QByteArray::fromStdString(tessel::stringLiteral(text.toStdString())), literal);
    // Both snippets pass the request as that literal.
    QVERIFY(QByteArray::fromStdString(*tessel::csharpSnippet("getVolume()", text.toStdString()))
                .contains(literal));
    QVERIFY(
        QByteArray::fromStdString(*tessel::javaSnippet("getVolume()", text.toStdString())).contains(literal));
}

void TestCodeSnippet::snippets_data()
{
    QTest::addColumn<QByteArray>("apiName");
    QTest::addColumn<QByteArray>("operation"); // empty: no SDK operation

    QTest::newRow("request operation") << QByteArray("getVolume()") << QByteArray("tsGetVolumeAsync");
    QTest::newRow("name differs from operation")
        << QByteArray("setPageParam()(RSS)") << QByteArray("tsSetPageProgramAsync");
    QTest::newRow("callback-only operation") << QByteArray("ping()") << QByteArray("tsPingAsync");
    QTest::newRow("placeholder") << QByteArray("待开发") << QByteArray();
    QTest::newRow("unknown") << QByteArray("getvolume()") << QByteArray();
}

void TestCodeSnippet::snippets()
{
    QFETCH(QByteArray, apiName);
    QFETCH(QByteArray, operation);
    const std::string request = "{\"sn\":\"A1\"}";
    const auto csharp = tessel::csharpSnippet(apiName.toStdString(), request);
    const auto java = tessel::javaSnippet(apiName.toStdString(), request);
    QCOMPARE(csharp.has_value(), !operation.isEmpty());
    QCOMPARE(java.has_value(), !operation.isEmpty());
    if (operation.isEmpty())
        return;
    const QByteArray cs = QByteArray::fromStdString(*csharp);
    const QByteArray jv = QByteArray::fromStdString(*java);

    // The method the export generates for this operation, called as declared.
    const tessel::ExportEntry entry{operation, ExportGenerator::capitalForm(operation)};
    const QByteArray declaredCs = CSharpExportGenerator("", "").formatExport(entry);
    QVERIFY(declaredCs.contains("void " + entry.capitalName + "(byte[] data, exportTesselCallback"));
    QVERIFY2(cs.contains("tesselcore." + entry.capitalName + "(request, callback);"), cs.constData());
    QVERIFY(cs.contains("byte[] request = Encoding.UTF8.GetBytes(\"{\\\"sn\\\":\\\"A1\\\"}\");"));
    QVERIFY(cs.contains("exportTesselCallback callback = (code, reply) =>"));

    const QByteArray declaredJava = JavaExportGenerator("", "").formatExport(entry);
    QVERIFY(declaredJava.contains("void " + operation + "(String data, CallBack callBack);"));
    QVERIFY2(jv.contains("tesselcore.INSTANCE." + operation + "(request, callBack);"), jv.constData());
    QVERIFY(jv.contains("String request = \"{\\\"sn\\\":\\\"A1\\\"}\";"));
    QVERIFY(jv.contains("tesselcore.CallBack callBack = (code, reply) ->"));
}

QTEST_APPLESS_MAIN(TestCodeSnippet)
#include "tst_codesnippet.moc"
