#include "export/csharpexportgenerator.h"
#include "export/exportdriver.h"
#include "export/exportgenerator.h"
#include "export/javaexportgenerator.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

const QByteArray javaTemplate = "interface tesselcore {\n    //insert here\n}\n";
const QByteArray csharpTemplate = "class tesselcore\n{\n        //insert here\n}\n";

QByteArray javaLine(const QByteArray& name)
{
    return "    void " + name + "(String data, CallBack callBack);\n";
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QList<QByteArray> names(const QVector<tessel::ExportEntry>& entries, bool capital)
{
    QList<QByteArray> out;
    for (const tessel::ExportEntry& entry : entries)
        out << (capital ? entry.capitalName : entry.name);
    return out;
}

QVector<tessel::ExportEntry> entriesOf(const QList<QByteArray>& list)
{
    QVector<tessel::ExportEntry> entries;
    for (const QByteArray& name : list)
        entries.append({name, ExportGenerator::capitalForm(name)});
    return entries;
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private slots:
    void collectExports_data();
    void collectExports();
    void capitalForm_data();
    void capitalForm();
    void exclusions_data();
    void exclusions();
    void lineFormats();
    void fillText_data();
    void fillText();
    void fillTemplateKeepsBytes_data();
    void fillTemplateKeepsBytes();
    void fillTemplateFailures();
    void writeReplacesWhole();
    void writeFailureLeavesOldFile();
    void generatorPaths();
    void runExportWritesBoth();
    void runExportFailures_data();
    void runExportFailures();
    void runExportOddBytes_data();
    void runExportOddBytes();

private:
    QTemporaryDir dir;
};

void TestExport::collectExports_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QList<QByteArray>>("names");
    QTest::addColumn<QList<QByteArray>>("capitals");

    QTest::newRow("in header order, excluded kept")
        << QByteArray(
               "TESSEL_EXPORT void tsA(int);\nTESSEL_EXPORT void tsInit(x);\nTESSEL_EXPORT void tsB();")
        << QList<QByteArray>{"tsA", "tsInit", "tsB"} << QList<QByteArray>{"TsA", "TsInit", "TsB"};
    QTest::newRow("duplicates stay") << QByteArray("TESSEL_EXPORT void tsA();TESSEL_EXPORT void tsA();")
                                     << QList<QByteArray>{"tsA", "tsA"} << QList<QByteArray>{"TsA", "TsA"};
    QTest::newRow("no ( after a marker: nothing from it on")
        << QByteArray("TESSEL_EXPORT void tsA();\nTESSEL_EXPORT void tsB;\nTESSEL_EXPORT void tsC;\n")
        << QList<QByteArray>{"tsA"} << QList<QByteArray>{"TsA"};
    QTest::newRow("name runs to the next (, across markers")
        << QByteArray("TESSEL_EXPORT void tsB;\nTESSEL_EXPORT void tsC(int);")
        << QList<QByteArray>{"tsB;\nTESSEL_EXPORT void tsC", "tsC"}
        << QList<QByteArray>{"TsB;\nTESSEL_EXPORT void tsC", "TsC"};
    QTest::newRow("blanks kept") << QByteArray("TESSEL_EXPORT void  ts Odd (int);")
                                 << QList<QByteArray>{" ts Odd "} << QList<QByteArray>{" ts Odd "};
    QTest::newRow("empty name") << QByteArray("TESSEL_EXPORT void (int);") << QList<QByteArray>{""}
                                << QList<QByteArray>{""};
    QTest::newRow("other shapes ignored")
        << QByteArray("TESSEL_EXPORT int tsV(void);\nTESSEL_EXPORT  void tsW();\ntessel_export void tsX();")
        << QList<QByteArray>{} << QList<QByteArray>{};
    QTest::newRow("NUL inside") << QByteArray("TESSEL_EXPORT void ts\0A(", 25)
                                << QList<QByteArray>{QByteArray("ts\0A", 4)}
                                << QList<QByteArray>{QByteArray("Ts\0A", 4)};
    QTest::newRow("empty header") << QByteArray() << QList<QByteArray>{} << QList<QByteArray>{};
}

void TestExport::collectExports()
{
    QFETCH(QByteArray, header);
    QFETCH(QList<QByteArray>, names);
    QFETCH(QList<QByteArray>, capitals);
    const QVector<tessel::ExportEntry> entries = ExportGenerator::collectExports(header);
    QCOMPARE(::names(entries, false), names);
    QCOMPARE(::names(entries, true), capitals);
}

void TestExport::capitalForm_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("capital");
    QTest::newRow("ts prefix") << QByteArray("tsLoginAsync") << QByteArray("TsLoginAsync");
    QTest::newRow("a") << QByteArray("a") << QByteArray("A");
    QTest::newRow("z") << QByteArray("z") << QByteArray("Z");
    QTest::newRow("already upper") << QByteArray("TsX") << QByteArray("TsX");
    QTest::newRow("underscore") << QByteArray("_ts") << QByteArray("_ts");
    QTest::newRow("digit") << QByteArray("9ts") << QByteArray("9ts");
    QTest::newRow("blank") << QByteArray(" ts") << QByteArray(" ts");
    QTest::newRow("backquote") << QByteArray("`a") << QByteArray("`a");
    QTest::newRow("brace") << QByteArray("{a") << QByteArray("{a");
    QTest::newRow("non-ASCII") << QByteArray("\xc3\xa9t") << QByteArray("\xc3\xa9t");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestExport::capitalForm()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, capital);
    QCOMPARE(ExportGenerator::capitalForm(name), capital);
}

void TestExport::exclusions_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("excluded");
    QTest::newRow("tsInit") << QByteArray("tsInit") << true;
    QTest::newRow("tsSetPlatform") << QByteArray("tsSetPlatform") << true;
    QTest::newRow("tsSearchTerminalAsync") << QByteArray("tsSearchTerminalAsync") << true;
    QTest::newRow("exportFuncAPIAsync") << QByteArray("exportFuncAPIAsync") << true;
    QTest::newRow("begins with one") << QByteArray("tsInitLogger") << true;
    QTest::newRow("contains one") << QByteArray("xtsSearchTerminalAsyncByIp") << true;
    QTest::newRow("other case") << QByteArray("TsInit") << false;
    QTest::newRow("plain") << QByteArray("tsLoginAsync") << false;
    QTest::newRow("part of one") << QByteArray("tsIni") << false;
}

void TestExport::exclusions()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, excluded);
    QCOMPARE(ExportGenerator::isExcluded(name), excluded);
}

void TestExport::lineFormats()
{
    const CSharpExportGenerator csharp("h", "o");
    const JavaExportGenerator java("h", "o");
    const tessel::ExportEntry login{"tsLoginAsync", "TsLoginAsync"};

    const QByteArray line1 =
        "        [DllImport(\"tesselcore.dll\", EntryPoint = \"tsLoginAsync\", CharSet = "
        "CharSet.Unicode, CallingConvention = CallingConvention.Cdecl)]\n";
    const QByteArray line2 = "        public static extern void TsLoginAsync(byte[] data, "
                             "exportTesselCallback resultCallback);\n\n";
    QCOMPARE(csharp.formatExport(login), line1 + line2);
    QCOMPARE(line1.size(), 129 - 2 + 12);
    QCOMPARE(line2.size(), 89 - 2 + 12);
    QCOMPARE(java.formatExport(login),
             QByteArray("    void tsLoginAsync(String data, CallBack callBack);\n"));
    QCOMPARE(java.formatExport(login).size(), 45 - 2 + 12);

    // Names go in literally: blanks, "%1" and "%2" included.
    const tessel::ExportEntry odd{" ts %1 %2", " ts %1 %2"};
    QCOMPARE(java.formatExport(odd), javaLine(" ts %1 %2"));
    QVERIFY(csharp.formatExport(odd).contains("EntryPoint = \" ts %1 %2\","));
    QVERIFY(csharp.formatExport(odd).contains("extern void  ts %1 %2(byte[]"));
}

void TestExport::fillText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<QByteArray>>("entries");
    QTest::addColumn<QByteArray>("filled");

    const QByteArray a = javaLine("tsA"), b = javaLine("tsB");
    QTest::newRow("reverse order, four blanks after the block")
        << javaTemplate << QList<QByteArray>{"tsA", "tsInit", "tsB"}
        << "interface tesselcore {\n" + b + a + "    \n}\n";
    QTest::newRow("tab stops the walk back")
        << QByteArray("x\n\t  //insert here\n") << QList<QByteArray>{"tsA"} << "x\n\t" + a + "  \n";
    QTest::newRow("marker at the very start") << QByteArray("//insert here") << QList<QByteArray>{"tsA"} << a;
    QTest::newRow("rest of the line stays")
        << QByteArray("  //insert here tail\n") << QList<QByteArray>{"tsA"} << a + "   tail\n";
    QTest::newRow("only the first marker") << QByteArray("//insert here\n//insert here\n")
                                           << QList<QByteArray>{"tsA"} << a + "\n//insert here\n";
    QTest::newRow("nothing to insert")
        << javaTemplate << QList<QByteArray>{"tsInit"} << QByteArray("interface tesselcore {\n    \n}\n");
    QTest::newRow("no marker") << QByteArray("interface x {}\n") << QList<QByteArray>{"tsA"} << QByteArray();
}

void TestExport::fillText()
{
    QFETCH(QByteArray, text);
    QFETCH(QList<QByteArray>, entries);
    QFETCH(QByteArray, filled);
    const JavaExportGenerator java("h", "o");
    const std::optional<QByteArray> result = java.fillText(text, entriesOf(entries));
    QCOMPARE(result.has_value(), !filled.isEmpty());
    if (result)
        QCOMPARE(*result, filled);
}

void TestExport::fillTemplateKeepsBytes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("filled");
    const QByteArray a = javaLine("tsA");
    QTest::newRow("CRLF becomes LF, a lone CR stays")
        << QByteArray("a\r\nb\r\n    //insert here\r\nc\rd\r\n") << "a\nb\n" + a + "    \nc\rd\n";
    QTest::newRow("NUL kept") << QByteArray("a\0b\n//insert here\nc\0d", 21)
                              << QByteArray("a\0b\n", 4) + a + QByteArray("\nc\0d", 4);
    QTest::newRow("UTF-8 kept") << QByteArray("// \xe7\xbb\x88\xe7\xab\xaf \xc3\xa9\n//insert here\n")
                                << "// \xe7\xbb\x88\xe7\xab\xaf \xc3\xa9\n" + a + "\n";
    QTest::newRow("invalid UTF-8 kept")
        << QByteArray("\xff\xfe\x80\n//insert here\n") << "\xff\xfe\x80\n" + a + "\n";
}

void TestExport::fillTemplateKeepsBytes()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, filled);
    const QString path = dir.filePath("keeps/tesselcore.java");
    writeBytes(path, text);
    const JavaExportGenerator java("h", path.toUtf8());
    QString error;
    const std::optional<QByteArray> result = java.fillTemplate(entriesOf({"tsA"}), &error);
    QVERIFY2(result, qPrintable(error));
    QCOMPARE(*result, filled);
    QVERIFY(writeTextFile(path.toUtf8(), *result));
    QCOMPARE(readBytes(path), filled);
}

void TestExport::fillTemplateFailures()
{
    QString error;
    const JavaExportGenerator missing("h", dir.filePath("nowhere/tesselcore.java").toUtf8());
    QVERIFY(!missing.fillTemplate(entriesOf({"tsA"}), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!readTextFile(dir.filePath("nowhere/tesselcore.java").toUtf8()));

    error.clear();
    QVERIFY(QDir(dir.path()).mkpath("adir"));
    const JavaExportGenerator directory("h", dir.filePath("adir").toUtf8());
    QVERIFY(!directory.fillTemplate(entriesOf({"tsA"}), &error));
    QVERIFY(!error.isEmpty());

    error.clear();
    writeBytes(dir.filePath("nomarker.java"), "interface x {}\n");
    const JavaExportGenerator noMarker("h", dir.filePath("nomarker.java").toUtf8());
    QVERIFY(!noMarker.fillTemplate(entriesOf({"tsA"}), &error));
    QVERIFY(error.contains("//insert here"));

    writeBytes(dir.filePath("empty.java"), "");
    QCOMPARE(readTextFile(dir.filePath("empty.java").toUtf8()), std::optional<QByteArray>(QByteArray()));
}

void TestExport::writeReplacesWhole()
{
    const QByteArray path = dir.filePath("replace.txt").toUtf8();
    writeBytes(path, QByteArray(1000, 'x'));
    QVERIFY(writeTextFile(path, QByteArray("a\0b", 3)));
    QCOMPARE(readBytes(path), QByteArray("a\0b", 3));
    QVERIFY(writeTextFile(dir.filePath("created.txt").toUtf8(), "new"));
    QCOMPARE(readBytes(dir.filePath("created.txt")), QByteArray("new"));
}

void TestExport::writeFailureLeavesOldFile()
{
    QString error;
    QVERIFY(QDir(dir.path()).mkpath("target-is-dir"));
    QVERIFY(!writeTextFile(dir.filePath("target-is-dir").toUtf8(), "text", &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(dir.filePath("target-is-dir")).isDir());

    if (geteuid() == 0)
        QSKIP("permissions do not stop root from writing");
    const QString locked = dir.filePath("locked");
    writeBytes(locked + "/old.txt", "old content\n");
    QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    error.clear();
    const bool written = writeTextFile((locked + "/old.txt").toUtf8(), "new", &error);
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QCOMPARE(readBytes(locked + "/old.txt"), QByteArray("old content\n"));
}

void TestExport::generatorPaths()
{
    const auto generators = tessel::makeGenerators("/r/");
    QCOMPARE(generators.size(), 2);
    QVERIFY(dynamic_cast<JavaExportGenerator*>(generators[0].get()));
    QCOMPARE(generators[0]->headerPath, QByteArray("/r//../src/libs/tesselcore/exporttesselcoreasync.h"));
    QCOMPARE(generators[0]->outputPath, QByteArray("/r//demo/java/src/tesselcore.java"));
    QVERIFY(dynamic_cast<CSharpExportGenerator*>(generators[1].get()));
    QCOMPARE(generators[1]->headerPath,
             QByteArray("/r//../src/libs/tesselcore/exporttesselcoreasyncunicode.h"));
    QCOMPARE(generators[1]->outputPath, QByteArray("/r//demo/c#/tesselcoresample/tesselcore.cs"));
}

namespace {

// A source tree below `base`: root "base/root", headers in "base/src/...".
void makeTree(const QString& base)
{
    QDir(base).removeRecursively();
    QVERIFY(QDir().mkpath(base + "/root"));
    writeBytes(
        base + "/src/libs/tesselcore/exporttesselcoreasync.h",
        "TESSEL_EXPORT void tsA(const char*);\nTESSEL_EXPORT void tsInit();\nTESSEL_EXPORT void tsB();\n");
    writeBytes(base + "/src/libs/tesselcore/exporttesselcoreasyncunicode.h", "TESSEL_EXPORT void tsC();\n");
    writeBytes(base + "/root/demo/java/src/tesselcore.java", javaTemplate);
    writeBytes(base + "/root/demo/c#/tesselcoresample/tesselcore.cs", csharpTemplate);
}

const QString javaOut = "/root/demo/java/src/tesselcore.java";
const QString csharpOut = "/root/demo/c#/tesselcoresample/tesselcore.cs";

} // namespace

void TestExport::runExportWritesBoth()
{
    const QString base = dir.filePath("tree");
    makeTree(base);
    // A trailing slash doubles the slashes, which the file system accepts.
    QVERIFY(runExport((base + "/root/").toUtf8()));
    QCOMPARE(readBytes(base + javaOut),
             "interface tesselcore {\n" + javaLine("tsB") + javaLine("tsA") + "    \n}\n");
    QCOMPARE(readBytes(base + csharpOut), "class tesselcore\n{\n" +
                                              CSharpExportGenerator("", "").formatExport({"tsC", "TsC"}) +
                                              "        \n}\n");

    // The markers are used up: a second run changes nothing and says so.
    const QByteArray java = readBytes(base + javaOut);
    QVERIFY(!runExport((base + "/root").toUtf8()));
    QCOMPARE(readBytes(base + javaOut), java);
}

void TestExport::runExportFailures_data()
{
    QTest::addColumn<QString>("remove");
    QTest::addColumn<bool>("javaWritten");
    QTest::addColumn<bool>("csharpWritten");
    QTest::newRow("Java header missing") << "/src/libs/tesselcore/exporttesselcoreasync.h" << false << true;
    QTest::newRow("C# header missing")
        << "/src/libs/tesselcore/exporttesselcoreasyncunicode.h" << true << false;
    QTest::newRow("Java template missing") << javaOut << false << true;
    QTest::newRow("C# template without marker") << "nomarker:" + csharpOut << true << false;
}

void TestExport::runExportFailures()
{
    QFETCH(QString, remove);
    QFETCH(bool, javaWritten);
    QFETCH(bool, csharpWritten);
    const QString base = dir.filePath("failing");
    makeTree(base);
    if (remove.startsWith("nomarker:"))
        writeBytes(base + remove.mid(9), "class tesselcore {}\n");
    else
        QVERIFY(QFile::remove(base + remove));
    const QByteArray javaBefore = readBytes(base + javaOut);
    const QByteArray csharpBefore = readBytes(base + csharpOut);

    QVERIFY(!runExport((base + "/root").toUtf8()));
    QCOMPARE(readBytes(base + javaOut) != javaBefore, javaWritten);
    QCOMPARE(readBytes(base + csharpOut) != csharpBefore, csharpWritten);
    if (!javaWritten && QFile::exists(base + javaOut))
        QVERIFY(readBytes(base + javaOut).contains("//insert here"));
    if (javaWritten)
        QVERIFY(!readBytes(base + javaOut).contains("//insert here"));
}

void TestExport::runExportOddBytes_data()
{
    // The Java header and template as written on disk; the template as it
    // must read afterwards, or empty when it must be left as it was.
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("javaTemplate");
    QTest::addColumn<QByteArray>("filled");
    const QByteArray a = javaLine("tsA"), b = javaLine("tsB");
    QTest::newRow("no line end after the last declaration or the marker")
        << QByteArray("TESSEL_EXPORT void tsA(int);\r\nTESSEL_EXPORT void tsB(int)")
        << QByteArray("x {\n  //insert here") << "x {\n" + b + a + "  ";
    QTest::newRow("NUL bytes in the header")
        << QByteArray("TESSEL_EXPORT void tsA(\0);\0\nTESSEL_EXPORT void ts\0B(", 52)
        << QByteArray("//insert here\n") << javaLine(QByteArray("ts\0B", 4)) + a + "\n";
    QTest::newRow("NUL bytes in the template")
        << QByteArray("TESSEL_EXPORT void tsA();") << QByteArray("\0x\0\n//insert here\0\n", 19)
        << QByteArray("\0x\0\n", 4) + a + QByteArray("\0\n", 2);
    QTest::newRow("NUL inside the marker: no marker")
        << QByteArray("TESSEL_EXPORT void tsA();") << QByteArray("//insert\0here\n", 14) << QByteArray();
    QTest::newRow("empty template: no marker")
        << QByteArray("TESSEL_EXPORT void tsA();") << QByteArray() << QByteArray();
}

void TestExport::runExportOddBytes()
{
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, javaTemplate);
    QFETCH(QByteArray, filled);
    const QString base = dir.filePath("odd");
    makeTree(base);
    writeBytes(base + "/src/libs/tesselcore/exporttesselcoreasync.h", header);
    writeBytes(base + javaOut, javaTemplate);
    // The C# side stays ordinary: it is written whatever the Java side does.
    QCOMPARE(runExport((base + "/root").toUtf8()), !filled.isEmpty());
    QCOMPARE(readBytes(base + javaOut), filled.isEmpty() ? javaTemplate : filled);
    QVERIFY(!readBytes(base + csharpOut).contains("//insert here"));
}

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"
