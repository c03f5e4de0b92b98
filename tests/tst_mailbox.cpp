// The mailbox from SDK threads to a receiver's thread: order kept, one wake-up
// per batch, nothing delivered once severed.
#include "mailbox/mailbox.h"

#include <QtTest>

#include <future>
#include <thread>
#include <vector>

using Box = tessel::Mailbox<int, int>;

class TestMailbox : public QObject
{
    Q_OBJECT

private slots:
    void takesInOrder_data()
    {
        QTest::addColumn<int>("threads");
        QTest::addColumn<int>("perThread");
        QTest::addColumn<bool>("severFirst");
        QTest::newRow("one thread") << 1 << 1000 << false;
        QTest::newRow("four threads") << 4 << 2000 << false;
        QTest::newRow("posted after sever") << 2 << 100 << true;
    }

    void takesInOrder()
    {
        QFETCH(int, threads);
        QFETCH(int, perThread);
        QFETCH(bool, severFirst);
        int receiver = 0;
        int wakes = 0;
        Box box(&receiver, [&wakes](int&) { ++wakes; });
        if (severFirst)
            box.sever();
        std::vector<std::thread> posters;
        for (int t = 0; t < threads; ++t)
            posters.emplace_back([&box, t, perThread] {
                for (int i = 0; i < perThread; ++i)
                    box.post(t * perThread + i);
            });
        for (std::thread& poster : posters)
            poster.join();

        std::deque<int> taken{-1}; // what an earlier take left: kept in front
        QVERIFY(box.takeInto(taken));
        QCOMPARE(wakes, severFirst ? 0 : 1);
        QCOMPARE(int(taken.size()), severFirst ? 1 : 1 + threads * perThread);
        QCOMPARE(taken.front(), -1);
        std::vector<int> last(std::size_t(threads), -1);
        for (std::size_t i = 1; i < taken.size(); ++i) {
            int& previous = last[std::size_t(taken[i] / perThread)];
            QVERIFY(taken[i] > previous); // each thread's own order
            previous = taken[i];
        }

        // Once severed, a post is dropped.
        box.sever();
        box.post(7);
        taken.clear();
        QVERIFY(box.takeInto(taken));
        QVERIFY(taken.empty());
    }

    void givesUpWhenBusyIfAsked()
    {
        int receiver = 0;
        Box box(&receiver, [](int&) {});
        box.post(1);
        std::promise<void> holding;
        std::promise<void> release;
        std::thread reacher([&] {
            box.reach([&](int&) {
                holding.set_value();
                release.get_future().wait();
            });
        });
        holding.get_future().wait();
        std::deque<int> taken;
        QVERIFY(!box.takeInto(taken, Box::Lock::IfFree));
        release.set_value();
        reacher.join();
        QVERIFY(box.takeInto(taken, Box::Lock::IfFree));
        QCOMPARE(taken, std::deque<int>{1});
    }
};

QTEST_APPLESS_MAIN(TestMailbox)
#include "tst_mailbox.moc"
