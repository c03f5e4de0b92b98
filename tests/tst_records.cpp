// Record conversions and the range check, without any window.
#include "requests/records.h"
#include "searchcheck/rangecheck.h"

#include <QtTest>

using tessel::checkRange;
using tessel::RangeCheck;

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    void toJsonIsCompactUtf8()
    {
        tsc::LoginData login;
        login.sn = "BZSA07194A0049999716";
        login.username = "管理员";
        login.password = "p w";
        login.loginType = 1;
        const std::string text = recordToJson(login);
        QVERIFY(text.find("管理员") != std::string::npos); // not escaped as \u
        QVERIFY(text.find(": ") == std::string::npos && text.find(", ") == std::string::npos);
        QCOMPARE(nlohmann::json::parse(text).dump(), text);
        QCOMPARE(nlohmann::json::parse(text).at("loginType").get<int>(), 1);
    }

    void fromJsonKeepsTheRecordOnBadInput_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("not json") << QByteArray("192.168.1.1");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("truncated") << QByteArray(R"({"sn":"X","name":"新")");
        QTest::newRow("array") << QByteArray(R"(["sn"])");
        QTest::newRow("wrong type late") << QByteArray(R"({"sn":"X","name":"新","ip":7})");
        QTest::newRow("number too big") << QByteArray(R"({"width":1e400})");
        QTest::newRow("bad utf-8") << QByteArray("{\"name\":\"\xff\xfe\"}");
        // Integer members take only values they hold exactly: nothing cut
        // down, no flag read as a number, no float cast out of range.
        QTest::newRow("width beyond int16") << QByteArray(R"({"width":70000})");
        QTest::newRow("height below int16") << QByteArray(R"({"height":-32769})");
        QTest::newRow("width float beyond int16") << QByteArray(R"({"width":1e10})");
        QTest::newRow("width beyond int64") << QByteArray(R"({"width":18446744073709551615})");
        QTest::newRow("width a fraction") << QByteArray(R"({"width":1.5})");
        QTest::newRow("height a flag") << QByteArray(R"({"sn":"NEW","height":true})");
    }

    void fromJsonKeepsTheRecordOnBadInput()
    {
        QFETCH(QByteArray, text);
        tsc::SearchResponseData record;
        record.sn = "OLD";
        record.name = "旧";
        record.width = 5;
        QVERIFY(!recordFromJson(text.toStdString(), record));
        QCOMPARE(record.sn, std::string("OLD"));
        QCOMPARE(record.name, std::string("旧"));
        QCOMPARE(record.width, std::int16_t(5));
    }

    void fromJsonFillsWhatIsPresent()
    {
        tsc::SearchResponseData record;
        record.ip = "kept";
        QVERIFY(recordFromJson(R"({"sn":"S","height":-7,"hostLoggedIn":true})", record));
        QCOMPARE(record.sn, std::string("S"));
        QCOMPARE(record.height, std::int16_t(-7));
        QVERIFY(record.hostLoggedIn);
        QCOMPARE(record.ip, std::string("kept"));
    }

    void integerMembersTakeExactValuesOnly_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("loginType");
        QTest::newRow("int32 max") << QByteArray(R"({"loginType":2147483647})") << true << 2147483647;
        QTest::newRow("int32 min") << QByteArray(R"({"loginType":-2147483648})") << true << -2147483647 - 1;
        QTest::newRow("integral float") << QByteArray(R"({"loginType":1.0})") << true << 1;
        QTest::newRow("beyond int32") << QByteArray(R"({"loginType":2147483648})") << false << 5;
        QTest::newRow("float beyond int32") << QByteArray(R"({"loginType":1e300})") << false << 5;
        QTest::newRow("fraction") << QByteArray(R"({"loginType":0.5})") << false << 5;
        QTest::newRow("flag") << QByteArray(R"({"loginType":false})") << false << 5;
        QTest::newRow("later member beyond int32")
            << QByteArray(R"({"loginType":1,"reserved":-2147483649})") << false << 5;
    }

    void integerMembersTakeExactValuesOnly()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, accepted);
        QFETCH(int, loginType);
        tsc::LoginData login;
        login.sn = "OLD";
        login.loginType = 5;
        QCOMPARE(recordFromJson(text.toStdString(), login), accepted);
        QCOMPARE(login.loginType, loginType);
        QCOMPARE(login.sn, std::string("OLD"));
    }

    void dialogAddress_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("address");
        QTest::newRow("record") << R"({"ip":"192.168.1.5"})"
                                << "192.168.1.5";
        QTest::newRow("record without address") << "{}"
                                                << "";
        QTest::newRow("bare") << "192.168.1.5"
                              << "192.168.1.5";
        QTest::newRow("bare with blanks") << "\t192.168.1.5  "
                                          << "192.168.1.5";
        QTest::newRow("json number") << "12"
                                     << "12";
        QTest::newRow("only blanks") << "   "
                                     << "";
        QTest::newRow("record with wrong type") << R"({"ip":5})"
                                                << R"({"ip":5})";
    }

    void dialogAddress()
    {
        QFETCH(QString, typed);
        QFETCH(QString, address);
        QCOMPARE(QString::fromStdString(tessel::dialogAddress(typed.toStdString())), address);
    }

    void rangeCheck_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<int>("startValue");
        QTest::addColumn<int>("endValue");
        QTest::newRow("range") << "192.168.1.10"
                               << "192.168.1.20" << int(RangeCheck::Range) << 10 << 20;
        QTest::newRow("same") << "192.168.1.10"
                              << "192.168.1.10" << int(RangeCheck::SameAddress) << 10 << 10;
        QTest::newRow("other net") << "192.168.1.10"
                                   << "192.168.2.20" << int(RangeCheck::DifferentNet) << 10 << 20;
        QTest::newRow("start after end") << "10.0.0.9"
                                         << "10.0.0.8" << int(RangeCheck::StartAfterEnd) << 9 << 8;
        QTest::newRow("atoi stops at non-digit") << "10.0.0.7x"
                                                 << "10.0.0.7" << int(RangeCheck::Range) << 7 << 7;
        QTest::newRow("atoi blanks and sign") << "10.0.0. +3"
                                              << "10.0.0.4" << int(RangeCheck::Range) << 3 << 4;
        QTest::newRow("no digits read as 0") << "10.0.0.a"
                                             << "10.0.0.b" << int(RangeCheck::Range) << 0 << 0;
        QTest::newRow("negative is large unsigned")
            << "10.0.0.-1"
            << "10.0.0.5" << int(RangeCheck::StartAfterEnd) << -1 << 5;
        QTest::newRow("no dots, equal") << "host"
                                        << "host" << int(RangeCheck::SameAddress) << 0 << 0;
        QTest::newRow("no dots, different") << "host-a"
                                            << "host-b" << int(RangeCheck::DifferentNet) << 0 << 0;
        QTest::newRow("both empty") << ""
                                    << "" << int(RangeCheck::SameAddress) << 0 << 0;
        QTest::newRow("huge host wraps like atoi")
            << "1.1.99999999999"
            << "1.1.2" << int(RangeCheck::StartAfterEnd) << 1215752191 << 2;
    }

    void rangeCheck()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(int, verdict);
        QFETCH(int, startValue);
        QFETCH(int, endValue);
        const RangeCheck check = checkRange(start.toStdString(), end.toStdString());
        QCOMPARE(int(check.verdict), verdict);
        QCOMPARE(check.startHostValue, startValue);
        QCOMPARE(check.endHostValue, endValue);
    }

    void rangeCheckSplitsAtTheLastDot()
    {
        RangeCheck check = checkRange("192.168.1.10", "host");
        QCOMPARE(check.startDot, std::size_t(9));
        QCOMPARE(check.startNet, std::string("192.168.1"));
        QCOMPARE(check.startHost, std::string("10"));
        QCOMPARE(check.endDot, std::string::npos);
        QCOMPARE(check.endNet, std::string("host"));
        QCOMPARE(check.endHost, std::string("host"));
    }
};

QTEST_APPLESS_MAIN(TestRecords)
#include "tst_records.moc"
