// The request check (position of the first fault) and the two layouts.
#include "requests/jsontext.h"

#include <QtTest>

class TestJsonText : public QObject
{
    Q_OBJECT

private slots:
    void faults_data();
    void faults();
    void layouts_data();
    void layouts();
};

void TestJsonText::faults_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line"); // 0: valid
    QTest::addColumn<int>("column");

    QTest::newRow("valid object") << QByteArray("{\"sn\":\"A1\",\"volume\":[1,2.5e3,true,null]}") << 0 << 0;
    QTest::newRow("valid scalar") << QByteArray(" 42 ") << 0 << 0;
    QTest::newRow("comma before brace") << QByteArray("{\"a\":1,}") << 1 << 8;
    QTest::newRow("bad literal on line 2") << QByteArray("{\n  \"a\": tx\n}") << 2 << 9;
    QTest::newRow("columns count characters") << QByteArray("{\"名称\":\"值\" x}") << 1 << 11;
    QTest::newRow("text after the value") << QByteArray("{}\n{}") << 2 << 1;
    QTest::newRow("cut short") << QByteArray("{\"a\":") << 1 << 6;
    QTest::newRow("empty") << QByteArray("") << 1 << 1;
    QTest::newRow("single quotes") << QByteArray("{'a':1}") << 1 << 2;
    // A NUL character is part of the text, not its end.
    QTest::newRow("NUL after the value") << QByteArray("{}\0]", 4) << 1 << 3;
    QTest::newRow("NUL where a value belongs") << QByteArray("[1,\n\0]", 6) << 2 << 1;
    QTest::newRow("NUL inside a string") << QByteArray("{\"a\0\":1}", 8) << 1 << 4;
}

void TestJsonText::faults()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(int, column);
    const std::optional<tessel::JsonFault> fault = tessel::findJsonFault(text.toStdString());
    QCOMPARE(fault.has_value(), line > 0);
    if (!fault)
        return;
    QCOMPARE(fault->line, line);
    QCOMPARE(fault->column, column);
    QVERIFY(!fault->message.empty());
    QVERIFY(fault->message.find("json.exception") == std::string::npos); // the description only
}

void TestJsonText::layouts_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("indented"); // empty: refused
    QTest::addColumn<QByteArray>("compact");

    QTest::newRow("keys keep their order")
        << QByteArray("{\"sn\": \"A1\", \"b\": 2,\n \"a\": 1}")
        << QByteArray("{\n    \"sn\": \"A1\",\n    \"b\": 2,\n    \"a\": 1\n}")
        << QByteArray("{\"sn\":\"A1\",\"b\":2,\"a\":1}");
    QTest::newRow("nesting and empty containers")
        << QByteArray("{\"l\":[1,{}],\"o\":{ },\"e\":[ ]}")
        << QByteArray("{\n    \"l\": [\n        1,\n        {}\n    ],\n    \"o\": {},\n    \"e\": []\n}")
        << QByteArray("{\"l\":[1,{}],\"o\":{},\"e\":[]}");
    // Strings, numbers and duplicate keys stay exactly as written.
    QTest::newRow("values untouched")
        << QByteArray("{\"s\":\"a, b: {c} "
                      "\\\"d\\\\\",\"n\":123456789012345678901234,\"f\":1.50,\"s\":\"中\\u6587\"}")
        << QByteArray(
               "{\n    \"s\": \"a, b: {c} \\\"d\\\\\",\n    \"n\": 123456789012345678901234,\n    \"f\": "
               "1.50,\n    \"s\": \"中\\u6587\"\n}")
        << QByteArray("{\"s\":\"a, b: {c} "
                      "\\\"d\\\\\",\"n\":123456789012345678901234,\"f\":1.50,\"s\":\"中\\u6587\"}");
    QTest::newRow("not JSON") << QByteArray("{\"a\" 1}") << QByteArray() << QByteArray();
    QTest::newRow("NUL after a number") << QByteArray("9\0}\x84", 4) << QByteArray() << QByteArray();
    QTest::newRow("NUL after an object") << QByteArray("{}\0]", 4) << QByteArray() << QByteArray();
    QTest::newRow("NUL inside a string")
        << QByteArray("{\"s\":\"a\0b\"}", 11) << QByteArray() << QByteArray();
    QTest::newRow("too deep to indent") << QByteArray(1002, '[') + QByteArray(1002, ']') << QByteArray()
                                        << QByteArray(1002, '[') + QByteArray(1002, ']');
}

void TestJsonText::layouts()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, indented);
    QFETCH(QByteArray, compact);
    const tessel::JsonLayout wide = tessel::indentJson(text.toStdString());
    const tessel::JsonLayout narrow = tessel::compactJson(text.toStdString());
    QCOMPARE(wide.fault.has_value(), indented.isEmpty());
    QCOMPARE(narrow.fault.has_value(), compact.isEmpty());
    QCOMPARE(QByteArray::fromStdString(wide.text), indented);
    QCOMPARE(QByteArray::fromStdString(narrow.text), compact);
    // Each layout is the other's starting point as well.
    if (!indented.isEmpty())
        QCOMPARE(QByteArray::fromStdString(tessel::compactJson(wide.text).text), compact);
}

QTEST_APPLESS_MAIN(TestJsonText)
#include "tst_jsontext.moc"
