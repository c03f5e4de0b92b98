// The login dialog and the change-password widget on their own.
#include "mainwindow/changepassword.h"
#include "mainwindow/logindialog.h"
#include "simulator/simulator.h"
#include "testsupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPushButton>
#include <QSignalSpy>
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
