// The address check of the search dialogs: which texts are dotted IPv4
// addresses, and which fault a text that is none is refused with.
#include "searchcheck/addresscheck.h"
#include "searchcheck/rangecheck.h"

#include <QtTest>

#include <string>

using tessel::AddressCheck;

Q_DECLARE_METATYPE(AddressCheck::Fault)

class TestAddressCheck : public QObject
{
    Q_OBJECT

private slots:
    void check_data();
    void check();
};

void TestAddressCheck::check_data()
{
    QTest::addColumn<QString>("typed"); // as typed into the dialog
    QTest::addColumn<AddressCheck::Fault>("fault");
    QTest::addColumn<int>("parts");
    QTest::addColumn<int>("part");
    QTest::addColumn<QString>("partText");

    // Accepted, bare and as the address record; the terminals read up to
    // three digits per part, leading zeros included.
    QTest::newRow("bare") << "192.168.1.2" << AddressCheck::Valid << 4 << 0 << "";
    QTest::newRow("bounds") << "0.0.0.0" << AddressCheck::Valid << 4 << 0 << "";
    QTest::newRow("leading zeros") << "010.001.000.009" << AddressCheck::Valid << 4 << 0 << "";
    QTest::newRow("address record") << R"({"ip":"192.168.1.23"})" << AddressCheck::Valid << 4 << 0 << "";

    QTest::newRow("blank") << "  " << AddressCheck::NoAddress << 0 << 0 << "";
    QTest::newRow("record without address") << "{}" << AddressCheck::NoAddress << 0 << 0 << "";

    QTest::newRow("garbage") << "garbage!!" << AddressCheck::PartCount << 1 << 0 << "";
    QTest::newRow("host name") << "screen-a" << AddressCheck::PartCount << 1 << 0 << "";
    QTest::newRow("address with port") << "192.168.1.2:80" << AddressCheck::NotANumber << 4 << 4 << "2:80";

    QTest::newRow("two dots in a row") << "192.168..2" << AddressCheck::EmptyPart << 4 << 3 << "";
    QTest::newRow("dot at the end") << "192.168.1." << AddressCheck::EmptyPart << 4 << 4 << "";

    QTest::newRow("letter after digits") << "192.168.1.2x" << AddressCheck::NotANumber << 4 << 4 << "2x";
    QTest::newRow("sign") << "192.168.1.-1" << AddressCheck::NotANumber << 4 << 4 << "-1";
    QTest::newRow("full-width digit") << "192.168.1.２" << AddressCheck::NotANumber << 4 << 4 << "２";
    QTest::newRow("record with a bad address")
        << R"({"ip":"10.0.0.x"})" << AddressCheck::NotANumber << 4 << 4 << "x";

    QTest::newRow("300") << "192.168.1.300" << AddressCheck::TooLarge << 4 << 4 << "300";
    QTest::newRow("four digits") << "1234.1.1.1" << AddressCheck::TooLarge << 4 << 1 << "1234";
    QTest::newRow("large after zeros") << "192.168.0300.1" << AddressCheck::TooLarge << 4 << 3 << "0300";
    QTest::newRow("too many digits") << "192.168.1.0001" << AddressCheck::TooManyDigits << 4 << 4 << "0001";
}

void TestAddressCheck::check()
{
    QFETCH(QString, typed);
    QFETCH(AddressCheck::Fault, fault);
    QFETCH(int, parts);
    QFETCH(int, part);
    QFETCH(QString, partText);
    const AddressCheck check = tessel::checkAddress(tessel::dialogAddress(typed.toStdString()));
    QCOMPARE(check.fault, fault);
    QCOMPARE(int(check.parts), parts);
    QCOMPARE(int(check.part), part);
    QCOMPARE(QString::fromStdString(check.partText), partText);
}

QTEST_APPLESS_MAIN(TestAddressCheck)
#include "tst_addresscheck.moc"
