// The console window: its form, start-up state, module changes, sample
// loading, the result display and Send.

#include "console/consoletools.h"
#include "console/demochildgui.h"
#include "operations/catalogue.h"
#include "operations/samples.h"
#include "simulator/simulator.h"
#include "testsupport.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaMethod>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTextEdit>
#include <QtTest>

#include <memory>
#include <string>
#include <vector>

using namespace tessel;

namespace {

struct SentRequest
{
    QByteArray apiName;
    QByteArray requestText;
};

QStringList itemsOf(const QComboBox* box)
{
    QStringList items;
    for (int index = 0; index < box->count(); ++index)
        items.append(box->itemText(index));
    return items;
}

QStringList toQStringList(const std::vector<std::string>& names)
{
    QStringList list;
    for (const std::string& name : names)
        list.append(QString::fromStdString(name));
    return list;
}

// The console's widgets, looked up by their object names.
struct Form
{
    explicit Form(DemoChildGUI& console)
        : modules(console.findChild<QComboBox*>("comboBox_APIModule")),
          names(console.findChild<QComboBox*>("comboBox_APIName")),
          serial(console.findChild<QLineEdit*>("lineEdit")),
          request(console.findChild<QTextEdit*>("textEdit_2")),
          reply(console.findChild<QTextEdit*>("textEdit")),
          send(console.findChild<QPushButton*>("pushButton"))
    {}
    bool complete() const { return modules && names && serial && request && reply && send; }

    QComboBox* modules;
    QComboBox* names;
    QLineEdit* serial;
    QTextEdit* request;
    QTextEdit* reply;
    QPushButton* send;
};

} // namespace

class TestDemoChildGui : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void metaObject();
    void form();
    void startState();
    void moduleChange();
    void moduleChangeOutOfRange();
    void everyNameLoadsItsSample();
    void serialField();
    void resultDisplay();
    void sendUsesCurrentNameAndRequest();
    void sendWithoutSender();
    void senderIsReplaced();
    void samplesCarryTheConsoleSerial_data();
    void samplesCarryTheConsoleSerial();
    void anotherTerminalRetargetsTheRequest_data();
    void anotherTerminalRetargetsTheRequest();
    void repliesAreShownAsPlainText_data();
    void repliesAreShownAsPlainText();
    void nameWithoutOperationSaysSo_data();
    void nameWithoutOperationSaysSo();
    void originLineSaysTheRequestWaits_data();
    void originLineSaysTheRequestWaits();
    void batchEntryNamesItsShortcut();
};

void TestDemoChildGui::init()
{
    tesselsim::reset();
}

void TestDemoChildGui::cleanup()
{
    closeAllTopLevels();
    tesselsim::reset();
}

void TestDemoChildGui::metaObject()
{
    const QMetaObject& meta = DemoChildGUI::staticMetaObject;
    QCOMPARE(meta.className(), "DemoChildGUI");
    QStringList slotList;
    for (int index = meta.methodOffset(); index < meta.methodCount(); ++index) {
        const QMetaMethod method = meta.method(index);
        QCOMPARE(method.methodType(), QMetaMethod::Slot); // no signals
        QCOMPARE(method.returnType(), int(QMetaType::Void));
        slotList.append(QString::fromLatin1(method.methodSignature()));
    }
    QCOMPARE(slotList,
             (QStringList{"soltsGetInfo()", "soltsGetSN(QString)", "soltGetResponseData(int,QString)",
                          "slotsChangeAPI(int)", "slotsSetRequestData(QString)"}));
}

void TestDemoChildGui::form()
{
    DemoChildGUI console;
    const Form ui(console);
    QVERIFY(ui.complete());
    QCOMPARE(console.objectName(), QStringLiteral("DemoChildGUIClass"));
    QCOMPARE(console.windowTitle(), QStringLiteral("DemoChildGUI"));
    QCOMPARE(console.size(), QSize(575, 445));
    QVERIFY(console.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!console.parentWidget());

    const auto* grid = console.findChild<QGridLayout*>("gridLayout");
    QVERIFY(grid);
    QCOMPARE(grid->spacing(), 6);
    QCOMPARE(grid->contentsMargins(), QMargins(11, 11, 11, 11));
    QCOMPARE(grid->rowCount(), 6);
    QCOMPARE(grid->columnCount(), 1);
    QCOMPARE(grid->itemAtPosition(4, 0)->widget(), static_cast<QWidget*>(ui.request));
    const char* rowLayouts[] = {
        "horizontalLayout_4", "horizontalLayout", "horizontalLayout_3", "horizontalLayout_2", nullptr,
        "verticalLayout_2"};
    for (int row = 0; row < 6; ++row) {
        if (!rowLayouts[row])
            continue;
        QLayout* layout = grid->itemAtPosition(row, 0)->layout();
        QVERIFY(layout);
        QCOMPARE(layout->objectName(), QString::fromLatin1(rowLayouts[row]));
        QCOMPARE(layout->spacing(), 6);
    }
    auto* horizontal7 = console.findChild<QLayout*>("horizontalLayout_7");
    QVERIFY(horizontal7);
    QCOMPARE(horizontal7->indexOf(ui.send), 2);

    const std::pair<const char*, const char*> labels[] = {{"label_5", "接口模块"},
                                                          {"label", "接口名称"},
                                                          {"label_4", "sn"},
                                                          {"label_2", "参数"},
                                                          {"label_3", "接口返回数据"}};
    for (const auto& [name, text] : labels) {
        const auto* label = console.findChild<QLabel*>(name);
        QVERIFY2(label, name);
        QCOMPARE(label->text(), QString::fromUtf8(text));
    }
    QCOMPARE(ui.send->text(), QStringLiteral("请求"));

    QCOMPARE(ui.modules->minimumSize(), QSize(400, 30));
    QCOMPARE(ui.names->minimumSize(), QSize(400, 30));
    QVERIFY(!ui.modules->isEditable());
    QVERIFY(!ui.names->isEditable());
    QVERIFY(!ui.request->isReadOnly());
    QVERIFY(!ui.reply->isReadOnly());

    const QString itemStyle = QStringLiteral("QComboBox QAbstractItemView::item {min-height: 25px;}");
    QCOMPARE(ui.modules->styleSheet(), itemStyle);
    QCOMPARE(ui.names->styleSheet(), itemStyle);
    QVERIFY(qobject_cast<QStyledItemDelegate*>(ui.modules->itemDelegate()));
    QCOMPARE(ui.modules->itemDelegate(), ui.names->itemDelegate());
}

void TestDemoChildGui::startState()
{
    DemoChildGUI console;
    const Form ui(console);
    QVERIFY(ui.complete());
    QVERIFY(!console.isVisible());
    QCOMPARE(ui.modules->count(), 47);
    QCOMPARE(ui.modules->currentIndex(), 0);
    QCOMPARE(ui.modules->currentText(), QStringLiteral("ALL(所有接口)"));
    QCOMPARE(itemsOf(ui.names), toQStringList(apiNames(0))); // each of the 271 once
    QCOMPARE(ui.names->currentIndex(), 0);
    QCOMPARE(ui.names->currentText(), QStringLiteral("待开发"));
    QVERIFY(ui.request->toPlainText().isEmpty());
    QVERIFY(ui.reply->toPlainText().isEmpty());
    QVERIFY(ui.serial->text().isEmpty());
}

void TestDemoChildGui::moduleChange()
{
    DemoChildGUI console;
    const Form ui(console);
    ui.request->setPlainText("edited request");
    ui.reply->setPlainText("0\n{}");

    // A module whose only entry is a placeholder keeps the request.
    ui.modules->setCurrentIndex(1);
    QCOMPARE(itemsOf(ui.names), QStringList{"待开发"});
    QCOMPARE(ui.request->toPlainText(), QStringLiteral("edited request"));
    QVERIFY(ui.reply->toPlainText().isEmpty());

    ui.reply->setPlainText("0\n{}");
    ui.modules->setCurrentIndex(30);
    QCOMPARE(itemsOf(ui.names), (QStringList{"updateApp()", "updateOS()", "updateAppVerify()"}));
    QCOMPARE(ui.names->currentText(), QStringLiteral("updateApp()"));
    QCOMPARE(ui.request->toPlainText(), QString::fromUtf8(sampleRequest("updateApp()")));
    QVERIFY(ui.reply->toPlainText().isEmpty());

    ui.modules->setCurrentIndex(46);
    QCOMPARE(itemsOf(ui.names), toQStringList(apiNames(46)));
    QCOMPARE(ui.names->itemText(5), QStringLiteral("downloadTerminalPlayLog()"));

    // A repeated name behaves the same in either module.
    ui.modules->setCurrentIndex(39);
    QCOMPARE(ui.names->currentText(), QStringLiteral("getCloudPlayerList()"));
    const QString fromModule39 = ui.request->toPlainText();
    ui.modules->setCurrentIndex(34);
    ui.names->setCurrentText("getCloudPlayerList()");
    QCOMPARE(ui.request->toPlainText(), fromModule39);

    ui.modules->setCurrentIndex(0);
    QCOMPARE(ui.names->count(), 271);
}

void TestDemoChildGui::moduleChangeOutOfRange()
{
    DemoChildGUI console;
    const Form ui(console);
    ui.modules->setCurrentIndex(30);
    for (int index : {-1, 47}) {
        QVERIFY(QMetaObject::invokeMethod(&console, "slotsChangeAPI", Q_ARG(int, index)));
        QCOMPARE(ui.names->count(), 3);
    }
}

void TestDemoChildGui::everyNameLoadsItsSample()
{
    DemoChildGUI console;
    const Form ui(console);
    const QString marker = QStringLiteral("kept request");
    // Walking backwards makes every step a change of the current entry.
    for (int index = ui.names->count() - 1; index >= 0; --index) {
        ui.request->setPlainText(marker);
        ui.reply->setPlainText("1\nold reply");
        ui.names->setCurrentIndex(index);
        const QString name = ui.names->itemText(index);
        const char* sample = sampleRequest(name.toStdString());
        QVERIFY2(ui.reply->toPlainText().isEmpty(), qPrintable(name));
        QCOMPARE(ui.request->toPlainText(), sample ? QString::fromUtf8(sample) : marker);
    }

    // Named cases: a name without a sample after one with a sample, and an
    // empty sample.
    ui.names->setCurrentText("setVolume()");
    ui.names->setCurrentText("GetSpliceInfo()");
    QCOMPARE(ui.request->toPlainText(), QString::fromUtf8(sampleRequest("setVolume()")));
    ui.names->setCurrentText("logOut()");
    QVERIFY(ui.request->toPlainText().isEmpty());
    ui.names->setCurrentText("setHdmiOutputStatus()");
    QCOMPARE(ui.request->toPlainText(), QStringLiteral(R"({"sn":"BZSA07194A0049999716","info":{"value":1})"));
}

void TestDemoChildGui::serialField()
{
    DemoChildGUI console;
    const Form ui(console);
    ui.serial->setText("old");
    QVERIFY(QMetaObject::invokeMethod(&console, "soltsGetSN", Q_ARG(QString, "BZSA07194A0049999716")));
    QCOMPARE(ui.serial->text(), QStringLiteral("BZSA07194A0049999716"));
}

void TestDemoChildGui::resultDisplay()
{
    DemoChildGUI console;
    const Form ui(console);
    console.soltGetResponseData(65535, "first reply");
    QCOMPARE(ui.reply->toPlainText(), QStringLiteral("65535\nfirst reply"));

    const QString json =
        QStringLiteral(R"({"sn":"BZSA07194A0049999716","volumeInfo":{"ratio":60.0},"名称":"节目01"})");
    console.soltGetResponseData(0, json);
    const QStringList lines = ui.reply->toPlainText().split('\n');
    QCOMPARE(lines, (QStringList{"0", json}));

    console.soltGetResponseData(-3, QString());
    QCOMPARE(ui.reply->toPlainText(), QStringLiteral("-3\n"));
}

void TestDemoChildGui::sendUsesCurrentNameAndRequest()
{
    DemoChildGUI console;
    const Form ui(console);
    std::vector<SentRequest> sent;
    console.setRequestSender([&sent](const QByteArray& apiName, const QByteArray& requestText) {
        sent.push_back({apiName, requestText});
    });

    ui.names->setCurrentText("setPageParam()(文本简化)");
    const QString request = ui.request->toPlainText().replace("节目01", "节目02");
    ui.request->setPlainText(request);
    ui.serial->setText("ignored serial");
    QTest::mouseClick(ui.send, Qt::LeftButton);

    QCOMPARE(sent.size(), std::size_t(1));
    QCOMPARE(sent[0].apiName, QByteArray("setPageParam()(文本简化)"));
    QCOMPARE(sent[0].requestText, request.toUtf8());
    QVERIFY(!sent[0].requestText.contains("ignored serial"));
    QCOMPARE(ui.request->toPlainText(), request);
    QVERIFY(ui.send->isEnabled());

    ui.send->click();
    QCOMPARE(sent.size(), std::size_t(2));
}

void TestDemoChildGui::sendWithoutSender()
{
    DemoChildGUI console;
    const Form ui(console);
    ui.names->setCurrentText("getVolume()");
    ui.send->click();
    QCOMPARE(ui.request->toPlainText(), QString::fromUtf8(sampleRequest("getVolume()")));
    QVERIFY(ui.reply->toPlainText().isEmpty());

    // An empty callable counts as no sender.
    console.setRequestSender(DemoChildGUI::RequestSender());
    ui.send->click();
    QVERIFY(ui.reply->toPlainText().isEmpty());
}

void TestDemoChildGui::senderIsReplaced()
{
    DemoChildGUI console;
    const Form ui(console);
    auto firstToken = std::make_shared<int>(0);
    int firstCalls = 0;
    int secondCalls = 0;
    console.setRequestSender(
        [firstToken, &firstCalls](const QByteArray&, const QByteArray&) { ++firstCalls; });
    QCOMPARE(firstToken.use_count(), 2L);
    console.setRequestSender([&secondCalls](const QByteArray&, const QByteArray&) { ++secondCalls; });
    QCOMPARE(firstToken.use_count(), 1L); // the earlier sender is released
    ui.names->setCurrentText("getVolume()");
    ui.send->click();
    QCOMPARE(firstCalls, 0);
    QCOMPARE(secondCalls, 1);
}

void TestDemoChildGui::samplesCarryTheConsoleSerial_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected"); // empty: the sample as stored
    QTest::newRow("text") << "W9A5HAJW"
                          << "getVolume()"
                          << R"({"sn":"W9A5HAJW"})";
    QTest::newRow("text, more members") << "W9A5HAJW"
                                        << "getPolicyBrightnessFor0x99()"
                                        << R"({"sn":"W9A5HAJW","data":null})";
    QTest::newRow("number") << "W9A5HAJW"
                            << "setManualSolidPower()" << QString();
    QTest::newRow("malformed") << "W9A5HAJW"
                               << "setHdmiOutputStatus()" << QString();
    QTest::newRow("no serial shown") << QString() << "getVolume()" << QString();
}

void TestDemoChildGui::samplesCarryTheConsoleSerial()
{
    QFETCH(QString, serial);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    DemoChildGUI console;
    const Form ui(console);
    console.soltsGetSN(serial);
    ui.names->setCurrentText(name);
    QCOMPARE(ui.names->currentText(), name);
    QCOMPARE(ui.request->toPlainText(),
             expected.isEmpty() ? QString::fromUtf8(sampleRequest(name.toStdString())) : expected);
}

void TestDemoChildGui::anotherTerminalRetargetsTheRequest_data()
{
    QTest::addColumn<QString>("edited"); // empty: the loaded sample {"sn":"A1"} stays
    QTest::addColumn<QString>("next");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("replyCleared");
    QTest::newRow("previous serial") << QString() << "B2"
                                     << R"({"sn":"B2"})" << true;
    QTest::newRow("edited to another terminal") << R"({"sn":"C3"})"
                                                << "B2"
                                                << R"({"sn":"C3"})" << true;
    QTest::newRow("nested previous serial") << R"({"data":{"sn":"A1"}})"
                                            << "B2"
                                            << R"({"data":{"sn":"A1"}})" << true;
    QTest::newRow("same terminal again") << QString() << "A1"
                                         << R"({"sn":"A1"})" << false;
}

void TestDemoChildGui::anotherTerminalRetargetsTheRequest()
{
    QFETCH(QString, edited);
    QFETCH(QString, next);
    QFETCH(QString, expected);
    QFETCH(bool, replyCleared);
    DemoChildGUI console;
    const Form ui(console);
    console.soltsGetSN("A1");
    ui.names->setCurrentText("getVolume()");
    if (!edited.isEmpty())
        ui.request->setPlainText(edited);
    console.soltGetResponseData(0, "result of A1");
    console.soltsGetSN(next);
    QCOMPARE(ui.serial->text(), next);
    QCOMPARE(ui.request->toPlainText(), expected);
    QCOMPARE(ui.reply->toPlainText().isEmpty(), replyCleared);
}

void TestDemoChildGui::repliesAreShownAsPlainText_data()
{
    QTest::addColumn<QString>("reply");
    QTest::newRow("bold") << R"({"msg":"<b>x</b>"})";
    QTest::newRow("entity") << "&lt;&amp;";
    QTest::newRow("image") << R"(<img src="file:///etc/hostname">)";
    QTest::newRow("whole document") << "<html><body><h1>t</h1></body></html>";
}

void TestDemoChildGui::repliesAreShownAsPlainText()
{
    QFETCH(QString, reply);
    DemoChildGUI console;
    const Form ui(console);
    console.soltGetResponseData(3, reply);
    QCOMPARE(ui.reply->toPlainText(), "3\n" + reply);
    QVERIFY(!ui.reply->toHtml().contains("<img"));
    QVERIFY(!ui.reply->toHtml().contains("<b>"));
}

void TestDemoChildGui::nameWithoutOperationSaysSo_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("withSender");
    QTest::addColumn<bool>("sent");
    QTest::newRow("placeholder") << "待开发" << true << false;
    QTest::newRow("catalogue name without operation") << "runApp()" << true << false;
    QTest::newRow("no sender installed") << "batchLogin()" << false << false;
    QTest::newRow("name with operation") << "getVolume()" << true << true;
}

void TestDemoChildGui::nameWithoutOperationSaysSo()
{
    QFETCH(QString, name);
    QFETCH(bool, withSender);
    QFETCH(bool, sent);
    DemoChildGUI console;
    const Form ui(console);
    int sends = 0;
    if (withSender)
        console.setRequestSender([&sends](const QByteArray&, const QByteArray&) { ++sends; });
    ui.names->setCurrentText(name);
    QCOMPARE(ui.names->currentText(), name);
    ui.send->click();
    QCOMPARE(sends, sent ? 1 : 0);
    QCOMPARE(ui.reply->toPlainText(), sent ? QString() : QString("该接口没有可调用的SDK操作，请求未发送"));
}

void TestDemoChildGui::originLineSaysTheRequestWaits_data()
{
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<QString>("waiting"); // the line while it waits, as a pattern
    QTest::addColumn<int>("answered");    // the request a result comes for; 7 is the one waited for
    QTest::addColumn<QString>("after");   // the line then, as a pattern
    const QString origin = "getVolume\\(\\) · B1 · 900 ms";
    QTest::newRow("seconds count") << 10000 << "^等待回复… 1 秒$" << 7 << "^" + origin + "$";
    QTest::newRow("timeout") << 300 << "^0.3 秒内没有回复（已超时）$" << 7 << "^" + origin + "$";
    QTest::newRow("earlier request's result")
        << 60000 << "^等待回复… 0 秒$" << 6 << "^等待回复… \\d+ 秒（上方是 " + origin + " 的回复）$";
    QTest::newRow("timeout, then an earlier result")
        << 300 << "秒内没有回复" << 6 << "^0.3 秒内没有回复（已超时）（上方是 " + origin + " 的回复）$";
}

// From the send to its first result or its timeout, the line below the reply
// says that the request waits; then it names the request a reply answers.
void TestDemoChildGui::originLineSaysTheRequestWaits()
{
    QFETCH(int, timeoutMs);
    QFETCH(QString, waiting);
    QFETCH(int, answered);
    QFETCH(QString, after);
    DemoChildGUI console;
    const auto* origin = console.findChild<QLabel*>("replyOrigin");
    QVERIFY(origin);
    console.setReplyTimeout(std::chrono::milliseconds(timeoutMs));
    console.awaitReply(7);
    QTRY_VERIFY2(QRegularExpression(waiting).match(origin->text()).hasMatch(), qPrintable(origin->text()));
    console.setNextReplyOrigin("getVolume() · B1 · 900 ms", std::uint64_t(answered));
    console.soltGetResponseData(0, "{}");
    QVERIFY2(QRegularExpression(after).match(origin->text()).hasMatch(), qPrintable(origin->text()));
}

// "批量发送…" names its shortcut in the menu as "历史记录" does, and the
// shortcut still opens one batch, not two, and is not taken for ambiguous.
void TestDemoChildGui::batchEntryNamesItsShortcut()
{
    DemoChildGUI console;
    int opened = 0;
    console.setBatchOpener([&opened](const QByteArray&, const QByteArray&) { ++opened; });
    std::unique_ptr<QMenu> menu(console.findChild<tessel::ConsoleTools*>("consoleTools")->requestMenu());
    QAction* batch = nullptr;
    for (QAction* action : menu->actions())
        if (action->text() == "批量发送…")
            batch = action;
    QVERIFY(batch);
    QCOMPARE(batch->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Return));
    QVERIFY(batch->isShortcutVisibleInContextMenu());
    console.show();
    QApplication::setActiveWindow(&console);
    QVERIFY(QTest::qWaitForWindowActive(&console));
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
        QTest::keyClick(Form(console).request, key, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(opened, 2);
}

QTEST_MAIN(TestDemoChildGui)
#include "tst_demochildgui.moc"
