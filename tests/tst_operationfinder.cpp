// Finding an operation by typing: the entries and their ranking.
#include "operations/catalogue.h"
#include "operations/operationfinder.h"

#include <QtTest>

#include <set>
#include <string>

using tessel::apiNames;
using tessel::finderEntries;
using tessel::rankOperations;

class TestOperationFinder : public QObject
{
    Q_OBJECT

private slots:
    void entries();
    void ranking_data();
    void ranking();
};

void TestOperationFinder::entries()
{
    const auto& entries = finderEntries();
    std::set<QString> names;
    for (const auto& entry : entries) {
        names.insert(entry.name);
        // Each entry points at its own place in the catalogue.
        const auto list = apiNames(entry.moduleIndex);
        QCOMPARE(QString::fromStdString(list.at(std::size_t(entry.nameIndex))), entry.name);
    }
    QCOMPARE(entries.size(), std::size_t(260));
    QCOMPARE(names.size(), entries.size());
    // A repeated name stands once, under the first module that lists it.
    for (const auto& entry : entries) {
        if (entry.name == "getCloudPlayerList()")
            QCOMPARE(entry.moduleIndex, 34);
        if (entry.name == "getNetTimingListInfo()")
            QCOMPARE(entry.moduleLabel, QStringLiteral("屏体其他项（ScreenManager）"));
    }
    QCOMPARE(finderEntries().front().name, QStringLiteral("待开发"));
}

void TestOperationFinder::ranking_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("head"); // the first results, in order
    QTest::addColumn<int>("count");        // -1: not checked

    QTest::newRow("empty shows all in catalogue order")
        << "" << QStringList{"待开发", "setTimingPowerSwitchStatus()"} << 260;
    QTest::newRow("blank is empty") << "  " << QStringList{"待开发"} << 260;
    // g and vol start words of getVolume(); in setTimingVolume() the g ends
    // "Timing", so the plain substring comes after.
    QTest::newRow("word starts before a substring")
        << "gvol" << QStringList{"getVolume()",        "getTimingVolume()",
                                 "getVolumeFor0x99()", "getTimingVolumeFor0x99()",
                                 "setTimingVolume()",  "setTimingVolumeFor0x99()"}
        << -1;
    QTest::newRow("capitals in a run, digits")
        << "vpncinf" << QStringList{"setVPNConnectInfo()", "getVPNConnectInfo()"} << -1;
    QTest::newRow("word after a digit")
        << "vf0x" << QStringList{"getVolumeFor0x99()", "setVolumeFor0x99()"} << -1;
    QTest::newRow("no part may start inside a word") << "gtvol" << QStringList{"getTimingVolume()"} << -1;
    QTest::newRow("prefix before substring before letters in order")
        << "GETVOLUME"
        << QStringList{"getVolume()", "getVolumeFor0x99()", "getTimingVolume()", "getTimingVolumeFor0x99()"}
        << -1;
    QTest::newRow("substring in catalogue order")
        << "volume()" << QStringList{"getVolume()", "setVolume()", "setTimingVolume()", "getTimingVolume()"}
        << -1;
    // Whole at a word start before parts at several ("R|ealtime S|witch S|tatus").
    QTest::newRow("suffix text") << "rss"
                                 << QStringList{"setPageParam()(RSS)", "setPageParam()(RSS简化)",
                                                "getRealtimePowerSwitchStatus()"}
                                 << -1;
    QTest::newRow("module label") << "诊断" << QStringList{"待开发"} << 1;
    QTest::newRow("module label, latin")
        << "vpnconnection" << QStringList{"setVPNConnectInfo()", "getVPNConnectInfo()", "VPNManagerFor0x99()"}
        << 3;
    QTest::newRow("nothing") << "zzqx" << QStringList{} << 0;
}

void TestOperationFinder::ranking()
{
    QFETCH(QString, query);
    QFETCH(QStringList, head);
    QFETCH(int, count);
    const std::vector<int> ranked = rankOperations(query);
    QStringList names;
    for (int index : ranked)
        names.append(finderEntries().at(std::size_t(index)).name);
    if (count >= 0)
        QCOMPARE(names.size(), count);
    QCOMPARE(names.mid(0, head.size()).join(" "), head.join(" "));
    QCOMPARE(std::set<int>(ranked.begin(), ranked.end()).size(), ranked.size()); // each once
}

QTEST_APPLESS_MAIN(TestOperationFinder)
#include "tst_operationfinder.moc"
