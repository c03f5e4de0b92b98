// The login, log-out and password actions of the main window's popup menu.
#include "mainwindow/demogui.h"
#include "mainwindow/logindialog.h"
#include "simulator/faults.h"
#include "simulator/fleet.h"
#include "simulator/simulator.h"
#include "testsupport.h"

#include <nlohmann/json.hpp>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMutex>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QtTest>

#include <algorithm>
#include <memory>

using nlohmann::json;

namespace {

const QString loggedIn = QStringLiteral("登录成功!!!");

QMutex debugMutex;
QStringList debugLines;

void captureDebug(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtDebugMsg)
        return;
    QMutexLocker lock(&debugMutex);
    debugLines.append(message);
}

// The password-change diagnostics, in the order written.
QStringList capturedDebug()
{
    QMutexLocker lock(&debugMutex);
    return debugLines.filter(QRegularExpression("^\\*{20} "));
}

// Collects debug output while it lives; the previous handler comes back after.
class DebugCapture
{
public:
    DebugCapture() : previous(qInstallMessageHandler(captureDebug))
    {
        QMutexLocker lock(&debugMutex);
        debugLines.clear();
    }
    ~DebugCapture() { qInstallMessageHandler(previous); }

private:
    QtMessageHandler previous;
};

// Types the credentials into the login dialog and presses "登录".
std::function<void(QWidget*)> logInWith(const QString& user, const QString& password)
{
    return [user, password](QWidget* widget) {
        auto* dialog = qobject_cast<LoginDialog*>(widget);
        if (!dialog)
            return;
        dialog->findChild<QLineEdit*>("editUserName")->setText(user);
        dialog->findChild<QLineEdit*>("editPassword")->setText(password);
        dialog->findChild<QPushButton*>("btnLogin")->click();
    };
}

QStringList boxTexts(const ModalCloser& closer)
{
    QStringList texts;
    for (const ModalCloser::Seen& seen : closer.seen)
        if (seen.className == "QMessageBox")
            texts.append(seen.title + "|" + seen.text);
    return texts;
}

std::vector<json> requestsOf(const std::string& operation)
{
    std::vector<json> requests;
    for (const tesselsim::Call& call : tesselsim::calls())
        if (call.operation == operation)
            requests.push_back(json::parse(call.args.at(0)));
    return requests;
}

} // namespace

class TestLoginActions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loginKinds_data();
    void loginKinds();
    void loginCancelled_data();
    void loginCancelled();
    void loginFailure_data();
    void loginFailure();
    void loginRequestSucceededButNotLoggedIn_data();
    void loginRequestSucceededButNotLoggedIn();
    void loginMarksTheTerminalWhereItIsListedNow_data();
    void loginMarksTheTerminalWhereItIsListedNow();
    void loginReplyWithoutPendingSerial();
    void logoutMarksTerminalNotLoggedIn();
    void logoutFailure_data();
    void logoutFailure();
    void passwordChange();
    void passwordChangeFailureKeepsWindow();
    void passwordChangeStaysWithItsTerminal();
    void passwordWindowOpensEmptyForItsTerminal();
    void noTerminalAddressed_data();
    void noTerminalAddressed();
    void entriesThatDoNothing_data();
    void entriesThatDoNothing();

private:
    QTableWidget* table() const { return window->findChild<QTableWidget*>("tableWidget"); }
    QString state(int row) const { return table()->item(row, 1) ? table()->item(row, 1)->text() : QString(); }
    std::string serialAt(int row) const
    {
        return window->terminalList().at(static_cast<std::size_t>(row)).sn;
    }
    QPoint rowPoint(int row) const { return tableRowPoint(*window, row); }
    QMenu* openMenu(const QPoint& windowPos) { return openTableMenu(*window, windowPos); }
    void choose(const QPoint& windowPos, const QString& entry);
    void choose(int row, const QString& entry) { choose(rowPoint(row), entry); }
    Changepassword* passwordWidget() const;
    void search(std::vector<tesselsim::Terminal> fleet);

    std::unique_ptr<DemoGUI> window;
};

void TestLoginActions::init()
{
    tesselsim::reset();
    tesselsim::setLatency(std::chrono::milliseconds(0));
    auto six = tesselsim::defaultFleet(); // a short list keeps every row and a few empty ones in view
    six.resize(6);
    tesselsim::setFleet(six);
    window = std::make_unique<DemoGUI>();
    window->resize(700, 900); // every terminal row and a few empty ones in view
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(tesselsim::waitIdle());
    QTRY_COMPARE(window->terminalList().size(), std::size_t(6));
}

void TestLoginActions::cleanup()
{
    window.reset();
    closeAllTopLevels();
    QVERIFY(visibleTopLevels().isEmpty());
    tesselsim::reset();
}

void TestLoginActions::choose(const QPoint& windowPos, const QString& entry)
{
    QMenu* menu = openMenu(windowPos);
    QVERIFY(menu);
    menu->hide();
    for (QAction* action : menu->actions())
        if (action->text() == entry) {
            action->trigger();
            return;
        }
    QFAIL(qPrintable("no menu entry " + entry));
}

Changepassword* TestLoginActions::passwordWidget() const
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<Changepassword*>(widget))
            return found;
    return nullptr;
}

void TestLoginActions::search(std::vector<tesselsim::Terminal> fleet)
{
    const std::size_t size = fleet.size();
    tesselsim::setFleet(std::move(fleet));
    window->findChild<QPushButton*>("pushButton")->click();
    QVERIFY(tesselsim::waitIdle());
    QTRY_COMPARE(window->terminalList().size(), size);
}

void TestLoginActions::loginKinds_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("kind");
    QTest::newRow("连接") << "连接" << 0;
    QTest::newRow("连接system") << "连接system" << 1;
}

void TestLoginActions::loginKinds()
{
    QFETCH(QString, entry);
    QFETCH(int, kind);
    // Row 2 itself is the terminal: no offset between the row and the list.
    ModalCloser closer(logInWith("admin", "123456"));
    choose(2, entry);
    QTRY_COMPARE(state(2), loggedIn);

    const std::vector<json> requests = requestsOf("tsLoginAsync");
    QCOMPARE(requests.size(), std::size_t(1));
    const json expected = {
        {"ip", ""},          {"sn", serialAt(2)}, {"username", "admin"}, {"password", "123456"},
        {"loginType", kind}, {"reserved", 0}};
    QCOMPARE(requests[0].dump(), expected.dump());
    QCOMPARE(closer.seen.size(), 1);
    QCOMPARE(closer.seen[0].className, QString("LoginDialog"));
    QCOMPARE(closer.seen[0].title, QString("login"));
    // Only the state cell of that row changed.
    QCOMPARE(table()->item(2, 0)->text(), QString::fromStdString(window->terminalList()[2].name));
    QCOMPARE(table()->item(2, 2)->text(), QString::fromStdString(window->terminalList()[2].ip));
    QCOMPARE(state(0), QString("未登录"));
    QCOMPARE(state(1), QString("已被上位机登录"));
}

void TestLoginActions::loginCancelled_data()
{
    QTest::addColumn<bool>("pressCancel");
    QTest::newRow("取消") << true;
    QTest::newRow("window closed") << false;
}

void TestLoginActions::loginCancelled()
{
    QFETCH(bool, pressCancel);
    ModalCloser closer([pressCancel](QWidget* widget) {
        auto* dialog = qobject_cast<LoginDialog*>(widget);
        if (dialog && pressCancel)
            dialog->findChild<QPushButton*>("btnCancel")->click();
    });
    choose(0, "连接");
    QCoreApplication::processEvents();
    QVERIFY(tesselsim::waitIdle());
    QCOMPARE(closer.seen.size(), 1);
    QVERIFY(requestsOf("tsLoginAsync").empty());
    QCOMPARE(state(0), QString("未登录"));
}

void TestLoginActions::loginFailure_data()
{
    QTest::addColumn<bool>("scripted");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expectedStart");
    QTest::newRow("code 5, reply R") << true << "123456"
                                     << "提示|登录失败 5 5R";
    QTest::newRow("wrong password") << false << "wrong"
                                    << "提示|登录失败 1005 1005";
}

void TestLoginActions::loginFailure()
{
    QFETCH(bool, scripted);
    QFETCH(QString, password);
    QFETCH(QString, expectedStart);
    if (scripted)
        tesselsim::scriptReplies("tsLoginAsync", {{5, "R"}});
    ModalCloser closer(logInWith("admin", password));
    choose(0, "连接");
    QTRY_COMPARE(boxTexts(closer).size(), 1);
    QVERIFY2(boxTexts(closer)[0].startsWith(expectedStart), qPrintable(boxTexts(closer)[0]));
    if (scripted)
        QCOMPARE(boxTexts(closer)[0], expectedStart);
    QCOMPARE(state(0), QString("未登录"));
    QVERIFY(!tesselsim::fleet()[0].hostLoggedIn);
}

void TestLoginActions::loginRequestSucceededButNotLoggedIn_data()
{
    QTest::addColumn<QString>("reply");
    QTest::newRow("flag false") << R"({"sn":"x","logined":false})";
    QTest::newRow("not JSON") << "logged in, honestly";
    QTest::newRow("flag of wrong type") << R"({"logined":"yes"})";
}

void TestLoginActions::loginRequestSucceededButNotLoggedIn()
{
    QFETCH(QString, reply);
    tesselsim::scriptReplies("tsLoginAsync", {{0, reply.toStdString()}});
    ModalCloser closer(logInWith("admin", "123456"));
    choose(0, "连接");
    QTRY_COMPARE(boxTexts(closer), QStringList{"提示|请求成功，但登录失败"});
    QCOMPARE(state(0), QString("未登录"));
}

void TestLoginActions::loginMarksTheTerminalWhereItIsListedNow_data()
{
    QTest::addColumn<bool>("stillListed");
    QTest::newRow("moved to row 2") << true;
    QTest::newRow("no longer listed") << false;
}

void TestLoginActions::loginMarksTheTerminalWhereItIsListedNow()
{
    QFETCH(bool, stillListed);
    const std::string target = serialAt(0);
    ModalCloser closer(logInWith("admin", "123456"));
    choose(0, "连接");
    // The request leaves from the event loop; before that a new search lists
    // the fleet anew and the pointer goes to another row.
    QVERIFY(requestsOf("tsLoginAsync").empty());
    std::vector<tesselsim::Terminal> fleet = tesselsim::fleet();
    if (stillListed) {
        std::rotate(fleet.begin(), fleet.begin() + 4, fleet.end()); // old row 0 becomes row 2
        tesselsim::setFleet(fleet);
    } else {
        // The terminal still answers the login but not the search.
        fleet.erase(fleet.begin());
        std::vector<tesselsim::Reply> answers;
        for (const tesselsim::Terminal& terminal : fleet) {
            tsc::SearchResponseData record;
            record.sn = terminal.sn;
            record.name = terminal.name;
            answers.push_back({0, json(record).dump()});
        }
        tesselsim::scriptReplies("tsSearchTerminalAsync", answers);
    }
    window->findChild<QPushButton*>("pushButton")->click();
    QVERIFY(tesselsim::waitIdle());
    openMenu(rowPoint(4))->close();

    QTRY_COMPARE(requestsOf("tsLoginAsync").size(), std::size_t(1));
    QCOMPARE(requestsOf("tsLoginAsync")[0]["sn"].get<std::string>(), target);
    // The reply was answered after the search's rows: all are delivered now.
    QVERIFY(tesselsim::waitIdle());
    // The reply reaches the terminal actions first, then the window's slot.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall); // the login reply's own slot
    QCOMPARE(window->terminalList().size(), fleet.size());
    if (stillListed) {
        QCOMPARE(serialAt(2), target);
        QCOMPARE(state(2), loggedIn);
    }
    for (int row = 0; row < static_cast<int>(fleet.size()); ++row)
        if (serialAt(row) != target)
            QVERIFY2(state(row) != loggedIn, qPrintable(QString::number(row)));
    QVERIFY(boxTexts(closer).isEmpty());
}

void TestLoginActions::loginReplyWithoutPendingSerial()
{
    // A reply that no request of this window announced: its own "sn" decides.
    emit window->signalLogin(0, QString::fromStdString(R"({"logined":true,"sn":")" + serialAt(3) + "\"}"));
    emit window->signalLogin(0, R"({"logined":true})");
    QTRY_COMPARE(state(3), loggedIn);
    QCoreApplication::processEvents();
    for (int row : {0, 1, 2, 4, 5})
        QVERIFY(state(row) != loggedIn);
}

void TestLoginActions::logoutMarksTerminalNotLoggedIn()
{
    ModalCloser closer(logInWith("admin", "123456"));
    choose(0, "连接");
    QTRY_COMPARE(state(0), loggedIn);
    QVERIFY(tesselsim::fleet()[0].hostLoggedIn);

    choose(0, "退出");
    QTRY_COMPARE(boxTexts(closer), QStringList{"提示|已退出"});
    const std::vector<json> requests = requestsOf("tsLogoutAsync");
    QCOMPARE(requests.size(), std::size_t(1));
    QCOMPARE(requests[0].dump(), json({{"sn", serialAt(0)}, {"type", 1}}).dump());
    QCOMPARE(state(0), QString("未登录"));
    QVERIFY(!tesselsim::fleet()[0].hostLoggedIn);
    QCOMPARE(state(1), QString("已被上位机登录"));
}

void TestLoginActions::logoutFailure_data()
{
    QTest::addColumn<bool>("injected"); // else scripted
    QTest::addColumn<QString>("expected");
    QTest::newRow("scripted reply") << false << "提示|退出失败 7 终端忙";
    QTest::newRow("injected fault") << true << "提示|退出失败 1003 not logged in";
}

void TestLoginActions::logoutFailure()
{
    QFETCH(bool, injected);
    QFETCH(QString, expected);
    if (injected)
        tesselsim::setFaults({{"tsLogoutAsync", 1003, "not logged in", {}}});
    else
        tesselsim::scriptReplies("tsLogoutAsync", {{7, "终端忙"}});
    ModalCloser closer;
    choose(1, "退出");
    QTRY_COMPARE(boxTexts(closer), QStringList{expected});
    QCOMPARE(state(1), QString("已被上位机登录"));
}

void TestLoginActions::passwordChange()
{
    DebugCapture capture;
    ModalCloser closer(logInWith("admin", "654321"));
    choose(0, "修改密码");
    Changepassword* widget = passwordWidget();
    QVERIFY(widget && widget->isVisible());
    widget->findChild<QLineEdit*>("lineEdit")->setText("123456");
    widget->findChild<QLineEdit*>("lineEdit_2")->setText("654321");
    widget->findChild<QLineEdit*>("lineEdit_3")->setText("654321");
    widget->findChild<QPushButton*>("pushButton")->click();
    QVERIFY(boxTexts(closer).isEmpty()); // the result comes after the request
    QVERIFY(tesselsim::waitIdle());
    QTRY_COMPARE(boxTexts(closer), QStringList{"提示|修改密码成功"});
    QVERIFY(!widget->isVisible());
    QTRY_COMPARE(capturedDebug().size(), 1);
    QVERIFY2(capturedDebug()[0].startsWith("******************** 0 {"), qPrintable(capturedDebug()[0]));

    const std::vector<json> requests = requestsOf("tsChangePassWordAsync");
    QCOMPARE(requests.size(), std::size_t(1));
    const json expected = {
        {"sn", serialAt(0)}, {"username", "admin"}, {"oldPassword", "123456"}, {"newPassword", "654321"}};
    QCOMPARE(requests[0].dump(), expected.dump());
    QCOMPARE(tesselsim::fleet()[0].password, std::string("654321"));
    QCOMPARE(state(0), QString("未登录"));

    // The next login needs the new password.
    choose(0, "连接");
    QTRY_COMPARE(state(0), loggedIn);
}

void TestLoginActions::passwordChangeFailureKeepsWindow()
{
    ModalCloser closer;
    choose(0, "修改密码");
    Changepassword* widget = passwordWidget();
    widget->findChild<QLineEdit*>("lineEdit")->setText("wrong");
    widget->findChild<QLineEdit*>("lineEdit_2")->setText("abc");
    widget->findChild<QLineEdit*>("lineEdit_3")->setText("abc");
    widget->findChild<QPushButton*>("pushButton")->click();
    QTRY_COMPARE(boxTexts(closer).size(), 1);
    QVERIFY2(boxTexts(closer)[0].startsWith("提示|修改密码失败 1005 password change on "),
             qPrintable(boxTexts(closer)[0]));
    QVERIFY(widget->isVisible());
    QCOMPARE(widget->findChild<QLineEdit*>("lineEdit_2")->text(), QString("abc"));
    QCOMPARE(tesselsim::fleet()[0].password, std::string("123456"));
}

void TestLoginActions::passwordChangeStaysWithItsTerminal()
{
    const std::string target = serialAt(0);
    ModalCloser closer;
    choose(0, "修改密码");
    Changepassword* widget = passwordWidget();
    QVERIFY(widget);
    // Another row, then a search that lists the fleet in another order.
    openMenu(rowPoint(3))->close();
    std::vector<tesselsim::Terminal> fleet = tesselsim::fleet();
    std::reverse(fleet.begin(), fleet.end());
    search(fleet);
    openMenu(rowPoint(0))->close();

    widget->findChild<QLineEdit*>("lineEdit")->setText("123456");
    widget->findChild<QLineEdit*>("lineEdit_2")->setText("abc");
    widget->findChild<QLineEdit*>("lineEdit_3")->setText("abc");
    widget->findChild<QPushButton*>("pushButton")->click();
    QVERIFY(tesselsim::waitIdle());
    const std::vector<json> requests = requestsOf("tsChangePassWordAsync");
    QCOMPARE(requests.size(), std::size_t(1));
    QCOMPARE(requests[0]["sn"].get<std::string>(), target);
}

void TestLoginActions::passwordWindowOpensEmptyForItsTerminal()
{
    ModalCloser closer;
    choose(0, "修改密码");
    Changepassword* widget = passwordWidget();
    const QStringList fields{"lineEdit", "lineEdit_2", "lineEdit_3"};
    for (const QString& field : fields)
        widget->findChild<QLineEdit*>(field)->setText("typed for row 0");
    choose(2, "修改密码");
    QVERIFY(widget->isVisible());
    QCOMPARE(widget->windowTitle(), QString::fromStdString("Changepassword - " + serialAt(2)));
    for (const QString& field : fields) {
        QVERIFY2(widget->findChild<QLineEdit*>(field)->text().isEmpty(), qPrintable(field));
        QCOMPARE(widget->findChild<QLineEdit*>(field)->echoMode(), QLineEdit::Password);
    }
}

void TestLoginActions::noTerminalAddressed_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("emptyRow");
    for (const char* entry : {"连接", "连接system", "退出", "修改密码"}) {
        QTest::newRow(qPrintable(QString(entry) + ", no row")) << entry << false;
        QTest::newRow(qPrintable(QString(entry) + ", empty row")) << entry << true;
    }
}

void TestLoginActions::noTerminalAddressed()
{
    QFETCH(QString, entry);
    QFETCH(bool, emptyRow);
    const std::size_t callsBefore = tesselsim::calls().size();
    ModalCloser closer(logInWith("admin", "123456"));
    choose(emptyRow ? rowPoint(6) : QPoint(5, 5), entry);
    QCOMPARE(boxTexts(closer), QStringList{"提示|请先选择终端"});
    QCOMPARE(closer.seen.size(), 1); // no login dialog after the notice
    QCoreApplication::processEvents();
    QVERIFY(tesselsim::waitIdle());
    QCOMPARE(tesselsim::calls().size(), callsBefore);
    QVERIFY(!passwordWidget() || !passwordWidget()->isVisible());
}

void TestLoginActions::entriesThatDoNothing_data()
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("重命名") << "重命名";
    QTest::newRow("忘记密码") << "忘记密码";
    QTest::newRow("下载运行日志") << "下载运行日志";
}

void TestLoginActions::entriesThatDoNothing()
{
    QFETCH(QString, entry);
    const std::size_t callsBefore = tesselsim::calls().size();
    ModalCloser closer;
    choose(0, entry);
    QCoreApplication::processEvents();
    QVERIFY(tesselsim::waitIdle());
    QCOMPARE(tesselsim::calls().size(), callsBefore);
    QVERIFY(closer.seen.isEmpty());
    QCOMPARE(visibleTopLevels(), QList<QWidget*>{window.get()});
    QCOMPARE(state(0), QString("未登录"));
}

QTEST_MAIN(TestLoginActions)
#include "tst_loginactions.moc"
