// Checklist lines: placeholders filled from a terminal's variables, what an
// expectation asks of a reply, and the values captured from it.
#include "replay/expectation.h"
#include "replay/placeholders.h"

#include <QtTest>

#include <map>

namespace {

// A terminal's variables as a targets file and the captures would give them.
std::optional<std::string> variable(std::string_view name)
{
    static const std::map<std::string, std::string, std::less<>> values{
        {"sn", "B1"},     {"width", "1920"},        {"on", "true"},
        {"none", "null"}, {"quoted", "a\"b\\c\nd"}, {"ver", "v2.1"}};
    const auto found = values.find(name);
    return found == values.end() ? std::nullopt : std::optional<std::string>(found->second);
}

QString orMissing(const std::optional<std::string>& filled, const std::string& missing)
{
    return filled ? QString::fromStdString(*filled) : "missing " + QString::fromStdString(missing);
}

} // namespace

class TestPlaceholders : public QObject
{
    Q_OBJECT

private slots:
    void names_data();
    void names();
    void fillRequest_data();
    void fillRequest();
    void fillExpectation_data();
    void fillExpectation();
    void expectation_data();
    void expectation();
    void valueAtPath_data();
    void valueAtPath();
};

void TestPlaceholders::names_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("outcome"); // the names, or the fault's column and words
    QTest::newRow("none") << R"({"sn":"B1"})"
                          << "";
    QTest::newRow("each once, in order") << R"({"a":"{{ver}}","b":{{ width }},"c":"{{ver}}-{{sn}}"})"
                                         << "ver,width,sn";
    QTest::newRow("left open") << R"({"a":"{{ver"})"
                               << "7: placeholder \"{{ver\" is left open";
    QTest::newRow("left open, braces later") << R"({"a":"x{{ver","b":{"c":1}}})"
                                             << "8: placeholder \"{{ver\" is left open";
    QTest::newRow("column in characters") << "{\"音量\":\"{{1x}}\"}"
                                          << "8: \"{{1x}}\" holds no variable name";
    QTest::newRow("blank name") << "{{ }}"
                                << "1: \"{{ }}\" holds no variable name";
    QTest::newRow("two names") << "{{a b}}"
                               << "1: \"{{a b}}\" holds no variable name";
}

void TestPlaceholders::names()
{
    QFETCH(QString, text);
    QFETCH(QString, outcome);
    int column = 0;
    std::string fault;
    const auto names = tessel::placeholderNames(text.toStdString(), column, fault);
    QStringList got;
    for (const std::string& name : names.value_or(std::vector<std::string>{}))
        got << QString::fromStdString(name);
    const QString said = names ? got.join(',') : QString("%1: %2").arg(column).arg(fault.c_str());
    QVERIFY2(names ? said == outcome : said.startsWith(outcome), qPrintable(said));
}

void TestPlaceholders::fillRequest_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("filled");
    QTest::newRow("in a string and outside") << R"({"sn":"{{sn}}","w":{{width}},"on":{{ on }}})"
                                             << R"({"sn":"B1","w":1920,"on":true})";
    QTest::newRow("escaped inside a string") << R"({"t":"<{{quoted}}>"})"
                                             << R"({"t":"<a\"b\\c\nd>"})";
    QTest::newRow("raw outside") << R"([{{quoted}}])"
                                 << "[a\"b\\c\nd]";
    QTest::newRow("after an escaped quote") << R"({"t":"\"{{quoted}}","u":{{width}}})"
                                            << R"({"t":"\"a\"b\\c\nd","u":1920})";
    QTest::newRow("missing") << R"({"a":{{width}},"b":"{{nobody}}"})"
                             << "missing nobody";
}

void TestPlaceholders::fillRequest()
{
    QFETCH(QString, request);
    std::string missing;
    QTEST(orMissing(tessel::fillRequest(request.toStdString(), variable, missing), missing), "filled");
}

void TestPlaceholders::fillExpectation_data()
{
    QTest::addColumn<QString>("expect");
    QTest::addColumn<QString>("filled");
    QTest::newRow("a number") << R"({"width":"{{width}}"})"
                              << R"({"width":1920})";
    QTest::newRow("true, null, a text") << R"(["{{on}}","{{none}}","{{ ver }}"])"
                                        << R"([true,null,"v2.1"])";
    QTest::newRow("inside a longer text, and a name") << R"({"{{sn}}.w":"w={{width}}","q":"{{quoted}}"})"
                                                      << R"({"B1.w":"w=1920","q":"a\"b\\c\nd"})";
    QTest::newRow("missing") << R"({"a":{"b":["{{nobody}}"]}})"
                             << "missing nobody";
}

void TestPlaceholders::fillExpectation()
{
    QFETCH(QString, expect);
    std::string missing;
    QTEST(orMissing(tessel::fillExpectation(expect.toStdString(), variable, missing), missing), "filled");
}

void TestPlaceholders::expectation_data()
{
    QTest::addColumn<QString>("expect");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("gotCode");
    QTest::addColumn<QString>("reply"); // null: no result came
    QTest::addColumn<QString>("ignore");
    QTest::addColumn<QString>("differences"); // "path: expected -> current", one per line
    const auto row = [](const char* tag, const char* expect, int code, int gotCode, const char* reply,
                        const char* ignore, const char* differences) {
        QTest::newRow(tag) << QString(expect) << code << gotCode << (reply ? QString(reply) : QString())
                           << QString(ignore) << QString(differences);
    };
    row("holds, other members ignored", R"({"w":1920,"s":"a"})", 0, 0, R"({"s":"a","w":1920.0,"x":1})", "",
        "");
    row("absent and different", R"({"w":1920,"s":"a"})", 0, 0, R"({"s":"b"})", "",
        "w: 1920 -> (无)\ns: \"a\" -> \"b\"");
    row("nested and by position", R"({"v":{"r":[{"n":"x"},{"n":"y"},3]}})", 0, 0,
        R"({"v":{"r":[{"n":"x","k":0},{"n":"z"}]}})", "", "v.r[1].n: \"y\" -> \"z\"\nv.r[2]: 3 -> (无)");
    row("kinds differ", R"({"v":{"r":1}})", 0, 0, R"({"v":[1]})", "", "v: {\"r\":1} -> [1]");
    row("code differs, then the reply", R"({"a":1})", 0, 5, "x", "", "code: 0 -> 5\n$: {\"a\":1} -> x");
    row("code expected", R"({"a":1})", 1003, 0, R"({"a":1})", "", "code: 1003 -> 0");
    row("no result", R"({"a":1})", 0, 0, nullptr, "", "results: 1 -> 0");
    row("reply not JSON", R"({"a":1})", 0, 0, "不是", "", "$: {\"a\":1} -> 不是");
    row("ignored by name and path", R"({"t":1,"v":{"t":2,"u":3},"w":4})", 0, 0, R"({"v":{}})", "t,w",
        "v.u: 3 -> (无)");
}

void TestPlaceholders::expectation()
{
    QFETCH(QString, expect);
    QFETCH(int, code);
    QFETCH(int, gotCode);
    QFETCH(QString, reply);
    QFETCH(QString, ignore);
    std::vector<tessel::ResultRecord> results;
    if (!reply.isNull())
        results.push_back({gotCode, reply.toStdString(), 0});
    const tessel::IgnoreRule rule(tessel::splitIgnoreList(ignore.toStdString()));
    QStringList lines;
    for (const tessel::Difference& d :
         tessel::expectationDifferences(expect.toStdString(), code, results, rule))
        lines << QString::fromStdString(d.path + ": " + d.recorded + " -> " + d.current);
    QTEST(lines.join('\n'), "differences");
}

void TestPlaceholders::valueAtPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("value"); // null: nothing; "bad": not a dotted path
    // Of the reply {"ver":"v2","screen":{"w":1920,"list":[{"name":"a"},{"name":"b"}]},"0":true}
    QTest::newRow("a text") << "ver"
                            << "v2";
    QTest::newRow("a number, nested") << "screen.w"
                                      << "1920";
    QTest::newRow("into a list") << "screen.list.1.name"
                                 << "b";
    QTest::newRow("an object") << "screen.list.0"
                               << R"({"name":"a"})";
    QTest::newRow("digits as a member") << "0"
                                        << "true";
    QTest::newRow("absent") << "screen.h" << QString();
    QTest::newRow("past the list") << "screen.list.2.name" << QString();
    QTest::newRow("into a text") << "ver.x" << QString();
    for (const char* bad : {"", ".ver", "ver.", "screen..w", "$.ver", "list[1]", "a b"})
        QTest::newRow(qPrintable(QString("bad \"%1\"").arg(bad))) << bad << "bad";
}

void TestPlaceholders::valueAtPath()
{
    QFETCH(QString, path);
    QFETCH(QString, value);
    const std::string reply =
        R"({"ver":"v2","screen":{"w":1920,"list":[{"name":"a"},{"name":"b"}]},"0":true})";
    QCOMPARE(tessel::isDottedPath(path.toStdString()), value != "bad");
    const auto got = tessel::valueAtPath(reply, path.toStdString());
    QCOMPARE(got ? QString::fromStdString(*got) : QString(), value == "bad" ? QString() : value);
    QVERIFY(!tessel::valueAtPath("not JSON", "ver"));
}

QTEST_APPLESS_MAIN(TestPlaceholders)
#include "tst_placeholders.moc"
