// The compare rule: what counts as the same reply and result.
#include "history/historyentry.h"
#include "replay/replycompare.h"

#include <QtTest>

#include <string>

using tessel::Difference;
using tessel::ResultRecord;
using Results = std::vector<ResultRecord>;

namespace {

// "path: recorded -> current" per difference, one per line.
QString listed(const std::vector<Difference>& differences)
{
    QStringList lines;
    for (const Difference& d : differences)
        lines << QString::fromStdString(d.path + ": " + d.recorded + " -> " + d.current);
    return lines.join('\n');
}

void row(const char* tag, const QString& recorded, const QString& current, const char* ignore,
         const char* expected)
{
    QTest::newRow(tag) << recorded << current << QString(ignore) << QString(expected);
}

// A reply as the history keeps one over its limit: the first `keep` bytes, then its mark.
ResultRecord cutReply(const char* whole, int keep)
{
    tessel::HistoryResult result;
    result.reply = QString::fromUtf8(whole);
    tessel::limitReply(result, keep);
    return ResultRecord{0, result.reply.toStdString(), 0};
}

} // namespace

Q_DECLARE_METATYPE(Results)

class TestReplyCompare : public QObject
{
    Q_OBJECT

private slots:
    void replies_data();
    void replies();
    void results_data();
    void results();
    void ignoreList();
};

void TestReplyCompare::replies_data()
{
    QTest::addColumn<QString>("recorded");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("ignore");
    QTest::addColumn<QString>("expected");

    row("order, number forms, escapes", R"({"a":1,"b":{"c":[1,2]},"r":50,"e":5e1,"s":"\u0041"})",
        R"({ "s":"A","e":50,"r":50.0,"b":{"c":[1,2]}, "a":1 })", "", "");
    row("numbers exactly, not as text", R"({"w":1920,"n":9007199254740993,"u":[-1]})",
        R"({"w":"1920","n":9007199254740992,"u":[18446744073709551615]})", "",
        "n: 9007199254740993 -> 9007199254740992\nu[0]: -1 -> 18446744073709551615\nw: 1920 -> \"1920\"");
    row("paths, strings, types", R"({"s":"A","v":{"r":50},"l":[{"n":"a"},{"n":"b"}],"t":{},"z":null})",
        R"({"s":"a","v":{"r":60},"l":[{"n":"a"},{"n":"c"}],"t":[],"z":false})", "",
        "l[1].n: \"b\" -> \"c\"\ns: \"A\" -> \"a\"\nt: {} -> []\nv.r: 50 -> 60\nz: null -> false");
    row("absent and added", R"({"a":1,"b":2,"l":[1]})", R"({"b":2,"c":3,"l":[1,2]})", "",
        "a: 1 -> (无)\nl[1]: (无) -> 2\nc: (无) -> 3");
    row("ignore names at any depth, absent too", R"({"time":1,"t":1,"x":{"time":1,"k":1}})",
        R"({"time":2,"x":{"time":2,"k":2}})", "time,t", "x.k: 1 -> 2");
    row("ignore a path exactly, from the top", R"({"time":1,"x":{"time":1},"y":{"x":{"time":1}}})",
        R"({"time":2,"x":{"time":2},"y":{"x":{"time":2}}})", "x.time", "time: 1 -> 2\ny.x.time: 1 -> 2");
    row("ignore a path through a list, a whole member", R"({"l":[{"n":1,"m":1}],"x":{"a":1}})",
        R"({"l":[{"n":2,"m":2}],"x":[1,2]})", "l.n,x", "l[0].m: 1 -> 2");
    row("not JSON, same text", "ok", "ok", "", "");
    row("not JSON, other text", "ok", "OK", "", "$: ok -> OK");
    row("JSON against text", R"({"a":1})", "a=1", "", R"($: {"a":1} -> a=1)");
    row("empty replies", "", "", "", "");
    row("whole scalar", "5", "6", "", "$: 5 -> 6");
    const QString deep = QString("[").repeated(300) + QString("]").repeated(300);
    row("too deep: compared as text, equal", deep, deep, "", "");
    row("too deep: compared as text, blanks count", deep, " " + deep, "", "$");
}

void TestReplyCompare::replies()
{
    QFETCH(QString, recorded);
    QFETCH(QString, current);
    QFETCH(QString, ignore);
    QFETCH(QString, expected);
    const tessel::IgnoreRule rule(tessel::splitIgnoreList(ignore.toStdString()));
    const std::vector<Difference> differences =
        tessel::replyDifferences(recorded.toStdString(), current.toStdString(), rule);
    if (expected == "$") { // a long text: only the path matters
        QCOMPARE(differences.size(), std::size_t(1));
        QCOMPARE(differences.front().path, std::string("$"));
    } else {
        QCOMPARE(listed(differences), expected);
    }
}

void TestReplyCompare::results_data()
{
    QTest::addColumn<Results>("recorded");
    QTest::addColumn<Results>("current");
    QTest::addColumn<QString>("expected");

    const ResultRecord ok{0, R"({"ratio":50})", 5};
    const ResultRecord p0{0, R"({"progress":0})", 1}, p50{0, R"({"progress":50})", 2},
        p100{0, R"({"progress":100})", 3};
    const ResultRecord refused{1003, "terminal B1 is not logged in: log in to it first", 1};

    QTest::newRow("same, time differs") << Results{ok} << Results{{0, R"({"ratio":50.0})", 99}} << "";
    QTest::newRow("code") << Results{ok} << Results{{1003, R"({"ratio":50})", 5}} << "code: 0 -> 1003";
    QTest::newRow("fewer") << Results{p0, p50, p100} << Results{p0, p50} << "results: 3 -> 2";
    QTest::newRow("more") << Results{ok} << Results{ok, ok} << "results: 1 -> 2";
    QTest::newRow("several, numbered")
        << Results{p0, p50, p100} << Results{p0, p100, p100} << "#2 progress: 50 -> 100";
    QTest::newRow("nothing recorded, code 0 first") << Results{} << Results{ok, refused} << "";
    QTest::newRow("nothing recorded, failure first")
        << Results{} << Results{refused, ok} << "code: 0 -> 1003";
    QTest::newRow("nothing recorded, nothing came") << Results{} << Results{} << "results: 1 -> 0";

    const char* whole = R"({"a":{"x":50,"y":[1,2,3]},"n":12,"b":"a long text"})";
    const auto now = [](const char* reply) {
        return Results{{0, reply, 0}};
    };
    QTest::newRow("cut, the new reply starts with the kept part")
        << Results{cutReply(whole, 40)} << now(whole) << "";
    QTest::newRow("cut, the kept part the same as JSON")
        << Results{cutReply(whole, 40)} << now(R"({"b":"other","a":{"y":[1,2,3],"x":50.0},"n":12,"c":1})")
        << "";
    QTest::newRow("cut, the kept part differs")
        << Results{cutReply(whole, 20)} << now(R"({"a":{"x":51,"y":[1,2]}})") << "a.x: 50 -> 51";
    QTest::newRow("cut inside a number")
        << Results{cutReply(whole, 31)} << now(R"({"a":{"x":50,"y":[1,2,3]},"n":13})") << "";
    QTest::newRow("cut, not JSON") << Results{cutReply("abcdef", 3)} << now("abX") << "$: abc -> abX";
    QTest::newRow("a mark that does not count the kept part is text")
        << Results{{0, "x" + tessel::cutMark(100, 5).toStdString(), 0}} << now("x")
        << "$: x\n〔回复共 100 字节，超过上限，只保留了前 5 字节〕 -> x";
}

void TestReplyCompare::results()
{
    QFETCH(Results, recorded);
    QFETCH(Results, current);
    QFETCH(QString, expected);
    QCOMPARE(listed(tessel::resultDifferences(recorded, current, tessel::IgnoreRule())), expected);
}

void TestReplyCompare::ignoreList()
{
    QCOMPARE(tessel::splitIgnoreList(" time, status.at ,,x "),
             (std::vector<std::string>{"time", "status.at", "x"}));
    QVERIFY(tessel::splitIgnoreList(" , ").empty());
}

QTEST_APPLESS_MAIN(TestReplyCompare)
#include "tst_replycompare.moc"
