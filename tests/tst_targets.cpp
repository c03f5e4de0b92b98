// Targets files: what they read as, the faults of bad ones, writing them back,
// and choosing among the targets.
#include "targets/targets.h"

#include <QTemporaryDir>
#include <QtTest>

using tessel::Target;

namespace {

// The targets as --list-targets shows them, one a line.
QString shown(const std::vector<Target>& targets)
{
    QStringList lines;
    for (const Target& target : targets)
        lines << QString::fromStdString(tessel::targetLine(target));
    return lines.join('\n');
}

std::vector<Target> tenTargets()
{
    std::vector<Target> targets;
    for (int i = 9; i >= 0; --i) // out of order: shards sort by serial
        targets.push_back({"SN" + std::to_string(i),
                           i % 2 ? "hall" : "gate",
                           "10.0.0." + std::to_string(i),
                           {i < 3 ? "north" : "south"},
                           {}});
    return targets;
}

} // namespace

class TestTargets : public QObject
{
    Q_OBJECT

private slots:
    void goodFiles_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("jsonLines");
        QTest::addColumn<QString>("expected");
        QTest::newRow("BOM, CRLF, no final line end")
            << QByteArray("\xEF\xBB\xBFsn,name,ip\r\nA1,Gate,10.0.0.1\r\nB2,,10.0.0.2") << false
            << "A1 name=Gate ip=10.0.0.1\nB2 ip=10.0.0.2";
        QTest::newRow("quoted commas, quotes, line ends")
            << QByteArray("sn,name,note\nA1,\"Hall, east\",\"say \"\"hi\"\"\r\nthen go\"\n") << false
            << "A1 name=\"Hall, east\" note=\"say \\\"hi\\\"\\r\\nthen go\"";
        QTest::newRow("groups, blanks in the header, blank lines at the end")
            << QByteArray("sn , group,width\nA1, lobby ; ;roof,1920\n\n  \r\n") << false
            << "A1 group=lobby;roof width=1920";
        QTest::newRow("secrets masked")
            << QByteArray("sn,user,password,secretToken,Secret2\nA1,admin,pw,tk,s2") << false
            << "A1 user=admin password=****** secretToken=****** Secret2=******";
        QTest::newRow("JSON Lines, numbers and booleans")
            << QByteArray("\xEF\xBB\xBF{\"sn\": \"A1\", \"width\": 1920, \"ratio\": 1.50, \"on\": true}\r\n\n"
                          "{\"sn\": 77, \"group\": \"a;b\", \"name\": \"x=y\"}\n")
            << true << "A1 width=1920 ratio=1.50 on=true\n77 name=\"x=y\" group=a;b";
    }
    void goodFiles()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, jsonLines);
        QFETCH(QString, expected);
        tessel::TargetsFault fault;
        const std::string_view view(text.constData(), std::size_t(text.size()));
        const auto targets =
            jsonLines ? tessel::parseTargetsJsonLines(view, fault) : tessel::parseTargetsCsv(view, fault);
        QVERIFY2(targets, fault.text().c_str());
        QCOMPARE(shown(*targets), expected);
    }

    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("jsonLines");
        QTest::addColumn<QString>("fault");
        const auto csv = [](const char* name, const char* text, const char* fault) {
            QTest::newRow(name) << QByteArray(text) << false << fault;
        };
        const auto jsonl = [](const char* name, const char* text, const char* fault) {
            QTest::newRow(name) << QByteArray(text) << true << fault;
        };
        csv("empty", "\xEF\xBB\xBF\n", "line 1: no header row: the file is empty");
        csv("header only", "sn,name\r\n", "line 1: no terminal: the header has no row under it");
        csv("no sn column", "name,ip\nA,1", "line 1: the header has no \"sn\" column");
        csv("column named twice", "sn,ip,ip\n", "line 1, column 7: the header names \"ip\" twice");
        csv("column without a name", "sn,,ip\n", "line 1, column 4: a column without a name");
        csv("row without a serial", "name,sn\nGate,\n", "line 2, column 6: no serial: \"sn\" is empty");
        csv("serial twice", "sn\nA\nB\nA\n",
            "line 4, column 1: serial \"A\" is given twice (first on line 2)");
        csv("ragged row", "sn,name\nA,x,y\n", "line 2: 3 cells where the header has 2");
        csv("short row", "sn,name\nA\n", "line 2: 1 cell where the header has 2");
        csv("quote not closed", "sn,name\nA,\"Gate\nB,x\n", "line 2, column 3: a quoted cell is not closed");
        csv("text after a quote", "sn,name\nA,\"Ga\"te\n",
            "line 2, column 7: text after the closing quote of a cell");
        csv("quote in a plain cell", "sn,name\nA,Ga\"te\n",
            "line 2, column 5: a quote in a cell that is not quoted (quote the cell and double the quote)");
        csv("lone carriage return", "sn\rA\n", "line 1, column 3: a carriage return without a line feed");
        csv("not UTF-8, after a wide character", "sn,name\nA,\xC3\xA9\xC3(\n",
            "line 2, column 4: bytes that are not UTF-8");
        csv("a quoted line end counts", "sn,name\nA,\"x\ny\"\nA,z\n",
            "line 4, column 1: serial \"A\" is given twice (first on line 2)");
        jsonl("no line", "\n \n", "line 1: no terminal: the file has no line");
        jsonl(
            "not JSON, the secret not shown", "{\"sn\":\"A\"}\n{\"sn\":\"B\",\"password\":\"hunter2",
            "line 2, column 30: not JSON: syntax error while parsing value - invalid string: missing closing "
            "quote");
        jsonl("not an object", "  [1]", "line 1, column 3: not a JSON object");
        jsonl("a list member", "{\"sn\":\"A\", \"g\":[1]}",
              "line 1, column 12: \"g\" is a list: a text, a number "
              "or a boolean is wanted");
        jsonl("a null member", "{\"sn\":\"A\",\"g\":null}",
              "line 1, column 11: \"g\" is null: a text, a number or a boolean is wanted");
        jsonl("member twice", "{\"sn\":\"A\",\"x\":1,\"x\":2}", "line 1, column 17: \"x\" is given twice");
        jsonl("no sn", "{\"name\":\"Gate\"}", "line 1: no serial: the row has no \"sn\"");
        jsonl("number past the range", "{\"sn\":\"A\",\"pin\":1e999}", "line 1: a number too large to read");
    }
    void badFiles()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, jsonLines);
        QFETCH(QString, fault);
        tessel::TargetsFault found;
        const std::string_view view(text.constData(), std::size_t(text.size()));
        const auto targets =
            jsonLines ? tessel::parseTargetsJsonLines(view, found) : tessel::parseTargetsCsv(view, found);
        QVERIFY(!targets);
        QCOMPARE(QString::fromStdString(found.text()), fault);
        QVERIFY(!found.text().empty() && found.text().find("hunter2") == std::string::npos);
    }

    void roundTrip()
    {
        std::vector<Target> targets{{"A1",
                                     "Hall, \"east\"",
                                     "10.0.0.1",
                                     {"north", "roof top"},
                                     {{"note", " two\r\nlines "}, {"w", "1"}, {"password", ""}}},
                                    {"B 2", "", "", {}, {{"note", ""}, {"w", ""}, {"password", "pw"}}}};
        QTemporaryDir dir;
        const QString path = dir.filePath("targets.csv");
        QCOMPARE(tessel::writeTargetsFile(path, targets), QString());
        tessel::TargetsFault fault;
        std::string error;
        const auto back = tessel::readTargetsFile(path, fault, error);
        QVERIFY2(back, fault.text().c_str());
        QCOMPARE(shown(*back), shown(targets));
        QCOMPARE(back->at(0).variable("note"), std::optional<std::string>(" two\r\nlines "));
        QCOMPARE(back->at(1).variable("password"), std::optional<std::string>("pw"));
        QCOMPARE(back->at(1).variable("name"), std::optional<std::string>(""));
        QCOMPARE(back->at(1).variable("group"), std::nullopt);
        // A folder that does not exist: the fault, and no file.
        QVERIFY(!tessel::writeTargetsFile(dir.filePath("none/t.csv"), targets).isEmpty());
        QVERIFY(!tessel::readTargetsFile(dir.filePath("none/t.csv"), fault, error));
        QVERIFY(!error.empty());
        // Endless input is refused at a size, not read until memory runs out.
        QVERIFY(!tessel::readTargetsFile("/dev/zero", fault, error));
        QVERIFY2(error.find("too large") != std::string::npos, error.c_str());
    }

    void limitAndShard_data()
    {
        QTest::addColumn<QString>("limit");
        QTest::addColumn<int>("k");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("serials");
        QTest::newRow("all, no shard") << "*" << 1 << 1 << "SN9 SN8 SN7 SN6 SN5 SN4 SN3 SN2 SN1 SN0";
        QTest::newRow("serial and ip") << " SN[2-3] , ,10.0.0.?1,10.0.0.9" << 1 << 1 << "SN9 SN3 SN2";
        QTest::newRow("name, negated class") << "g[!x]te" << 1 << 1 << "SN8 SN6 SN4 SN2 SN0";
        QTest::newRow("group, case-sensitive") << "no*,SOUTH" << 1 << 1 << "SN2 SN1 SN0";
        QTest::newRow("shard 1/3, the larger") << "*" << 1 << 3 << "SN0 SN1 SN2 SN3";
        QTest::newRow("shard 2/3") << "*" << 2 << 3 << "SN4 SN5 SN6";
        QTest::newRow("shard 3/3") << "*" << 3 << 3 << "SN7 SN8 SN9";
        QTest::newRow("shard 4/3") << "*" << 4 << 3 << "";
    }
    void limitAndShard()
    {
        QFETCH(QString, limit);
        QFETCH(int, k);
        QFETCH(int, n);
        QFETCH(QString, serials);
        auto chosen = tessel::limitTargets(tenTargets(), tessel::splitPatterns(limit.toStdString()));
        if (n > 1)
            chosen = tessel::shardOf(std::move(chosen), k, n);
        QStringList found;
        for (const Target& target : chosen)
            found << QString::fromStdString(target.sn);
        QCOMPARE(found.join(' '), serials);
    }
};

QTEST_APPLESS_MAIN(TestTargets)
#include "tst_targets.moc"
