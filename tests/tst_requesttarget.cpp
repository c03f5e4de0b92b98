// Pointing console requests at a terminal: only the top-level "sn" text changes.
// The reading of that text, which the history, the runner and a batch share.
#include "history/requestserial.h"
#include "requests/requesttarget.h"

#include <QtTest>

#include <string>

class TestRequestTarget : public QObject
{
    Q_OBJECT

private slots:
    void withSerial_data();
    void withSerial();
    void retargeted_data();
    void retargeted();
    void readSerial_data();
    void readSerial();
};

void TestRequestTarget::withSerial_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("sn");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("text") << QByteArray(R"({"sn":"BZSA07194A0049999716"})") << QByteArray("W9A5HAJW")
                          << QByteArray(R"({"sn":"W9A5HAJW"})");
    QTest::newRow("spacing and order kept")
        << QByteArray(R"({"volumeInfo" :{"ratio":60.0}, "sn" : "x" ,"data":null})") << QByteArray("B1")
        << QByteArray(R"({"volumeInfo" :{"ratio":60.0}, "sn" : "B1" ,"data":null})");
    QTest::newRow("empty text") << QByteArray(R"({"sn":""})") << QByteArray("B1")
                                << QByteArray(R"({"sn":"B1"})");
    QTest::newRow("number") << QByteArray(R"({"sn":4,"data":[]})") << QByteArray("B1")
                            << QByteArray(R"({"sn":4,"data":[]})");
    QTest::newRow("absent") << QByteArray(R"({"programID":1})") << QByteArray("B1")
                            << QByteArray(R"({"programID":1})");
    QTest::newRow("nested only")
        << QByteArray(R"({"data":{"sn":"x"},"list":[{"sn":"y"}],"t":"\"sn\":\"z\""})") << QByteArray("B1")
        << QByteArray(R"({"data":{"sn":"x"},"list":[{"sn":"y"}],"t":"\"sn\":\"z\""})");
    QTest::newRow("after a nested one") << QByteArray(R"({"data":{"sn":"x"},"sn":"y"})") << QByteArray("B1")
                                        << QByteArray(R"({"data":{"sn":"x"},"sn":"B1"})");
    QTest::newRow("escaped key") << QByteArray(R"({"\u0073n":"x"})") << QByteArray("B1")
                                 << QByteArray(R"({"\u0073n":"B1"})");
    QTest::newRow("malformed, no closing brace")
        << QByteArray(R"({"sn":"x","info":{"value":1})") << QByteArray("B1")
        << QByteArray(R"({"sn":"x","info":{"value":1})");
    QTest::newRow("malformed, missing comma")
        << QByteArray(R"({"sn":"x" "sn":"y"})") << QByteArray("B1") << QByteArray(R"({"sn":"x" "sn":"y"})");
    QTest::newRow("not an object") << QByteArray(R"(["sn","x"])") << QByteArray("B1")
                                   << QByteArray(R"(["sn","x"])");
    QTest::newRow("placeholder") << QByteArray("getProductInfo data") << QByteArray("B1")
                                 << QByteArray("getProductInfo data");
    QTest::newRow("empty request") << QByteArray() << QByteArray("B1") << QByteArray();
    QTest::newRow("NUL after the object")
        << QByteArray("{\"sn\":\"x\"}\0]", 12) << QByteArray("B1") << QByteArray("{\"sn\":\"x\"}\0]", 12);
    QTest::newRow("serial needing escapes") << QByteArray(R"({"sn":"x"})") << QByteArray("a\"b\\c\n屏")
                                            << QByteArray("{\"sn\":\"a\\\"b\\\\c\\n屏\"}");
}

void TestRequestTarget::withSerial()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, sn);
    QFETCH(QByteArray, expected);
    QCOMPARE(
        QByteArray::fromStdString(tessel::requesttarget::withSerial(request.toStdString(), sn.toStdString())),
        expected);
}

void TestRequestTarget::retargeted_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("expected");
    // Always from "OLD" to "NEW".
    QTest::newRow("previous serial") << QByteArray(R"({ "sn": "OLD", "a":1})")
                                     << QByteArray(R"({ "sn": "NEW", "a":1})");
    QTest::newRow("another serial") << QByteArray(R"({"sn":"OTHER"})") << QByteArray(R"({"sn":"OTHER"})");
    QTest::newRow("number") << QByteArray(R"({"sn":4})") << QByteArray(R"({"sn":4})");
    QTest::newRow("nested previous serial")
        << QByteArray(R"({"data":{"sn":"OLD"}})") << QByteArray(R"({"data":{"sn":"OLD"}})");
    QTest::newRow("written with an escape")
        << QByteArray(R"({"sn":"\u004fLD"})") << QByteArray(R"({"sn":"NEW"})");
    QTest::newRow("malformed") << QByteArray(R"({"sn":"OLD")") << QByteArray(R"({"sn":"OLD")");
}

void TestRequestTarget::retargeted()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, expected);
    QCOMPARE(
        QByteArray::fromStdString(tessel::requesttarget::retargeted(request.toStdString(), "OLD", "NEW")),
        expected);
}

void TestRequestTarget::readSerial_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("object");
    QTest::addColumn<QByteArray>("serial"); // "-": no text
    QTest::newRow("text") << QByteArray(R"( {"a":[1,{"sn":"x"}], "sn" : "S\u00e9"} )") << true
                          << QByteArray("S\xc3\xa9");
    QTest::newRow("missing") << QByteArray(R"({"data":{"sn":"x"}})") << true << QByteArray("-");
    QTest::newRow("number") << QByteArray(R"({"sn":4})") << true << QByteArray("-");
    QTest::newRow("twice, the last a number")
        << QByteArray(R"({"sn":"x","sn":null})") << true << QByteArray("-");
    QTest::newRow("twice, the last a text")
        << QByteArray(R"({"sn":1,"\u0073n":"y"})") << true << QByteArray("y");
    QTest::newRow("not an object") << QByteArray(R"([{"sn":"x"}])") << false << QByteArray("-");
    QTest::newRow("not JSON") << QByteArray(R"({"sn":"x"} x)") << false << QByteArray("-");
    QTest::newRow("bad UTF-8") << QByteArray("{\"sn\":\"\xff\"}") << false << QByteArray("-");
}

void TestRequestTarget::readSerial()
{
    QFETCH(QByteArray, request);
    QFETCH(bool, object);
    QFETCH(QByteArray, serial);
    const tessel::RequestSerial read = tessel::readRequestSerial(request.toStdString());
    QCOMPARE(read.object, object);
    QCOMPARE(read.text ? QByteArray::fromStdString(*read.text) : QByteArray("-"), serial);
}

QTEST_APPLESS_MAIN(TestRequestTarget)
#include "tst_requesttarget.moc"
