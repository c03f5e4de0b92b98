// The history database: several copies of the program at once, a copy
// killed while writing, commits without a flush, a database another program
// keeps locked, damaged databases, the import of the old JSON Lines file, a
// folder that cannot be written and who may read the files.

#include "history/historyrecorder.h"
#include "historywindow/historywindow.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

#include <memory>
#include <vector>

namespace {

// Lines of the old JSON Lines file.
QByteArray oldSend(const char* id, const char* operation)
{
    return QByteArray(R"({"id":")") + id + R"(","at":1700000000000,"sn":"S1","op":")" + operation +
           R"(","request":"{}"})" + "\n";
}

QByteArray oldResult(const char* id, int code)
{
    return QByteArray(R"({"id":")") + id + R"(","code":)" + QByteArray::number(code) +
           R"(,"ms":5,"reply":"r"})" + "\n";
}

} // namespace

class TestHistoryStore : public QObject
{
    Q_OBJECT

    static QString dataDir() { return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation); }
    static QString databasePath() { return tessel::HistoryRecorder::defaultFilePath(); }

    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), qint64(bytes.size()));
    }

    static QByteArray readFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A recorder on the database, once it has read it in.
    static std::unique_ptr<tessel::HistoryRecorder> loadedRecorder()
    {
        auto recorder = std::make_unique<tessel::HistoryRecorder>(databasePath());
        recorder->ensureLoaded();
        if (!QTest::qWaitFor([&] { return recorder->isLoaded(); }))
            qWarning("the history was not read in");
        return recorder;
    }

    static QStringList operationsOf(const tessel::HistoryRecorder& recorder)
    {
        QStringList operations;
        for (const tessel::HistoryEntry& entry : recorder.list().all())
            operations << entry.operation;
        return operations;
    }

    // EVERY 0: the copy never flushes.
    static std::unique_ptr<QProcess> startCopy(int sends, int results, const QString& tag, int every = 50)
    {
        auto copy = std::make_unique<QProcess>();
        copy->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        copy->start(HISTORY_HELPER, {databasePath(), QString::number(sends), QString::number(results), tag,
                                     QString::number(every)});
        return copy;
    }

    // Read by a connection of the test's own, as another program would; -1
    // while there is no database.
    static qint64 rowsIn(const char* table)
    {
        qint64 rows = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reader");
            db.setDatabaseName(databasePath());
            db.setConnectOptions("QSQLITE_OPEN_READONLY");
            if (db.open()) {
                QSqlQuery query(db);
                if (query.exec(QString("SELECT COUNT(*) FROM %1").arg(table)) && query.next())
                    rows = query.value(0).toLongLong();
            }
        }
        QSqlDatabase::removeDatabase("reader");
        return rows;
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { QDir(dataDir()).removeRecursively(); }

    void cleanup()
    {
        closeAllTopLevels();
        QDir(dataDir()).removeRecursively();
    }

    void copiesAtOnce_data()
    {
        QTest::addColumn<int>("copies");
        QTest::addColumn<int>("sends");    // of each
        QTest::addColumn<int>("results");  // of each send
        QTest::addColumn<int>("oldSends"); // in an old file that they find at start

        QTest::newRow("three copies") << 3 << 300 << 2 << 0;
        QTest::newRow("four copies, a few sends answered many times") << 4 << 4 << 300 << 0;
        QTest::newRow("two copies finding an old file") << 2 << 200 << 1 << 2500;
    }

    void copiesAtOnce()
    {
        QFETCH(int, copies);
        QFETCH(int, sends);
        QFETCH(int, results);
        QFETCH(int, oldSends);
        QByteArray old;
        for (int n = 0; n < oldSends; ++n)
            old += "{\"id\":\"o-" + QByteArray::number(n) +
                   "\",\"at\":1700000000000,\"sn\":\"S1\",\"op\":\"old()\",\"request\":\"{\\\"old\\\":" +
                   QByteArray::number(n) + "}\"}\n";
        if (oldSends > 0)
            writeFile(tessel::HistoryStore::oldFilePath(databasePath()), old);
        std::vector<std::unique_ptr<QProcess>> others;
        for (int i = 0; i < copies; ++i)
            others.push_back(startCopy(sends, results, QString(QChar('A' + i))));
        for (const auto& copy : others)
            QVERIFY(copy->waitForFinished(120000) && copy->exitStatus() == QProcess::NormalExit &&
                    copy->exitCode() == 0);
        const auto reread = loadedRecorder();
        QVERIFY(reread->statusMessage().isEmpty());
        QCOMPARE(reread->list().all().size(), std::size_t(copies * sends + oldSends));
        QSet<QString> requests;
        for (const tessel::HistoryEntry& entry : reread->list().all()) {
            QCOMPARE(entry.results.size(), std::size_t(entry.operation == "old()" ? 0 : results));
            requests << entry.request;
        }
        QCOMPARE(requests.size(), copies * sends + oldSends); // every send of every copy once
    }

    void killedCopy_data()
    {
        QTest::addColumn<int>("committed"); // sends known to be in when it is killed

        QTest::newRow("after the first commit") << 50;
        QTest::newRow("after several commits") << 400;
    }

    void killedCopy()
    {
        QFETCH(int, committed);
        const auto copy = startCopy(10000000, 1, "K");
        int seen = 0;
        auto readProgress = [&] {
            while (copy->canReadLine()) // "committed N"
                seen = copy->readLine().trimmed().mid(10).toInt();
            return seen;
        };
        QTRY_VERIFY_WITH_TIMEOUT(readProgress() >= committed, 60000);
        copy->kill(); // SIGKILL, in the middle of its writing
        QVERIFY(copy->waitForFinished(30000));
        QCOMPARE(copy->exitStatus(), QProcess::CrashExit);

        // What was committed is all there, in order, without a gap; later
        // sends may have come without their results.
        const auto reread = loadedRecorder();
        QVERIFY2(reread->statusMessage().isEmpty(), qPrintable(reread->statusMessage()));
        const tessel::HistoryEntries& entries = reread->list().all();
        QVERIFY(entries.size() >= std::size_t(seen));
        for (std::size_t n = 0; n < entries.size(); ++n) {
            QCOMPARE(entries[n].request, QString(R"({"copy":"K","n":%1})").arg(n));
            if (n < std::size_t(seen))
                QCOMPARE(entries[n].results.size(), std::size_t(1));
        }
        // The next copy goes on recording.
        reread->recordSend("after()", "{}");
        reread->flush();
        const auto next = loadedRecorder();
        QCOMPARE(operationsOf(*next).constLast(), QString("after()"));
    }

    void fileFoundAtStart_data()
    {
        QTest::addColumn<bool>("old"); // the old JSON Lines file, else the database
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("operations");
        QTest::addColumn<int>("resultsOfFirst");
        QTest::addColumn<QString>("message");        // part of the status; empty: none
        QTest::addColumn<QStringList>("leftBeside"); // files set aside or marked imported

        QTemporaryDir temporary;
        const QString path = temporary.filePath("history.sqlite");
        {
            tessel::HistoryRecorder recorder(path);
            for (int n = 0; n < 300; ++n)
                recorder.recordSend("before()", QByteArray(500, 'x')).record(0, QString(500, 'y'));
        }
        const QByteArray sound = readFile(path);
        QVERIFY(sound.size() > 64 * 1024);
        QByteArray overwritten = sound;
        overwritten.replace(4096, 16 * 4096, QByteArray(16 * 4096, '\xa5'));
        const QString foreign = temporary.filePath("contacts.sqlite");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "foreign");
            db.setDatabaseName(foreign);
            QVERIFY(db.open() && QSqlQuery(db).exec("CREATE TABLE contacts(name TEXT)"));
        }
        QSqlDatabase::removeDatabase("foreign");

        const QStringList none;
        const QStringList damaged{"history.sqlite.damaged-*"};
        const QStringList imported{"history.jsonl.imported"};
        const QByteArray text("name,sn\nx,y\n");
        QTest::newRow("database not SQLite") << false << text << none << 0 << "已损坏" << damaged;
        QTest::newRow("database cut in half")
            << false << sound.left(sound.size() / 2) << none << 0 << "已损坏" << damaged;
        QTest::newRow("database pages overwritten")
            << false << overwritten << none << 0 << "已损坏" << damaged;
        QTest::newRow("another program's database")
            << false << readFile(foreign) << none << 0 << "已损坏" << damaged;
        QTest::newRow("empty database file") << false << QByteArray() << none << 0 << "" << none;

        const QByteArray header = "{\"tessel-console-history\":1}\n";
        const QByteArray two = header + oldSend("a-1", "getVolume()") + oldSend("b-1", "ping()") +
                               oldResult("a-1", 0) + oldResult("b-1", 3) + oldResult("a-1", 1);
        const QStringList both{"getVolume()", "ping()"};
        QTest::newRow("two sessions interleaved") << true << two << both << 2 << "" << imported;
        QTest::newRow("last line without its end, whole")
            << true << two + oldResult("a-1", 4).trimmed() << both << 3 << "" << imported;
        QTest::newRow("last line cut short")
            << true << two + "{\"id\":\"a-1\",\"co" << both << 2 << "1 行已损坏" << imported;
        QTest::newRow("damaged and cut lines")
            << true
            << header + oldSend("a-1", "ping()") + "{not json\n" + oldResult("a-1", 0) +
                   R"({"id":"a-1","code":"zero","ms":1,"reply":""})" + "\n" +
                   oldSend("b-1", "getVolume()").left(30)
            << QStringList{"ping()"} << 1 << "3 行已损坏" << imported;
        QTest::newRow("result of a request not kept")
            << true << header + oldResult("gone-1", 0) + oldSend("a-1", "ping()") << QStringList{"ping()"}
            << 0 << "1 行已损坏" << imported;
        QTest::newRow("no header, CRLF line ends") << true
                                                   << QByteArray(oldSend("a-1", "ping()").trimmed() + "\r\n" +
                                                                 oldResult("a-1", 0).trimmed() + "\r\n")
                                                   << QStringList{"ping()"} << 1 << "" << imported;
        QTest::newRow("foreign old file") << true << text << none << 0 << "2 行已损坏" << imported;
        QTest::newRow("empty old file") << true << QByteArray() << none << 0 << "" << imported;
    }

    void fileFoundAtStart()
    {
        QFETCH(bool, old);
        QFETCH(QByteArray, file);
        QFETCH(QStringList, operations);
        QFETCH(int, resultsOfFirst);
        QFETCH(QString, message);
        QFETCH(QStringList, leftBeside);
        const QString oldPath = tessel::HistoryStore::oldFilePath(databasePath());
        writeFile(old ? oldPath : databasePath(), file);
        {
            const auto recorder = loadedRecorder();
            QCOMPARE(operationsOf(*recorder), operations);
            if (!operations.isEmpty())
                QCOMPARE(recorder->list().at(0).results.size(), std::size_t(resultsOfFirst));
            const QString status = recorder->statusMessage();
            QVERIFY2(message.isEmpty() ? status.isEmpty()
                                       : status.contains(message) && !status.contains('\n'),
                     qPrintable(status));
            QStringList beside = QDir(dataDir()).entryList({"history.*.*"}, QDir::Files);
            QCOMPARE(beside.replaceInStrings(QRegularExpression("-.*"), "-*"), leftBeside);
            QVERIFY(!QFile::exists(oldPath));
            recorder->recordSend("after()", "{}").record(0, "fresh");
        }
        // The next start reads the sound database alone.
        const auto reread = loadedRecorder();
        QCOMPARE(operationsOf(*reread), operations + QStringList{"after()"});
        QCOMPARE(reread->list().at(reread->list().endIndex() - 1).results.size(), std::size_t(1));
        QVERIFY(reread->statusMessage().isEmpty());
    }

    void newerFormatRefused_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("version");

        QTest::newRow("format line first")
            << "{\"tessel-console-history\":2}\n" + oldSend("a-1", "ping()") << 2;
        QTest::newRow("format line after a request")
            << "{\"tessel-console-history\":1}\n" + oldSend("a-1", "ping()") +
                   "{\"tessel-console-history\":3}\n" + oldResult("a-1", 0)
            << 3;
    }

    void newerFormatRefused()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, version);
        const QString oldPath = tessel::HistoryStore::oldFilePath(databasePath());
        writeFile(oldPath, file);
        for (int start = 0; start < 2; ++start) { // the next start says the same
            const auto recorder = loadedRecorder();
            QVERIFY(recorder->list().all().empty());
            QVERIFY2(recorder->statusMessage().contains(QString("格式版本 %1").arg(version)),
                     qPrintable(recorder->statusMessage()));
            QCOMPARE(readFile(oldPath), file);
        }
    }

    void committedWithoutFlush_data()
    {
        QTest::addColumn<bool>("killed");

        QTest::newRow("read from a second connection") << false;
        QTest::newRow("a copy that never flushes, killed") << true;
    }

    void committedWithoutFlush()
    {
        QFETCH(bool, killed);
        std::unique_ptr<QProcess> copy;
        std::unique_ptr<tessel::HistoryRecorder> recorder;
        if (killed) {
            copy = startCopy(3, 2, "N", 0);
            QTRY_VERIFY_WITH_TIMEOUT(copy->canReadLine(), 60000); // "sent 3"
        } else {
            recorder = loadedRecorder();
            for (int n = 0; n < 3; ++n)
                recorder->recordSend("getVolume()", "{}").record(0, "r");
        }
        // The writer commits within its second, unasked.
        QTRY_COMPARE_WITH_TIMEOUT(rowsIn("requests"), qint64(3), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(rowsIn("results"), qint64(killed ? 6 : 3), 20000);
        if (!killed)
            return;
        copy->kill();
        QVERIFY(copy->waitForFinished(30000));
        const auto reread = loadedRecorder();
        QCOMPARE(reread->list().all().size(), std::size_t(3));
        for (const tessel::HistoryEntry& entry : reread->list().all())
            QCOMPARE(entry.results.size(), std::size_t(2));
    }

    void lockedDatabase_data()
    {
        QTest::addColumn<bool>("atExit"); // the lock is still held when the copy closes

        QTest::newRow("held at start, then let go") << false;
        QTest::newRow("held through the exit") << true;
    }

    void lockedDatabase()
    {
        QFETCH(bool, atExit);
        tessel::HistoryRecorder(databasePath()).recordSend("before()", "{}");
        tessel::HistoryLimits limits;
        limits.busyTimeoutMs = 50;
        limits.retryMs = 50;
        limits.exitWaitMs = 300;
        {
            // Another copy importing in one long transaction, say.
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
            other.setDatabaseName(databasePath());
            QVERIFY(other.open());
            QSqlQuery lock(other);
            QVERIFY(lock.exec("BEGIN IMMEDIATE"));

            auto recorder = std::make_unique<tessel::HistoryRecorder>(databasePath(), limits);
            recorder->ensureLoaded();
            QTRY_VERIFY(recorder->isLoaded());
            QCOMPARE(operationsOf(*recorder), QStringList{"before()"});
            for (int n = 0; n < 5; ++n)
                recorder->recordSend("getVolume()", "{}");
            QTRY_VERIFY2(recorder->statusMessage().contains("占用"), qPrintable(recorder->statusMessage()));
            if (atExit) {
                QTest::ignoreMessage(QtWarningMsg,
                                     QRegularExpression("一直被占用.*5 条请求和 0 条结果未能保存"));
                QElapsedTimer closing;
                closing.start();
                recorder.reset();
                QVERIFY2(closing.elapsed() < 10000, qPrintable(QString::number(closing.elapsed())));
            }
            QVERIFY(lock.exec("ROLLBACK"));
            QTRY_COMPARE(rowsIn("requests"), qint64(atExit ? 1 : 6));
            if (recorder)
                QTRY_VERIFY(recorder->statusMessage().isEmpty()); // the busy line goes once written
        }
        QSqlDatabase::removeDatabase("other");
    }

    void readOnlyFolder()
    {
        QTemporaryDir temporary;
        const QString folder = temporary.filePath("history");
        const QString path = folder + "/history.sqlite";
        {
            tessel::HistoryRecorder recorder(path);
            for (int n = 0; n < 300; ++n)
                recorder.recordSend("stored()", "{}").record(0, "kept");
        }
        // Root writes whatever the mode: the folder is made unchangeable instead.
        const bool root = ::geteuid() == 0;
        auto seal = [&](bool on) {
            return root ? QProcess::execute("chattr", {on ? "+i" : "-i", folder}) == 0
                        : QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner |
                                                            (on ? QFile::Permissions() : QFile::WriteOwner));
        };
        if (!seal(true))
            QSKIP("this file system cannot make a folder read-only here");
        const std::shared_ptr<void> unseal(nullptr, [&](void*) { seal(false); });

        tessel::HistoryRecorder recorder(path);
        tessel::HistoryWindow window(recorder);
        recorder.ensureLoaded();
        QTRY_VERIFY(recorder.isLoaded());
        QCOMPARE(window.findChild<QTableView*>("historyTable")->model()->rowCount(), 300);
        QVERIFY2(recorder.statusMessage().contains("只读") && recorder.statusMessage().contains("内存"),
                 qPrintable(recorder.statusMessage()));
        recorder.recordSend("ping()", "{}");
        recorder.flush();
        QCOMPARE(recorder.list().all().size(), std::size_t(301));
        QCOMPARE(window.findChild<QLabel*>("historyStatus")->text(), recorder.statusMessage());
    }

    void createdForTheUserAlone()
    {
        tessel::HistoryRecorder recorder(databasePath());
        recorder.recordSend("setWifi()", R"({"password":"typed"})");
        recorder.flush();
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        for (const QString& file :
             {dataDir(), databasePath(), databasePath() + "-wal", databasePath() + "-shm"}) {
            QVERIFY2(QFile::exists(file), qPrintable(file));
            QCOMPARE(QFile::permissions(file) & others, QFile::Permissions());
        }
    }

    void unwritableFolder_data()
    {
        QTest::addColumn<bool>("folder"); // the database's own name is a folder, else its folder is a file

        QTest::newRow("data folder is a file") << false;
        QTest::newRow("database is a folder") << true;
    }

    void unwritableFolder()
    {
        QFETCH(bool, folder);
        const QString path = folder ? databasePath() : QDir(dataDir()).filePath("data/history.sqlite");
        if (folder)
            QVERIFY(QDir().mkpath(path));
        else
            writeFile(QFileInfo(path).absolutePath(), "not a folder");

        tessel::HistoryRecorder recorder(path);
        tessel::HistoryWindow window(recorder);
        const auto* status = window.findChild<QLabel*>("historyStatus");
        recorder.recordSend("getVolume()", "{}").record(0, "kept");
        QTRY_VERIFY(recorder.isLoaded());
        QTRY_COMPARE(recorder.list().at(0).results.size(), std::size_t(1));
        // The session stays in memory, and the window says so.
        QVERIFY2(recorder.statusMessage().contains("内存"), qPrintable(recorder.statusMessage()));
        QVERIFY(!recorder.statusMessage().contains('\n'));
        recorder.recordSend("ping()", "{}");
        recorder.flush();
        QCOMPARE(operationsOf(recorder), (QStringList{"getVolume()", "ping()"}));
        QCOMPARE(status->text(), recorder.statusMessage());
    }
};

QTEST_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
