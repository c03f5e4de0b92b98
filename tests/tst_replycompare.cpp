// The compare rule: what counts as the same reply and result.
#include "replay/replycompare.h"

#include <QtTest>

#include <string>

using tessel::Difference;
using tessel::ResultRecord;

namespace {

// "path: recorded -> current" per difference, one per line.
QString listed(const std::vector<Difference>& differences)
{
    QStringList lines;
    for (const Difference& difference : differences)
        lines << QString::fromStdString(difference.path + ": " + difference.recorded + " -> " +
                                        difference.current);
    return lines.join('\n');
}

} // namespace

Q_DECLARE_METATYPE(std::vector<ResultRecord>)

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

    QTest::newRow("member order") << R"({"a":1,"b":{"c":[1,2]}})"
                                  << R"({ "b":{"c":[1,2]}, "a":1 })"
                                  << ""
                                  << "";
    QTest::newRow("integer and float") << R"({"ratio":50})"
                                       << R"({"ratio":50.0})"
                                       << ""
                                       << "";
    QTest::newRow("exponent") << R"({"ratio":5e1})"
                              << R"({"ratio":50})"
                              << ""
                              << "";
    QTest::newRow("number against text") << R"({"w":1920})"
                                         << R"({"w":"1920"})"
                                         << ""
                                         << R"(w: 1920 -> "1920")";
    QTest::newRow("big integers exactly") << R"({"n":9007199254740993})"
                                          << R"({"n":9007199254740992})"
                                          << ""
                                          << "n: 9007199254740993 -> 9007199254740992";
    QTest::newRow("negative against unsigned") << R"([-1])"
                                               << R"([18446744073709551615])"
                                               << ""
                                               << "[0]: -1 -> 18446744073709551615";
    QTest::newRow("strings exactly") << R"({"s":"A"})"
                                     << R"({"s":"a"})"
                                     << ""
                                     << R"(s: "A" -> "a")";
    QTest::newRow("escapes are the same text") << R"({"s":"\u0041"})"
                                               << R"({"s":"A"})"
                                               << ""
                                               << "";
    QTest::newRow("nested path") << R"({"v":{"ratio":50}})"
                                 << R"({"v":{"ratio":60}})"
                                 << ""
                                 << "v.ratio: 50 -> 60";
    QTest::newRow("array element") << R"({"l":[{"n":"a"},{"n":"b"}]})"
                                   << R"({"l":[{"n":"a"},{"n":"c"}]})"
                                   << ""
                                   << R"(l[1].n: "b" -> "c")";
    QTest::newRow("absent and added members") << R"({"a":1,"b":2})"
                                              << R"({"b":2,"c":3})"
                                              << ""
                                              << "a: 1 -> (无)\nc: (无) -> 3";
    QTest::newRow("longer array") << R"([1])"
                                  << R"([1,2])"
                                  << ""
                                  << "[1]: (无) -> 2";
    QTest::newRow("type change") << R"({"a":{}})"
                                 << R"({"a":[]})"
                                 << ""
                                 << "a: {} -> []";
    QTest::newRow("null against false") << R"({"a":null})"
                                        << R"({"a":false})"
                                        << ""
                                        << "a: null -> false";
    QTest::newRow("ignore a name at any depth") << R"({"time":1,"x":{"time":1,"k":1}})"
                                                << R"({"time":2,"x":{"time":2,"k":2}})"
                                                << "time"
                                                << "x.k: 1 -> 2";
    QTest::newRow("ignore an absent member") << R"({"a":1,"t":1})"
                                             << R"({"a":1})"
                                             << "t"
                                             << "";
    QTest::newRow("ignore a path exactly") << R"({"time":1,"x":{"time":1}})"
                                           << R"({"time":2,"x":{"time":2}})"
                                           << "x.time"
                                           << "time: 1 -> 2";
    QTest::newRow("a path is counted from the top") << R"({"y":{"x":{"time":1}}})"
                                                    << R"({"y":{"x":{"time":2}}})"
                                                    << "x.time"
                                                    << "y.x.time: 1 -> 2";
    QTest::newRow("a path through a list") << R"({"l":[{"n":1,"m":1}]})"
                                           << R"({"l":[{"n":2,"m":2}]})"
                                           << "l.n"
                                           << "l[0].m: 1 -> 2";
    QTest::newRow("ignoring a whole member") << R"({"x":{"a":1}})"
                                             << R"({"x":[1,2]})"
                                             << "x"
                                             << "";
    QTest::newRow("not JSON, same text") << "ok"
                                         << "ok"
                                         << ""
                                         << "";
    QTest::newRow("not JSON, other text") << "ok"
                                          << "OK"
                                          << ""
                                          << "$: ok -> OK";
    QTest::newRow("JSON against text") << R"({"a":1})"
                                       << "a=1"
                                       << ""
                                       << R"($: {"a":1} -> a=1)";
    QTest::newRow("empty replies") << ""
                                   << ""
                                   << ""
                                   << "";
    QTest::newRow("whole scalar") << "5"
                                  << "6"
                                  << ""
                                  << "$: 5 -> 6";
    const QString deep = QString("[").repeated(300) + QString("]").repeated(300);
    QTest::newRow("too deep: compared as text, equal") << deep << deep << ""
                                                       << "";
    QTest::newRow("too deep: compared as text, blanks count") << deep << " " + deep << ""
                                                              << "$";
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
        return;
    }
    QCOMPARE(listed(differences), expected);
}

void TestReplyCompare::results_data()
{
    QTest::addColumn<std::vector<ResultRecord>>("recorded");
    QTest::addColumn<std::vector<ResultRecord>>("current");
    QTest::addColumn<QString>("expected");

    const ResultRecord ok{0, R"({"ratio":50})", 5};
    const ResultRecord progress0{0, R"({"progress":0})", 1}, progress50{0, R"({"progress":50})", 2},
        progress100{0, R"({"progress":100})", 3};
    const ResultRecord refused{1003, "terminal B1 is not logged in: log in to it first", 1};

    QTest::newRow("same, time differs")
        << std::vector{ok} << std::vector{ResultRecord{0, R"({"ratio":50.0})", 99}} << "";
    QTest::newRow("code") << std::vector{ok} << std::vector{ResultRecord{1003, R"({"ratio":50})", 5}}
                          << "code: 0 -> 1003";
    QTest::newRow("fewer") << std::vector{progress0, progress50, progress100}
                           << std::vector{progress0, progress50} << "results: 3 -> 2";
    QTest::newRow("more") << std::vector{ok} << std::vector{ok, ok} << "results: 1 -> 2";
    QTest::newRow("several, numbered")
        << std::vector{progress0, progress50, progress100} << std::vector{progress0, progress100, progress100}
        << "#2 progress: 50 -> 100";
    QTest::newRow("nothing recorded, code 0 first")
        << std::vector<ResultRecord>{} << std::vector{ok, refused} << "";
    QTest::newRow("nothing recorded, failure first")
        << std::vector<ResultRecord>{} << std::vector{refused, ok} << "code: 0 -> 1003";
    QTest::newRow("nothing recorded, nothing came")
        << std::vector<ResultRecord>{} << std::vector<ResultRecord>{} << "results: 1 -> 0";
}

void TestReplyCompare::results()
{
    QFETCH(std::vector<ResultRecord>, recorded);
    QFETCH(std::vector<ResultRecord>, current);
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
