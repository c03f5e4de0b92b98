// The console's shortcuts, finder, request check and context menus.
#include "console/consoletools.h"
#include "console/demochildgui.h"
#include "console/operationfinderdialog.h"
#include "operations/operationfinder.h"
#include "simulator/simulator.h"
#include "testsupport.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

#include <memory>

namespace {

QAction* entry(QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

} // namespace

class TestConsoleTools : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sendKeys_data();
    void sendKeys();
    void tabLeavesTheRequestBox();
    void finderChoice_data();
    void finderChoice();
    void finderList_data();
    void finderList();
    void requestCheck_data();
    void requestCheck();
    void requestMenu_data();
    void requestMenu();
    void faultTipAtOnce_data();
    void faultTipAtOnce();
    void replyEntries_data();
    void replyEntries();
    void widgetsHandedIn();

private:
    QTextEdit* request() const { return console->findChild<QTextEdit*>("textEdit_2"); }
    QTextEdit* reply() const { return console->findChild<QTextEdit*>("textEdit"); }
    QComboBox* modules() const { return console->findChild<QComboBox*>("comboBox_APIModule"); }
    QComboBox* names() const { return console->findChild<QComboBox*>("comboBox_APIName"); }
    tessel::ConsoleTools* tools() const { return console->findChild<tessel::ConsoleTools*>(); }

    std::unique_ptr<DemoChildGUI> console;
    QList<QByteArray> sent;
};

void TestConsoleTools::init()
{
    tesselsim::reset();
    sent.clear();
    console = std::make_unique<DemoChildGUI>();
    console->setRequestSender([this](const QByteArray& name, const QByteArray&) { sent.append(name); });
    console->show();
    QApplication::setActiveWindow(console.get());
    QVERIFY(QTest::qWaitForWindowActive(console.get()));
}

void TestConsoleTools::cleanup()
{
    console.reset();
    closeAllTopLevels();
    QVERIFY(visibleTopLevels().isEmpty());
    tesselsim::reset();
}

void TestConsoleTools::sendKeys_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("sends");

    QTest::newRow("Ctrl+Return in the request box")
        << "textEdit_2" << int(Qt::Key_Return) << int(Qt::ControlModifier) << 1;
    QTest::newRow("Ctrl+Enter in the name box")
        << "comboBox_APIName" << int(Qt::Key_Enter) << int(Qt::ControlModifier | Qt::KeypadModifier) << 1;
    QTest::newRow("Ctrl+Return in the serial field")
        << "lineEdit" << int(Qt::Key_Return) << int(Qt::ControlModifier) << 1;
    QTest::newRow("Return alone types a line end") << "textEdit_2" << int(Qt::Key_Return) << 0 << 0;
}

void TestConsoleTools::sendKeys()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, sends);
    modules()->setCurrentIndex(3);
    names()->setCurrentIndex(names()->findText("setVolume()"));
    auto* target = console->findChild<QWidget*>(focus);
    target->setFocus();
    QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(sent.size(), sends);
    if (sends)
        QCOMPARE(sent.front(), QByteArray("setVolume()"));
}

void TestConsoleTools::tabLeavesTheRequestBox()
{
    request()->setPlainText("{}");
    request()->setFocus();
    QTest::keyClick(request(), Qt::Key_Tab);
    QCOMPARE(request()->toPlainText(), QStringLiteral("{}"));
    QVERIFY(!request()->hasFocus());
}

void TestConsoleTools::finderChoice_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("downs");
    QTest::addColumn<int>("module"); // -1: Escape, nothing chosen
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("current"); // the name is current already, its request edited

    QTest::newRow("first match") << "getvolume" << 0 << 3 << "getVolume()" << false;
    QTest::newRow("down to the next") << "getvolume" << 1 << 3 << "getVolumeFor0x99()" << false;
    QTest::newRow("repeated name, first module")
        << "getcloudpl" << 0 << 34 << "getCloudPlayerList()" << false;
    QTest::newRow("escape") << "getvolume" << 0 << -1 << "" << false;
    QTest::newRow("the current operation reloads its sample")
        << "getvolume" << 0 << 3 << "getVolume()" << true;
    QTest::newRow("escape keeps the edited request") << "getvolume" << 0 << -1 << "" << true;
}

void TestConsoleTools::finderChoice()
{
    QFETCH(QString, query);
    QFETCH(int, downs);
    QFETCH(int, module);
    QFETCH(QString, name);
    QFETCH(bool, current);

    if (current) {
        modules()->setCurrentIndex(3);
        names()->setCurrentIndex(names()->findText("getVolume()"));
        request()->setPlainText("edited");
    }
    // What picking by hand loads, in a console of its own.
    DemoChildGUI byHand;
    QString expected = request()->toPlainText();
    if (module >= 0) {
        byHand.findChild<QComboBox*>("comboBox_APIModule")->setCurrentIndex(module);
        auto* handNames = byHand.findChild<QComboBox*>("comboBox_APIName");
        handNames->setCurrentIndex(handNames->findText(name));
        expected = byHand.findChild<QTextEdit*>("textEdit_2")->toPlainText();
        QVERIFY(!expected.isEmpty());
    }
    const QString before = names()->currentText();

    request()->setFocus();
    QTest::keyClick(request(), Qt::Key_F, Qt::ControlModifier);
    auto* finder = console->findChild<tessel::OperationFinderDialog*>();
    QVERIFY(finder && finder->isVisible());
    auto* field = finder->findChild<QLineEdit*>("finderField");
    QTest::keyClicks(field, query);
    for (int i = 0; i < downs; ++i)
        QTest::keyClick(field, Qt::Key_Down);
    QTest::keyClick(field, module >= 0 ? Qt::Key_Return : Qt::Key_Escape);
    QVERIFY(!finder->isVisible());

    QCOMPARE(modules()->currentIndex(), module >= 0 ? module : current ? 3 : 0);
    QCOMPARE(names()->currentText(), module >= 0 ? name : before);
    QCOMPARE(request()->toPlainText(), expected);
}

void TestConsoleTools::finderList_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("head"); // the first rows of the list

    QTest::newRow("word starts first") << "gvol" << QStringList{"getVolume()", "getTimingVolume()"};
    QTest::newRow("nothing matches") << "zzqx" << QStringList{"无匹配的接口"};
}

void TestConsoleTools::finderList()
{
    QFETCH(QString, query);
    QFETCH(QStringList, head);
    tessel::OperationFinderDialog finder;
    QSignalSpy chosen(&finder, &tessel::OperationFinderDialog::chosen);
    finder.show();
    auto* field = finder.findChild<QLineEdit*>("finderField");
    auto* list = finder.findChild<QListWidget*>("finderList");
    QTest::keyClicks(field, query);
    QStringList rows;
    for (int row = 0; row < std::min(list->count(), int(head.size())); ++row)
        rows << list->item(row)->text().section("    ", 0, 0); // the name, without its module
    QCOMPARE(rows, head);
    // Enter chooses a match; the notice is no choice and the finder stays.
    const bool none = head == QStringList{"无匹配的接口"};
    QCOMPARE(list->count() == 1 && !(list->item(0)->flags() & Qt::ItemIsSelectable), none);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(chosen.count(), none ? 0 : 1);
    QCOMPARE(finder.isVisible(), none);
}

void TestConsoleTools::requestCheck_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fault"); // part of the tool tip; empty: no mark

    QTest::newRow("valid") << "{\"sn\":\"A1\"}"
                           << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("trailing comma") << "{\"a\":1,}"
                                    << "第 1 行，第 8 列";
    QTest::newRow("second line") << "{\n\"名\": x}"
                                 << "第 2 行，第 6 列";
    // The parser quotes the whole unterminated string; the tip stays short.
    QTest::newRow("unterminated long string") << "\"" + QString(300000, 'A') << "第 1 行，第 300002 列";
    QTest::newRow("valid, folded in the box") << "[\"" + QString(300000, 'A') + "\"]"
                                              << "";
}

void TestConsoleTools::requestCheck()
{
    QFETCH(QString, text);
    QFETCH(QString, fault);
    // Start marked, so that taking the mark away is seen as well.
    request()->setPlainText("{");
    QTRY_VERIFY(!request()->styleSheet().isEmpty());
    request()->setPlainText(text);
    if (fault.isEmpty()) {
        QTRY_VERIFY(request()->styleSheet().isEmpty());
        QVERIFY(request()->toolTip().isEmpty());
    } else {
        QTRY_VERIFY(request()->toolTip().contains(fault));
        QVERIFY(request()->styleSheet().contains("border"));
        QVERIFY2(request()->toolTip().size() < 300, qPrintable(request()->toolTip().left(400)));
    }
}

void TestConsoleTools::requestMenu_data()
{
    QTest::addColumn<int>("module");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("result");    // the request afterwards; empty: unchanged
    QTest::addColumn<QString>("clipboard"); // part of what was copied; empty: nothing

    const QString sn = "{\"sn\":\"屏\"}";
    QTest::newRow("format") << 3 << "格式化 JSON"
                            << "{\"sn\":\"A1\",\"a\":[]}" << true
                            << "{\n    \"sn\": \"A1\",\n    \"a\": []\n}"
                            << "";
    QTest::newRow("compact") << 3 << "压缩 JSON"
                             << "{\n  \"sn\" : \"A1\"\n}" << true << "{\"sn\":\"A1\"}"
                             << "";
    QTest::newRow("format refused") << 3 << "格式化 JSON"
                                    << "{\"sn\" \"A1\"}" << true << ""
                                    << "";
    QTest::newRow("compact refused") << 3 << "压缩 JSON"
                                     << "[1,,2]" << true << ""
                                     << "";
    QTest::newRow("format refused, NUL after the value")
        << 3 << "格式化 JSON" << QString("{}") + QChar(0) + "]" << true << ""
        << "";
    QTest::newRow("C#")
        << 3 << "复制为 C# 代码" << sn << true << ""
        << "GetBytes(\"{\\\"sn\\\":\\\"屏\\\"}\");\ntesselcore.TsGetVolumeAsync(request, callback);";
    QTest::newRow("Java")
        << 3 << "复制为 Java 代码" << sn << true << ""
        << "\"{\\\"sn\\\":\\\"屏\\\"}\";\ntesselcore.INSTANCE.tsGetVolumeAsync(request, callBack);";
    QTest::newRow("C# without an operation") << 1 << "复制为 C# 代码" << sn << false << ""
                                             << "";
    QTest::newRow("Java without an operation") << 1 << "复制为 Java 代码" << sn << false << ""
                                               << "";
}

void TestConsoleTools::requestMenu()
{
    QFETCH(int, module);
    QFETCH(QString, entry);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(QString, result);
    QFETCH(QString, clipboard);
    modules()->setCurrentIndex(module); // getVolume() or the placeholder "待开发" current
    request()->setPlainText(text);
    QApplication::clipboard()->clear();
    std::unique_ptr<QMenu> menu(tools()->requestMenu());
    QAction* action = ::entry(menu.get(), entry);
    QVERIFY(action);
    QCOMPARE(action->isEnabled(), enabled);
    if (!enabled)
        return;
    action->trigger();
    QCOMPARE(request()->toPlainText(), result.isEmpty() ? text : result);
    QVERIFY2(QApplication::clipboard()->text().contains(clipboard),
             qPrintable(QApplication::clipboard()->text()));
    // A refused layout names the place of the fault at once.
    const bool refused = result.isEmpty() && clipboard.isEmpty();
    QCOMPARE(request()->toolTip().contains("第 1 行"), refused);
}

void TestConsoleTools::faultTipAtOnce_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fault"); // in the tip; empty: no tip

    QTest::newRow("format, colon missing") << "格式化 JSON"
                                           << "{\"sn\" \"A1\"}"
                                           << "第 1 行，第 10 列";
    QTest::newRow("compact, second line") << "压缩 JSON"
                                          << "[1,\n,2]"
                                          << "第 2 行，第 1 列";
    QTest::newRow("format, valid") << "格式化 JSON"
                                   << "{\"sn\":\"A1\"}"
                                   << "";
}

void TestConsoleTools::faultTipAtOnce()
{
    QFETCH(QString, entry);
    QFETCH(QString, text);
    QFETCH(QString, fault);
    request()->setPlainText(text);
    // Chosen with the mouse from the open menu, which closes on the click.
    std::unique_ptr<QMenu> menu(tools()->requestMenu());
    menu->popup(request()->mapToGlobal(QPoint(10, 10)));
    QVERIFY(QTest::qWaitForWindowExposed(menu.get()));
    QTest::mouseClick(menu.get(), Qt::LeftButton, {},
                      menu->actionGeometry(::entry(menu.get(), entry)).center());
    QTRY_VERIFY(!menu->isVisible());
    QCoreApplication::processEvents();
    auto* tip = console->findChild<QLabel*>("faultTip");
    if (fault.isEmpty()) {
        QVERIFY(!tip || !tip->isVisible());
        return;
    }
    QVERIFY(tip && tip->isVisible());
    QVERIFY2(tip->text().contains(fault), qPrintable(tip->text()));
    QCOMPARE(request()->toPlainText(), text);
    QTest::keyClicks(request(), " "); // the next edit takes it away
    QVERIFY(!tip->isVisible());
}

void TestConsoleTools::replyEntries_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("indented"); // the box with "格式化显示" on

    QTest::newRow("JSON") << "{\"b\":1,\"a\":[2]}"
                          << "0\n{\n    \"b\": 1,\n    \"a\": [\n        2\n    ]\n}";
    QTest::newRow("not JSON") << "timeout"
                              << "0\ntimeout";
    QTest::newRow("blanks and escapes as sent") << "{ \"a\" :\t\"\\u00e9\" }"
                                                << "0\n{\n    \"a\": \"\\u00e9\"\n}";
}

void TestConsoleTools::replyEntries()
{
    QFETCH(QString, reply);
    QFETCH(QString, indented);
    const QString plain = "0\n" + reply;
    const auto toggle = [this] {
        std::unique_ptr<QMenu> menu(tools()->replyMenu());
        entry(menu.get(), "格式化显示")->trigger();
    };
    const auto copy = [this] {
        std::unique_ptr<QMenu> menu(tools()->replyMenu());
        entry(menu.get(), "复制回复")->trigger();
        return QApplication::clipboard()->text();
    };

    console->soltGetResponseData(0, reply);
    QCOMPARE(this->reply()->toPlainText(), plain);
    QCOMPARE(copy(), reply);
    toggle(); // on: this and the later replies are shown indented
    QCOMPARE(this->reply()->toPlainText(), indented);
    console->soltGetResponseData(0, reply);
    QCOMPARE(this->reply()->toPlainText(), indented);
    QCOMPARE(copy(), reply); // as it came, not as shown
    toggle();                // off: the reply as it came
    QCOMPARE(this->reply()->toPlainText(), plain);
    this->reply()->clear(); // as choosing another operation does
    toggle();
    QVERIFY(this->reply()->toPlainText().isEmpty());
}

// The tools go by the widgets and the sample loader they are given.
void TestConsoleTools::widgetsHandedIn()
{
    QWidget owner;
    QComboBox modules(&owner), names(&owner);
    QTextEdit request(&owner), reply(&owner);
    QPushButton send(&owner);
    int reloads = 0;
    tessel::ConsoleTools tools(owner, {modules, names, request, reply, send, [&reloads] {
                                           ++reloads;
                                       }});
    // Choosing the operation on show, in boxes of no name, loads its sample again.
    const tessel::FinderEntry& first = tessel::finderEntries().front();
    for (int i = 0; i <= std::max(first.moduleIndex, first.nameIndex); ++i) {
        modules.addItem("x");
        names.addItem("x");
    }
    modules.setCurrentIndex(first.moduleIndex);
    names.setCurrentIndex(first.nameIndex);
    tools.openFinder();
    emit owner.findChild<tessel::OperationFinderDialog*>()->chosen(0);
    QCOMPARE(reloads, 1);
}

QTEST_MAIN(TestConsoleTools)
#include "tst_consoletools.moc"
