// The login dialog and the change-password widget on their own.
#include "console/consolehistory.h"
#include "console/demochildgui.h"
#include "historywindow/historywindow.h"
#include "mainwindow/changepassword.h"
#include "mainwindow/demogui.h"
#include "mainwindow/logindialog.h"
#include "simulator/fleet.h"
#include "simulator/simulator.h"
#include "testsupport.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaMethod>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTimer>
#include <QWindow>
#include <QtTest>

namespace {

QStringList ownMethods(const QMetaObject& meta)
{
    QStringList methods;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
        methods << QString::fromLatin1(meta.method(i).methodSignature());
    return methods;
}

struct SureCall
{
    QByteArray oldPassword, newPassword;
    int noticesBefore;
};

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init() { tesselsim::reset(); }
    void cleanup();

    void loginForm();
    void loginEmits_data();
    void loginEmits();
    void loginCancelEmitsNothing_data();
    void loginCancelEmitsNothing();
    void loginByKeyboard_data();
    void loginByKeyboard();
    void escapeCloses_data();
    void escapeCloses();
    void changePasswordForm();
    void confirmHandsOnPasswords_data();
    void confirmHandsOnPasswords();
    void confirmWithoutCallback();
};

void TestDialogs::cleanup()
{
    closeAllTopLevels();
    QVERIFY(visibleTopLevels().isEmpty());
    tesselsim::reset();
}

void TestDialogs::loginForm()
{
    LoginDialog dialog;
    QCOMPARE(dialog.objectName(), QString("LoginDialog"));
    QCOMPARE(dialog.windowTitle(), QString("login"));
    QCOMPARE(
        ownMethods(LoginDialog::staticMetaObject),
        (QStringList{"signalsUserInfo(QString,QString)", "slotsLoginClicked()", "slotsCancelClicked()"}));
    QCOMPARE(dialog.findChild<QLineEdit*>("editPassword")->echoMode(), QLineEdit::Password);
    // Parentless, yet above the windows that stay on top.
    QVERIFY(!dialog.parent());
    QVERIFY(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

void TestDialogs::loginEmits_data()
{
    QTest::addColumn<bool>("type");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("untouched") << false << "admin"
                               << "";
    QTest::newRow("typed") << true << "操作员"
                           << "p w";
    QTest::newRow("both empty") << true << ""
                                << "";
}

void TestDialogs::loginEmits()
{
    QFETCH(bool, type);
    QFETCH(QString, user);
    QFETCH(QString, password);
    LoginDialog dialog;
    QSignalSpy spy(&dialog, &LoginDialog::signalsUserInfo);
    ModalCloser closer([&](QWidget* widget) {
        if (widget != &dialog)
            return;
        if (type) {
            dialog.findChild<QLineEdit*>("editUserName")->setText(user);
            dialog.findChild<QLineEdit*>("editPassword")->setText(password);
        }
        dialog.findChild<QPushButton*>("btnLogin")->click();
    });
    dialog.exec(); // the press ends the modal run
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy[0][0].toString(), user);
    QCOMPARE(spy[0][1].toString(), password);
    QVERIFY(!dialog.isVisible());
}

void TestDialogs::loginCancelEmitsNothing_data()
{
    QTest::addColumn<bool>("pressCancel");
    QTest::newRow("取消") << true;
    QTest::newRow("closed by its frame") << false;
}

void TestDialogs::loginCancelEmitsNothing()
{
    QFETCH(bool, pressCancel);
    LoginDialog dialog;
    QSignalSpy spy(&dialog, &LoginDialog::signalsUserInfo);
    ModalCloser closer([&](QWidget* widget) {
        if (widget != &dialog)
            return;
        if (pressCancel)
            dialog.findChild<QPushButton*>("btnCancel")->click();
        else
            dialog.close();
    });
    dialog.exec();
    QCOMPARE(closer.seen.size(), 1);
    QCOMPARE(spy.count(), 0);
}

void TestDialogs::loginByKeyboard_data()
{
    QTest::addColumn<bool>("consoleOpen"); // the console and its history open
    QTest::addColumn<int>("key");
    QTest::newRow("console and history open, Return") << true << int(Qt::Key_Return);
    QTest::newRow("main window alone, keypad Enter") << false << int(Qt::Key_Enter);
}

void TestDialogs::loginByKeyboard()
{
    // "连接" takes the keyboard, above the windows that stay on top: the
    // password typed and Enter log in.
    QFETCH(bool, consoleOpen);
    QFETCH(int, key);
    tesselsim::setLatency(std::chrono::milliseconds(0));
    auto two = tesselsim::defaultFleet();
    two.resize(2);
    tesselsim::setFleet(two);
    DemoGUI window;
    window.resize(700, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.terminalList().size(), std::size_t(2));
    QTableWidget* table = tableOf(window);
    if (consoleOpen) {
        emit table->cellDoubleClicked(0, 0);
        auto* console = topLevel<DemoChildGUI>();
        console->history().openWindow();
        QTRY_VERIFY(console->history().window().isActiveWindow());
    }

    // Types as a user would, once the dialog has the keyboard (or gives up).
    QString keyboardAt; // the dialog goes when closed, so only the field's name is kept
    bool onTop = false;
    int polls = 0;
    QTimer user;
    user.setInterval(5);
    connect(&user, &QTimer::timeout, this, [&] {
        auto* dialog = topLevel<LoginDialog>();
        if (!dialog || !dialog->isVisible() || (!dialog->isActiveWindow() && ++polls < 2000))
            return;
        user.stop();
        onTop = dialog->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint);
        QWidget* focused = QApplication::focusWidget();
        if (focused && focused->window() == dialog) {
            keyboardAt = focused->objectName();
            QTest::keyClicks(focused, "123456");
            QTest::keyClick(focused, Qt::Key(key),
                            key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        }
        if (dialog->isVisible())
            dialog->done(QDialog::Rejected);
    });
    user.start();
    QMenu* menu = openTableMenu(window, tableRowPoint(window, 0));
    QVERIFY(menu);
    menu->hide();
    menu->actions().constFirst()->trigger(); // "连接"
    QVERIFY(!user.isActive());
    QVERIFY(onTop);
    QCOMPARE(keyboardAt, QString("editPassword"));
    QTRY_COMPARE(table->item(0, 1)->text(), QString("登录成功!!!"));
}

void TestDialogs::escapeCloses_data()
{
    QTest::addColumn<bool>("history");  // else the change-password window
    QTest::addColumn<QString>("field"); // where the focus is
    QTest::newRow("change password, in a field") << false << "lineEdit";
    QTest::newRow("history, in the filter") << true << "historyFilter";
}

void TestDialogs::escapeCloses()
{
    QFETCH(bool, history);
    QFETCH(QString, field);
    Changepassword password;
    DemoChildGUI console;
    QWidget* shown = &password;
    if (history) {
        console.history().openWindow();
        shown = &console.history().window();
    } else {
        password.openFor("SN1");
    }
    QApplication::setActiveWindow(shown);
    QVERIFY(QTest::qWaitForWindowActive(shown));
    auto* focus = shown->findChild<QWidget*>(field);
    QVERIFY(focus);
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key_Escape);
    QVERIFY(!shown->isVisible());
}

void TestDialogs::changePasswordForm()
{
    Changepassword widget;
    QCOMPARE(widget.objectName(), QString("ChangepasswordClass"));
    QCOMPARE(widget.windowTitle(), QString("Changepassword"));
    QCOMPARE(ownMethods(Changepassword::staticMetaObject), QStringList{"slotClickedSure()"});
    QCOMPARE(widget.findChild<QPushButton*>("pushButton")->text(), QString("确认修改"));
    QCOMPARE(widget.findChild<QLabel*>("label_3")->text(), QString("确认新密码"));
}

void TestDialogs::confirmHandsOnPasswords_data()
{
    QTest::addColumn<QString>("oldPassword");
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<QString>("confirmation");
    QTest::newRow("all empty") << ""
                               << ""
                               << "";
    QTest::newRow("typed") << "123456"
                           << "新密码1"
                           << "新密码1";
    QTest::newRow("confirmation differs") << "123456"
                                          << "新密码1"
                                          << "新密码2";
    QTest::newRow("confirmation missing") << "123456"
                                          << "abc"
                                          << "";
}

void TestDialogs::confirmHandsOnPasswords()
{
    QFETCH(QString, oldPassword);
    QFETCH(QString, newPassword);
    QFETCH(QString, confirmation);
    const bool matches = newPassword == confirmation;
    Changepassword widget;
    widget.show();
    widget.findChild<QLineEdit*>("lineEdit")->setText(oldPassword);
    widget.findChild<QLineEdit*>("lineEdit_2")->setText(newPassword);
    widget.findChild<QLineEdit*>("lineEdit_3")->setText(confirmation);
    ModalCloser closer;
    QList<SureCall> calls;
    widget.setSureCallback([&](const QByteArray& oldText, const QByteArray& newText) {
        calls.append(SureCall{oldText, newText, static_cast<int>(closer.seen.size())});
    });

    // Pressing again sends the same values again: nothing is cleared.
    for (int press = 1; press <= 2; ++press) {
        widget.findChild<QPushButton*>("pushButton")->click();
        QCOMPARE(calls.size(), matches ? press : 0);
        QCOMPARE(closer.seen.size(), matches ? 0 : press);
        if (matches) {
            QCOMPARE(calls.last().oldPassword, oldPassword.toUtf8());
            QCOMPARE(calls.last().newPassword, newPassword.toUtf8());
        }
    }
    for (const ModalCloser::Seen& seen : closer.seen) {
        QCOMPARE(seen.className, QString("QMessageBox"));
        QCOMPARE(seen.title, QString("提示"));
        QCOMPARE(seen.text, QString("两次输入的新密码不一致，请重新输入"));
    }
    QVERIFY(widget.isVisible());
    QCOMPARE(widget.findChild<QLineEdit*>("lineEdit_3")->text(), confirmation);
}

void TestDialogs::confirmWithoutCallback()
{
    Changepassword widget;
    ModalCloser closer;
    widget.findChild<QPushButton*>("pushButton")->click();
    QVERIFY(closer.seen.isEmpty());
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
