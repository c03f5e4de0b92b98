// The message boxes: parentless yet above the windows that stay on top,
// modal, and showing their text, SDK replies above all, as plain text.
#include "mainwindow/demogui.h"
#include "mainwindow/logindialog.h"
#include "simulator/fleet.h"
#include "simulator/simulator.h"
#include "testsupport.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

const QString markup = QStringLiteral("<h1>终端</h1><b>忙</b>");

// Chooses an entry of the popup menu over a table row.
void choose(DemoGUI& window, int row, const QString& entry)
{
    QMenu* menu = openTableMenu(window, tableRowPoint(window, row));
    QVERIFY(menu);
    menu->hide();
    for (QAction* action : menu->actions())
        if (action->text() == entry) {
            action->trigger();
            return;
        }
    QFAIL(qPrintable("no menu entry " + entry));
}

} // namespace

class TestMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void repliesShowAsPlainText_data();
    void repliesShowAsPlainText();
};

void TestMessageBox::init()
{
    tesselsim::reset();
    tesselsim::setLatency(std::chrono::milliseconds(0));
}

void TestMessageBox::cleanup()
{
    closeAllTopLevels();
    QVERIFY(visibleTopLevels().isEmpty());
    tesselsim::reset();
}

void TestMessageBox::repliesShowAsPlainText_data()
{
    QTest::addColumn<QString>("operation"); // the SDK operation that answers with markup
    QTest::addColumn<QString>("entry");     // the popup menu's entry; empty: a search
    QTest::addColumn<QString>("expected");

    QTest::newRow("search failure") << "tsSearchTerminalAsync"
                                    << ""
                                    << "警告|" + markup;
    QTest::newRow("login failure") << "tsLoginAsync"
                                   << "连接"
                                   << "提示|登录失败 5 5" + markup;
    QTest::newRow("log-out failure") << "tsLogoutAsync"
                                     << "退出"
                                     << "提示|退出失败 5 " + markup;
    QTest::newRow("password failure") << "tsChangePassWordAsync"
                                      << "修改密码"
                                      << "提示|修改密码失败 5 " + markup;
}

void TestMessageBox::repliesShowAsPlainText()
{
    QFETCH(QString, operation);
    QFETCH(QString, entry);
    QFETCH(QString, expected);
    auto two = tesselsim::defaultFleet();
    two.resize(2);
    tesselsim::setFleet(two);
    DemoGUI window;
    window.resize(700, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.terminalList().size(), std::size_t(2));
    QVERIFY(tesselsim::waitIdle());

    tesselsim::scriptReplies(operation.toStdString(), {{5, markup.toStdString()}});
    ModalCloser closer([](QWidget* widget) {
        if (auto* dialog = qobject_cast<LoginDialog*>(widget))
            dialog->findChild<QPushButton*>("btnLogin")->click();
    });
    if (entry.isEmpty()) {
        window.findChild<QPushButton*>("pushButton")->click();
    } else {
        choose(window, 0, entry);
        if (entry == "修改密码") {
            QWidget* form = topLevel<Changepassword>();
            QVERIFY(form);
            form->findChild<QPushButton*>("pushButton")->click();
        }
    }
    QTRY_VERIFY(!closer.seen.isEmpty() && closer.seen.constLast().className == "QMessageBox");
    // Every box and dialog on the way stood above the windows that stay on top.
    for (const ModalCloser::Seen& seen : closer.seen)
        QVERIFY2(seen.onTop, qPrintable(seen.className));
    const ModalCloser::Seen& box = closer.seen.constLast();
    QCOMPARE(box.title + "|" + box.text, expected);
    QVERIFY(box.plainText);
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
