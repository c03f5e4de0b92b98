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
        const std::string sn = tesselsim::fleet().at(0).sn;
        QTest::newRow("log-in") << "login"
                                << "123456" << true << "\"logined\":true";
        QTest::newRow("log-in, wrong password") << "login"
                                                << "bad" << true << "";
        QTest::newRow("log-out") << "logout"
                                 << "" << true << "";
        QTest::newRow("password change") << "password"
                                         << "123456" << true << "";
        QTest::newRow("broadcast search") << "all"
                                          << "" << false << "\"sn\"";
    }
    void answers()
    {
        QFETCH(QString, action);
        QFETCH(QString, password);
        QFETCH(bool, addressed);
        QFETCH(QString, replyHas);
        const std::string sn = tesselsim::fleet().at(0).sn;
        TerminalActions actions;
        QSignalSpy spy(&actions, &TerminalActions::answered);
        int answers = 0;
        TerminalActions::Listener listener;
        listener.receiver = this;
        listener.answer = [&answers](int, const std::string&) {
            ++answers;
        };
        TerminalActions::Id id = 0;
        if (action == "login")
            id = actions.logIn(TerminalActions::LoginKind::User, sn, "admin", password, listener);
        else if (action == "logout")
            id = actions.logOut(sn, listener);
        else if (action == "password")
            id = actions.changePassword(sn, password.toUtf8(), "654321", listener);
        else
            id = actions.searchAll(listener);
        QTRY_VERIFY(!spy.isEmpty());
        QCOMPARE(spy.first().at(0).value<TerminalActions::Id>(), id);
        QCOMPARE(spy.first().at(1).toString(), addressed ? QString::fromStdString(sn) : QString());
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
