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

} // namespace

class TestPlaceholders : public QObject
{
    Q_OBJECT

private slots:
    void fill_data();
    void fill();
    void expectation_data();
    void expectation();
    void valueAtPath_data();
    void valueAtPath();
};

void TestPlaceholders::fill_data()
{
    QTest::addColumn<char>("kind"); // the names used ('n'), a request ('r') or an expectation ('e') filled
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("outcome"); // for a fault or a missing variable, how it starts
    const auto row = [](const char* tag, char kind, const char* text, const char* outcome) {
        QTest::newRow(tag) << kind << QString(text) << QString(outcome);
    };
    row("names: none", 'n', R"({"sn":"B1"})", "");
    row("names: each once, in order", 'n', R"({"a":"{{ver}}","b":{{ width }},"c":"{{ver}}-{{sn}}"})",
        "ver,width,sn");
    row("names: left open", 'n', R"({"a":"{{ver"})", "7: placeholder \"{{ver\" is left open");
    row("names: left open, braces later", 'n', R"({"a":"x{{ver","b":{"c":1}}})",
        "8: placeholder \"{{ver\" is left open");
    row("names: column in characters", 'n', "{\"音量\":\"{{1x}}\"}", "8: \"{{1x}}\" holds no variable name");
    row("names: blank", 'n', "{{ }}", "1: \"{{ }}\" holds no variable name");
    row("names: two", 'n', "{{a b}}", "1: \"{{a b}}\" holds no variable name");
    row("request: in a string and outside", 'r', R"({"sn":"{{sn}}","w":{{width}},"on":{{ on }}})",
        R"({"sn":"B1","w":1920,"on":true})");
    row("request: escaped inside a string", 'r', R"({"t":"<{{quoted}}>"})", R"({"t":"<a\"b\\c\nd>"})");
    row("request: raw outside", 'r', R"([{{quoted}}])", "[a\"b\\c\nd]");
    row("request: after an escaped quote", 'r', R"({"t":"\"{{quoted}}","u":{{width}}})",
        R"({"t":"\"a\"b\\c\nd","u":1920})");
    row("request: after a backslash", 'r', R"(["\\{{sn}}","\{{sn}}"])", R"(["\\B1","\B1"])");
    row("request: missing", 'r', R"({"a":{{width}},"b":"{{nobody}}"})", "missing nobody");
    row("expect: a number", 'e', R"({"width":"{{width}}"})", R"({"width":1920})");
    row("expect: true, null, a text", 'e', R"(["{{on}}","{{none}}","{{ ver }}"])", R"([true,null,"v2.1"])");
    row("expect: inside a longer text, a name", 'e', R"({"{{sn}}.w":"w={{width}}","q":"{{quoted}}"})",
        R"({"B1.w":"w=1920","q":"a\"b\\c\nd"})");
    row("expect: missing", 'e', R"({"a":{"b":["{{nobody}}"]}})", "missing nobody");
}

void TestPlaceholders::fill()
{
    QFETCH(char, kind);
    QFETCH(QString, text);
    QFETCH(QString, outcome);
    const std::string given = text.toStdString();
    std::string fault;
    int column = 0;
    std::optional<std::string> got;
    if (kind == 'n') {
        if (const auto names = tessel::placeholderNames(given, column, fault)) {
            QStringList joined;
            for (const std::string& name : *names)
                joined << QString::fromStdString(name);
            got = joined.join(',').toStdString();
        }
        fault = std::to_string(column) + ": " + fault;
    } else {
        got = kind == 'r' ? tessel::fillRequest(given, variable, fault)
                          : tessel::fillExpectation(given, variable, fault);
        fault = "missing " + fault;
    }
    if (got)
        QCOMPARE(QString::fromStdString(*got), outcome);
    else
        QVERIFY2(!outcome.isEmpty() && QString::fromStdString(fault).startsWith(outcome), fault.c_str());
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
    row("{}: the code alone", "{}", 1003, 1003, "", "", "");
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
    const auto row = [](const char* path, const char* value) {
        QTest::newRow(path) << QString(path) << (value ? QString(value) : QString());
    };
    row("ver", "v2");
    row("screen.w", "1920");
    row("screen.list.1.name", "b");
    row("screen.list.0", R"({"name":"a"})");
    row("0", "true"); // digits name a member of an object
    row("screen.h", nullptr);
    row("screen.list.2.name", nullptr);
    row("ver.x", nullptr);
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
