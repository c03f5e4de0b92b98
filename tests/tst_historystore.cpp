// The history database: several copies of the program at once, a copy
// killed while writing, damaged databases, the import of the old JSON Lines
// file, and a folder that cannot be written.

#include "history/historyrecorder.h"
#include "historywindow/historywindow.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

QString dataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString databasePath()
{
    return tessel::HistoryRecorder::defaultFilePath();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

// One number the database holds, read on a connection of the test's own.
qint64 scalar(const QString& sql)
{
    qint64 value = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
        db.setDatabaseName(databasePath());
        db.setConnectOptions("QSQLITE_OPEN_READONLY");
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(sql) && query.next())
                value = query.value(0).toLongLong();
            else
                qWarning() << sql << query.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase("check");
    return value;
}

std::unique_ptr<tessel::HistoryRecorder> loadedRecorder(const QString& path = databasePath())
{
    auto recorder = std::make_unique<tessel::HistoryRecorder>(path);
    recorder->ensureLoaded();
    return recorder;
}

QStringList operationsOf(const tessel::HistoryRecorder& recorder)
{
    QStringList operations;
    for (const tessel::HistoryEntry& entry : recorder.list().all())
        operations << entry.operation;
    return operations;
}

QStringList filesLike(const QString& pattern)
{
    return QDir(dataDir()).entryList({pattern}, QDir::Files);
}

std::unique_ptr<QProcess> startCopy(int sends, int results, const QString& tag)
{
    auto copy = std::make_unique<QProcess>();
    copy->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    copy->start(HISTORY_HELPER, {databasePath(), QString::number(sends), QString::number(results), tag});
    return copy;
}

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

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void copiesAtOnce_data();
    void copiesAtOnce();
    void killedCopy_data();
    void killedCopy();
    void damagedDatabase_data();
    void damagedDatabase();
    void importOldFile_data();
    void importOldFile();
    void unwritableFolder_data();
    void unwritableFolder();
};

void TestHistoryStore::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestHistoryStore::init()
{
    QDir(dataDir()).removeRecursively();
}

void TestHistoryStore::cleanup()
{
    closeAllTopLevels();
    QDir(dataDir()).removeRecursively();
}

void TestHistoryStore::copiesAtOnce_data()
{
    QTest::addColumn<int>("copies");  // besides this process
    QTest::addColumn<int>("sends");   // of each
    QTest::addColumn<int>("results"); // of each send

    QTest::newRow("two copies") << 2 << 300 << 2;
    QTest::newRow("three copies, a few sends answered many times") << 3 << 4 << 300;
}

void TestHistoryStore::copiesAtOnce()
{
    QFETCH(int, copies);
    QFETCH(int, sends);
    QFETCH(int, results);
    std::vector<std::unique_ptr<QProcess>> others;
    for (int i = 0; i < copies; ++i)
        others.push_back(startCopy(sends, results, QString(QChar('A' + i))));
    {
        // This process records at the same time.
        tessel::HistoryRecorder recorder(databasePath());
        for (int n = 0; n < sends; ++n) {
            const tessel::HistoryTicket ticket = recorder.recordSend("opHere()", "{}");
            for (int r = 0; r < results; ++r)
                ticket.record(r, "here");
        }
    }
    for (const auto& copy : others) {
        QVERIFY(copy->waitForFinished(120000));
        QCOMPARE(copy->exitStatus(), QProcess::NormalExit);
        QCOMPARE(copy->exitCode(), 0);
        QVERIFY(copy->readAllStandardOutput().endsWith("done\n"));
    }
    const int all = (copies + 1) * sends;
    QCOMPARE(scalar("SELECT COUNT(*) FROM requests"), qint64(all));
    QCOMPARE(scalar("SELECT COUNT(*) FROM results"), qint64(all) * results);
    for (int i = 0; i < copies; ++i) {
        const QString op = QString("op%1()").arg(QChar('A' + i));
        QCOMPARE(scalar(QString("SELECT COUNT(DISTINCT request) FROM requests WHERE op = '%1'").arg(op)),
                 qint64(sends));
    }
    const auto reread = loadedRecorder();
    QTRY_VERIFY(reread->isLoaded());
    QCOMPARE(reread->list().all().size(), std::size_t(all));
    QVERIFY(reread->statusMessage().isEmpty());
    for (const tessel::HistoryEntry& entry : reread->list().all())
        QCOMPARE(entry.results.size(), std::size_t(results));
}

void TestHistoryStore::killedCopy_data()
{
    QTest::addColumn<int>("committed"); // sends known to be in when it is killed

    QTest::newRow("after the first commit") << 50;
    QTest::newRow("after several commits") << 400;
}

void TestHistoryStore::killedCopy()
{
    QFETCH(int, committed);
    const auto copy = startCopy(10000000, 1, "K");
    int seen = 0;
    auto readProgress = [&] {
        while (copy->canReadLine()) {
            const QByteArray line = copy->readLine().trimmed();
            if (line.startsWith("committed "))
                seen = line.mid(10).toInt();
        }
        return seen;
    };
    QTRY_VERIFY_WITH_TIMEOUT(readProgress() >= committed, 60000);
    copy->kill(); // SIGKILL, in the middle of its writing
    QVERIFY(copy->waitForFinished(30000));
    QCOMPARE(copy->exitStatus(), QProcess::CrashExit);

    // What was committed is all there, in order, without a gap; later sends
    // may have come without their results.
    const auto reread = loadedRecorder();
    QTRY_VERIFY(reread->isLoaded());
    QVERIFY2(reread->statusMessage().isEmpty(), qPrintable(reread->statusMessage()));
    QVERIFY(filesLike("*.damaged-*").isEmpty());
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
    QCOMPARE(scalar("SELECT COUNT(*) FROM requests WHERE op = 'after()'"), qint64(1));
}

void TestHistoryStore::damagedDatabase_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("setAside");

    QTest::newRow("not SQLite") << "text" << true;
    QTest::newRow("cut in half") << "truncate" << true;
    QTest::newRow("pages overwritten") << "overwrite" << true;
    QTest::newRow("another program's database") << "foreign" << true;
    QTest::newRow("empty file: a new database") << "empty" << false;
}

void TestHistoryStore::damagedDatabase()
{
    QFETCH(QString, damage);
    QFETCH(bool, setAside);
    if (damage == "truncate" || damage == "overwrite") {
        {
            tessel::HistoryRecorder recorder(databasePath());
            for (int n = 0; n < 300; ++n)
                recorder.recordSend("before()", QByteArray(500, 'x')).record(0, QString(500, 'y'));
        }
        QFile file(databasePath());
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.size() > 64 * 1024);
        if (damage == "truncate") {
            QVERIFY(file.resize(file.size() / 2));
        } else {
            QVERIFY(file.seek(4096));
            file.write(QByteArray(16 * 4096, '\xa5'));
        }
    } else if (damage == "foreign") {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "foreign");
            QDir().mkpath(dataDir());
            db.setDatabaseName(databasePath());
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec("CREATE TABLE contacts(name TEXT)"));
        }
        QSqlDatabase::removeDatabase("foreign");
    } else {
        writeFile(databasePath(), damage == "text" ? QByteArray("name,sn\nx,y\n") : QByteArray());
    }

    {
        const auto recorder = loadedRecorder();
        QTRY_VERIFY(recorder->isLoaded());
        QCOMPARE(filesLike("history.sqlite.damaged-*").size(), setAside ? 1 : 0);
        QCOMPARE(recorder->statusMessage().isEmpty(), !setAside);
        QVERIFY(!recorder->statusMessage().contains('\n'));
        QVERIFY(recorder->list().all().empty());
        recorder->recordSend("after()", "{}").record(0, "fresh");
    }
    const auto reread = loadedRecorder();
    QTRY_VERIFY(reread->isLoaded());
    QCOMPARE(operationsOf(*reread), QStringList{"after()"});
    QCOMPARE(reread->list().at(0).results.size(), std::size_t(1));
    QVERIFY(reread->statusMessage().isEmpty());
}

void TestHistoryStore::importOldFile_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("operations");
    QTest::addColumn<int>("resultsOfFirst");
    QTest::addColumn<int>("damaged"); // lines reported

    const QByteArray header = "{\"tessel-console-history\":1}\n";
    const QByteArray two = header + oldSend("a-1", "getVolume()") + oldSend("b-1", "ping()") +
                           oldResult("a-1", 0) + oldResult("b-1", 3) + oldResult("a-1", 1);
    const QStringList both{"getVolume()", "ping()"};
    QTest::newRow("two sessions interleaved") << two << both << 2 << 0;
    QTest::newRow("last line without its end, whole")
        << two + oldResult("a-1", 4).trimmed() << both << 3 << 0;
    QTest::newRow("last line cut short") << two + R"({"id":"a-1","co)" << both << 2 << 1;
    QTest::newRow("damaged and cut lines")
        << header + oldSend("a-1", "ping()") + "{not json\n" + oldResult("a-1", 0) +
               R"({"id":"a-1","code":"zero","ms":1,"reply":""})" + "\n" +
               oldSend("b-1", "getVolume()").left(30)
        << QStringList{"ping()"} << 1 << 3;
    QTest::newRow("result of a request not kept")
        << header + oldResult("gone-1", 0) + oldSend("a-1", "ping()") << QStringList{"ping()"} << 0 << 0;
    QTest::newRow("no header, CRLF line ends")
        << QByteArray(oldSend("a-1", "ping()").trimmed() + "\r\n" + oldResult("a-1", 0).trimmed() + "\r\n")
        << QStringList{"ping()"} << 1 << 0;
    QTest::newRow("foreign file") << QByteArray("name,sn\nx,y\n") << QStringList{} << 0 << 2;
    QTest::newRow("empty file") << QByteArray() << QStringList{} << 0 << 0;
}

void TestHistoryStore::importOldFile()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, operations);
    QFETCH(int, resultsOfFirst);
    QFETCH(int, damaged);
    writeFile(tessel::HistoryStore::oldFilePath(databasePath()), file);
    {
        const auto recorder = loadedRecorder();
        QTRY_VERIFY(recorder->isLoaded());
        QCOMPARE(operationsOf(*recorder), operations);
        if (!operations.isEmpty())
            QCOMPARE(recorder->list().at(0).results.size(), std::size_t(resultsOfFirst));
        const QString message = recorder->statusMessage();
        QCOMPARE(message.isEmpty(), damaged == 0);
        if (damaged > 0)
            QVERIFY2(message.contains(QString("%1 行已损坏").arg(damaged)), qPrintable(message));
        QCOMPARE(filesLike("history.jsonl*"), QStringList{"history.jsonl.imported"});
        recorder->recordSend("getCPUUsage()", "{}");
    }
    // Imported once: the next start reads the database alone.
    const auto reread = loadedRecorder();
    QTRY_VERIFY(reread->isLoaded());
    QCOMPARE(operationsOf(*reread), operations + QStringList{"getCPUUsage()"});
    QVERIFY(reread->statusMessage().isEmpty());
}

void TestHistoryStore::unwritableFolder_data()
{
    QTest::addColumn<QString>("blocker"); // a file or folder in the way, under the data folder
    QTest::addColumn<QString>("path");    // of the database, under the data folder

    QTest::newRow("data folder is a file") << "data"
                                           << "data/history.sqlite";
    QTest::newRow("database is a folder") << "history.sqlite/"
                                          << "history.sqlite";
}

void TestHistoryStore::unwritableFolder()
{
    QFETCH(QString, blocker);
    QFETCH(QString, path);
    const QDir data(dataDir());
    if (blocker.endsWith('/'))
        QVERIFY(QDir().mkpath(data.filePath(blocker)));
    else
        writeFile(data.filePath(blocker), "not a folder");

    tessel::HistoryRecorder recorder(data.filePath(path));
    tessel::HistoryWindow window(recorder);
    const auto* status = window.findChild<QLabel*>("historyStatus");
    recorder.recordSend("getVolume()", "{}").record(0, "kept");
    QTRY_VERIFY(recorder.isLoaded());
    QTRY_COMPARE(recorder.list().at(0).results.size(), std::size_t(1));
    // The session stays in memory, and the window says so.
    QVERIFY2(recorder.statusMessage().contains("内存"), qPrintable(recorder.statusMessage()));
    QVERIFY(!recorder.statusMessage().contains('\n'));
    QCOMPARE(status->text(), recorder.statusMessage());
    recorder.recordSend("ping()", "{}");
    recorder.flush();
    QCOMPARE(operationsOf(recorder), (QStringList{"getVolume()", "ping()"}));
    QCOMPARE(status->text(), recorder.statusMessage());
}

QTEST_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
