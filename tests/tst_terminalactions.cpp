// The terminal actions and the console services that own them, without windows.
#include "services/consoleservices.h"
#include "simulator/simulator.h"
#include "terminalactions/terminalactions.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace std::chrono_literals;
using tessel::TerminalActions;

class TestTerminalActions : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        tesselsim::reset();
        tesselsim::setLatency(0ms);
    }
    void cleanup() { tesselsim::reset(); }

    void answers_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("addressed");
        QTest::addColumn<QString>("replyHas");
        QTest::addColumn<int>("code");
        const tesselsim::Terminal first = tesselsim::fleet().at(0);
        const QString sn = QString::fromStdString(first.sn);
        const QString ip = QString::fromStdString(first.ip);
        QTest::newRow("log-in") << "login"
                                << "123456" << true << "\"logined\":true" << 0;
        QTest::newRow("log-in, wrong password") << "login"
                                                << "bad" << true << "wrong" << 1005;
        QTest::newRow("log-in, unknown serial") << "login unknown"
                                                << "123456" << true << "NO-SUCH-SN" << 1002;
        QTest::newRow("log-out, not logged in") << "logout"
                                                << "" << true << "not logged in" << 1003;
        QTest::newRow("password change") << "password"
                                         << "123456" << true << "" << 0;
        QTest::newRow("broadcast search") << "all"
                                          << "" << false << "\"sn\"" << 0;
        // Directed searches: the password column holds the address.
        QTest::newRow("address search") << "address" << ip << false << sn << 0;
        QTest::newRow("range search") << "range" << ip << false << sn << 0;
    }
    void answers()
    {
        QFETCH(QString, action);
        QFETCH(QString, password);
        QFETCH(bool, addressed);
        QFETCH(QString, replyHas);
        QFETCH(int, code);
        const std::string sn = action.endsWith("unknown") ? "NO-SUCH-SN" : tesselsim::fleet().at(0).sn;
        TerminalActions actions;
        QSignalSpy spy(&actions, &TerminalActions::answered);
        int answers = 0;
        TerminalActions::Listener listener;
        listener.receiver = this;
        listener.answer = [&answers](int, const std::string&) {
            ++answers;
        };
        TerminalActions::Id id = 0;
        if (action.startsWith("login"))
            id = actions.logIn(TerminalActions::LoginKind::User, sn, "admin", password, listener);
        else if (action == "logout")
            id = actions.logOut(sn, listener);
        else if (action == "password")
            id = actions.changePassword(sn, password.toUtf8(), "654321", listener);
        else if (action == "address")
            id = actions.searchAddress(password.toUtf8(), listener);
        else if (action == "range")
            id = actions.searchRange(password.toStdString(), password.toStdString(), listener);
        else
            id = actions.searchAll(listener);
        QTRY_VERIFY(!spy.isEmpty());
        QCOMPARE(spy.first().at(0).value<TerminalActions::Id>(), id);
        QCOMPARE(spy.first().at(1).toString(), addressed ? QString::fromStdString(sn) : QString());
        QCOMPARE(spy.first().at(2).toInt(), code);
        QVERIFY(spy.first().at(3).toString().contains(replyHas));
        QCOMPARE(answers, spy.size());
    }

    void goneBeforeTheAnswer()
    {
        tesselsim::setLatency(50ms);
        auto actions = std::make_unique<TerminalActions>();
        std::atomic<int> arrived{0};
        TerminalActions::Listener listener;
        listener.onArrival = [&arrived](unsigned short, const char*) {
            ++arrived;
        };
        actions->logIn(TerminalActions::LoginKind::User, tesselsim::fleet().at(0).sn, "admin", "123456",
                       listener);
        actions.reset();
        QVERIFY(tesselsim::waitIdle());
        QCoreApplication::processEvents();
        QCOMPARE(arrived.load(), 1); // the hook still sees it; nothing else is reached
    }

    void servicesRecordTheirRunnersSends()
    {
        QTemporaryDir dir;
        tessel::ConsoleServices::Options options;
        options.historyPath = dir.filePath("history.sqlite");
        tessel::ConsoleServices services(options);
        QVERIFY(services.historyRecorder());
        QCOMPARE(services.historyRecorder()->filePath(), options.historyPath);
        QVERIFY(services.terminals().empty());
        QVERIFY(services.requestRunner().send("getVolume()", "{\"sn\":\"x\"}"));
        QCOMPARE(services.historyRecorder()->list().endIndex() -
                     services.historyRecorder()->list().firstIndex(),
                 qint64(1));
        services.historyRecorder()->flush();

        options.keepHistory = false;
        tessel::ConsoleServices bare(options);
        QVERIFY(!bare.historyRecorder());
        QVERIFY(bare.requestRunner().send("getVolume()", "{\"sn\":\"x\"}"));
    }
};

QTEST_GUILESS_MAIN(TestTerminalActions)
#include "tst_terminalactions.moc"
