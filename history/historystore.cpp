#include "history/historystore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <utility>

namespace tessel {
namespace {

// Marks the database as ours ("TSLH"), so that another program's is not mistaken for it.
constexpr int applicationId = 0x54534c48;
constexpr int busyTimeoutMs = 10000;
constexpr char importedKey[] = "imported-jsonl";

enum SqliteCode
{
    sqliteBusy = 5,
    sqliteLocked = 6,
    sqliteCorrupt = 11,
    sqliteNotADatabase = 26
};

int codeOf(const QSqlError& error)
{
    return error.nativeErrorCode().toInt() & 0xff;
}

QString joined(const QString& first, const QString& second)
{
    if (first.isEmpty())
        return second;
    return second.isEmpty() ? first : first + QStringLiteral("；") + second;
}

// A null QString would be bound as NULL.
QString notNull(const QString& text)
{
    return text.isNull() ? QString(QLatin1String("")) : text;
}

QString timeStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

// `base`, or base-2, base-3 … when that is taken.
QString freeName(const QString& base)
{
    QString name = base;
    for (int n = 2; QFileInfo::exists(name) && n < 1000; ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

} // namespace

QString HistoryStore::oldFilePath(const QString& databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("history.jsonl"));
}

HistoryStore::HistoryStore(QString path, HistoryLimits limits)
    : path(std::move(path)), limits(limits),
      connection(QStringLiteral("tessel-history-%1").arg(reinterpret_cast<quintptr>(this), 0, 16))
{}

HistoryStore::~HistoryStore()
{
    disconnect();
}

HistoryLoad HistoryStore::open()
{
    HistoryLoad load;
    const QString folder = QFileInfo(path).absolutePath();
    QString error;
    Check check = Check::Unusable;
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("无法创建文件夹 %1").arg(folder);
    } else {
        check = connect(&error);
        if (check == Check::Damaged) {
            if (setAside(&load.message))
                check = connect(&error);
            else
                check = Check::Unusable;
        }
    }
    if (check != Check::Sound) {
        disconnect();
        load.writable = false;
        if (!error.isEmpty())
            load.message = joined(load.message,
                                  QStringLiteral("历史无法保存（%1），本次的历史只保留在内存中").arg(error));
        return load;
    }
    QString imported;
    importOldFile(&imported);
    load.message = joined(load.message, imported);
    if (!readLatest(&load.entries, &error))
        load.message = joined(load.message, QStringLiteral("历史无法读取（%1）").arg(error));
    return load;
}

HistoryStore::Check HistoryStore::connect(QString* error)
{
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!db.open()) {
        *error = db.lastError().text();
        return QFileInfo(path).isFile() ? Check::Damaged : Check::Unusable;
    }
    QSqlQuery query(db);
    auto fault = [&](const QSqlQuery& failed) {
        *error = failed.lastError().text();
        const int code = codeOf(failed.lastError());
        return code == sqliteNotADatabase || code == sqliteCorrupt ? Check::Damaged : Check::Unusable;
    };
    if (!query.exec(QStringLiteral("PRAGMA quick_check")))
        return fault(query);
    if (!query.next() || query.value(0).toString() != QLatin1String("ok")) {
        *error = QStringLiteral("quick_check: %1").arg(query.value(0).toString());
        return Check::Damaged;
    }
    if (!query.exec(QStringLiteral("PRAGMA application_id")) || !query.next())
        return fault(query);
    const int id = query.value(0).toInt();
    if (id != applicationId) {
        // A new database is empty; one with tables but not our mark is another program's.
        if (id != 0 || !query.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")) || !query.next() ||
            query.value(0).toInt() != 0) {
            *error = QStringLiteral("不是本程序的数据库");
            return Check::Damaged;
        }
    }
    // WAL lets a second copy read and write beside this one; NORMAL sync
    // still survives the program being killed, only not a power cut.
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
        !query.exec(QStringLiteral("PRAGMA synchronous=NORMAL")))
        return fault(query);
    const char* const schema[] = {
        "BEGIN IMMEDIATE",
        "CREATE TABLE IF NOT EXISTS requests(id INTEGER PRIMARY KEY AUTOINCREMENT, uid TEXT NOT NULL,"
        " at INTEGER NOT NULL, sn TEXT NOT NULL, op TEXT NOT NULL, request TEXT NOT NULL,"
        " batch TEXT NOT NULL DEFAULT '', bytes INTEGER NOT NULL)",
        "CREATE TABLE IF NOT EXISTS results(id INTEGER PRIMARY KEY AUTOINCREMENT, request INTEGER NOT NULL,"
        " code INTEGER NOT NULL, ms INTEGER NOT NULL, reply TEXT NOT NULL, cut_from INTEGER NOT NULL DEFAULT "
        "0)",
        "CREATE INDEX IF NOT EXISTS results_of_request ON results(request, id)",
        "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL)",
        "PRAGMA application_id=1414745160",
        "COMMIT",
        // A table of the same name but another shape is not our history.
        "SELECT id, uid, at, sn, op, request, batch, bytes FROM requests LIMIT 0",
        "SELECT id, request, code, ms, reply, cut_from FROM results LIMIT 0",
    };
    static_assert(applicationId == 1414745160, "the schema names the same id");
    for (const char* sql : schema) {
        if (!query.exec(QString::fromLatin1(sql))) {
            const QSqlError failed = query.lastError();
            query.exec(QStringLiteral("ROLLBACK"));
            *error = failed.text();
            const int code = codeOf(failed);
            return QByteArray(sql).startsWith("SELECT") || code == sqliteNotADatabase || code == sqliteCorrupt
                       ? Check::Damaged
                       : Check::Unusable;
        }
    }
    open_ = true;
    return Check::Sound;
}

void HistoryStore::disconnect()
{
    open_ = false;
    if (!db.isValid())
        return;
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection);
}

bool HistoryStore::setAside(QString* message)
{
    disconnect();
    const QString aside = freeName(path + QStringLiteral(".damaged-") + timeStamp());
    if (!QFile::rename(path, aside)) {
        *message = QStringLiteral("历史数据库已损坏，且无法移开（%1）").arg(path);
        return false;
    }
    // Its journal goes with it; a fresh database must not pick it up.
    for (const char* suffix : {"-wal", "-shm"}) {
        if (QFileInfo::exists(path + QLatin1String(suffix)) &&
            !QFile::rename(path + QLatin1String(suffix), aside + QLatin1String(suffix)))
            QFile::remove(path + QLatin1String(suffix));
    }
    *message = QStringLiteral("历史数据库已损坏或不是本程序的，已另存为 %1，重新开始记录")
                   .arg(QFileInfo(aside).fileName());
    return true;
}

bool HistoryStore::exec(const QString& sql, QString* error)
{
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    *error = query.lastError().text();
    return false;
}

HistoryStore::Outcome HistoryStore::failure(const QString& what, const QSqlQuery& query, QString* error)
{
    *error = what + QStringLiteral(": ") + query.lastError().text();
    const int code = codeOf(query.lastError());
    return code == sqliteBusy || code == sqliteLocked ? Outcome::Busy : Outcome::Failed;
}

HistoryStore::Outcome HistoryStore::write(const std::vector<HistoryWrite>& writes, QString* error)
{
    if (!open_) {
        *error = QStringLiteral("not open");
        return Outcome::Failed;
    }
    QSqlQuery transaction(db);
    if (!transaction.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return failure(QStringLiteral("BEGIN"), transaction, error);
    std::vector<QString> added;
    Outcome outcome = insert(writes, &added, error);
    if (outcome == Outcome::Written && !trim(error))
        outcome = Outcome::Failed;
    if (outcome == Outcome::Written && !transaction.exec(QStringLiteral("COMMIT")))
        outcome = failure(QStringLiteral("COMMIT"), transaction, error);
    if (outcome != Outcome::Written) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        for (const QString& id : added)
            rowOfId.remove(id);
    }
    return outcome;
}

HistoryStore::Outcome HistoryStore::insert(const std::vector<HistoryWrite>& writes,
                                           std::vector<QString>* added, QString* error)
{
    QSqlQuery send(db);
    send.prepare(QStringLiteral("INSERT INTO requests(uid, at, sn, op, request, batch, bytes)"
                                " VALUES(?, ?, ?, ?, ?, ?, ?)"));
    QSqlQuery result(db);
    result.prepare(
        QStringLiteral("INSERT INTO results(request, code, ms, reply, cut_from) VALUES(?, ?, ?, ?, ?)"));
    QSqlQuery exists(db);
    exists.prepare(QStringLiteral("SELECT 1 FROM requests WHERE id = ?"));
    QSqlQuery grow(db);
    grow.prepare(QStringLiteral("UPDATE requests SET bytes = bytes + ? WHERE id = ?"));

    QHash<qint64, qint64> grown; // bytes of results by request row; -1: the request is gone
    for (const HistoryWrite& one : writes) {
        if (one.kind == HistoryWrite::Kind::Send) {
            const HistoryEntry& entry = one.send;
            send.addBindValue(notNull(entry.id));
            send.addBindValue(entry.sentAtMs);
            send.addBindValue(notNull(entry.serial));
            send.addBindValue(notNull(entry.operation));
            send.addBindValue(notNull(entry.request));
            send.addBindValue(notNull(entry.batch));
            send.addBindValue(utf8Length(entry.request));
            if (!send.exec())
                return failure(QStringLiteral("INSERT"), send, error);
            rowOfId.insert(entry.id, send.lastInsertId().toLongLong());
            added->push_back(entry.id);
            continue;
        }
        const qint64 row = rowOfId.value(one.id, -1);
        if (row < 0)
            continue; // not a send of ours
        auto known = grown.find(row);
        if (known == grown.end()) {
            exists.addBindValue(row);
            if (!exists.exec())
                return failure(QStringLiteral("SELECT"), exists, error);
            // A request past the limits has gone, and its late results with it.
            known = grown.insert(row, exists.next() ? 0 : -1);
            exists.finish();
        }
        if (*known < 0)
            continue;
        result.addBindValue(row);
        result.addBindValue(one.result.code);
        result.addBindValue(one.result.ms);
        result.addBindValue(notNull(one.result.reply));
        result.addBindValue(one.result.cutFromBytes);
        if (!result.exec())
            return failure(QStringLiteral("INSERT"), result, error);
        *known += utf8Length(one.result.reply);
    }
    for (auto it = grown.cbegin(); it != grown.cend(); ++it) {
        if (it.value() <= 0)
            continue;
        grow.addBindValue(it.value());
        grow.addBindValue(it.key());
        if (!grow.exec())
            return failure(QStringLiteral("UPDATE"), grow, error);
    }
    return Outcome::Written;
}

// The oldest requests go, with their results, while more than the limits
// allow are kept; the newest one stays whatever its size.
bool HistoryStore::trim(QString* error)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT COUNT(*), TOTAL(bytes) FROM requests")) || !query.next()) {
        *error = query.lastError().text();
        return false;
    }
    if (query.value(0).toLongLong() <= limits.requests &&
        query.value(1).toDouble() <= double(limits.textBytes))
        return true;
    if (!query.exec(QStringLiteral("SELECT id, bytes FROM requests ORDER BY id DESC"))) {
        *error = query.lastError().text();
        return false;
    }
    qint64 kept = 0;
    qint64 keptBytes = 0;
    qint64 cutoff = -1;
    while (query.next()) {
        const qint64 bytes = query.value(1).toLongLong();
        if (kept > 0 && (kept + 1 > limits.requests || keptBytes + bytes > limits.textBytes)) {
            cutoff = query.value(0).toLongLong();
            break;
        }
        ++kept;
        keptBytes += bytes;
    }
    query.finish();
    if (cutoff < 0)
        return true;
    for (const QString& sql : {QStringLiteral("DELETE FROM results WHERE request <= ?"),
                               QStringLiteral("DELETE FROM requests WHERE id <= ?")}) {
        QSqlQuery remove(db);
        remove.prepare(sql);
        remove.addBindValue(cutoff);
        if (!remove.exec()) {
            *error = remove.lastError().text();
            return false;
        }
    }
    return true;
}

bool HistoryStore::readLatest(HistoryEntries* entries, QString* error)
{
    entries->clear();
    if (!exec(QStringLiteral("BEGIN"), error))
        return false;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT id, uid, at, sn, op, request, batch FROM requests ORDER BY id DESC LIMIT ?"));
    query.addBindValue(limits.requests);
    if (!query.exec()) {
        *error = query.lastError().text();
        QString ignored;
        exec(QStringLiteral("ROLLBACK"), &ignored);
        return false;
    }
    QHash<qint64, std::size_t> fromEnd; // row -> position counted from the newest
    while (query.next()) {
        HistoryEntry entry;
        entry.id = query.value(1).toString();
        entry.sentAtMs = query.value(2).toLongLong();
        entry.serial = query.value(3).toString();
        entry.operation = query.value(4).toString();
        entry.request = query.value(5).toString();
        entry.batch = query.value(6).toString();
        fromEnd.insert(query.value(0).toLongLong(), entries->size());
        entries->push_front(std::move(entry));
    }
    query.finish();
    if (!fromEnd.isEmpty()) {
        const qint64 oldest = *std::min_element(fromEnd.keyBegin(), fromEnd.keyEnd());
        query.prepare(QStringLiteral(
            "SELECT request, code, ms, reply, cut_from FROM results WHERE request >= ? ORDER BY id"));
        query.addBindValue(oldest);
        if (!query.exec()) {
            *error = query.lastError().text();
            exec(QStringLiteral("ROLLBACK"), error);
            return false;
        }
        while (query.next()) {
            const auto at = fromEnd.constFind(query.value(0).toLongLong());
            if (at == fromEnd.constEnd())
                continue;
            HistoryResult result;
            result.code = query.value(1).toInt();
            result.ms = query.value(2).toLongLong();
            result.reply = query.value(3).toString();
            result.cutFromBytes = query.value(4).toLongLong();
            (*entries)[entries->size() - 1 - *at].results.push_back(std::move(result));
        }
    }
    QString ignored;
    exec(QStringLiteral("COMMIT"), &ignored);
    return true;
}

bool HistoryStore::importOldFile(QString* message)
{
    const QString old = oldFilePath(path);
    const QFileInfo info(old);
    if (!info.isFile())
        return true;
    QFile file(old);
    if (!file.open(QIODevice::ReadOnly)) {
        *message =
            QStringLiteral("旧历史文件 %1 无法读取（%2），未导入").arg(info.fileName(), file.errorString());
        return false;
    }
    // Two copies may start at once: the one that takes the write lock first
    // imports; the other then finds the file renamed, or, when the first died
    // between its commit and the rename, the mark of the import.
    const QString stamp =
        QStringLiteral("%1:%2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
    QSqlQuery transaction(db);
    QString error;
    if (!transaction.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        *message = QStringLiteral("旧历史文件未导入（%1）").arg(transaction.lastError().text());
        return false;
    }
    if (!QFileInfo::exists(old)) {
        transaction.exec(QStringLiteral("ROLLBACK"));
        return true;
    }
    QSqlQuery mark(db);
    mark.prepare(QStringLiteral("SELECT value FROM meta WHERE key = ?"));
    mark.addBindValue(QLatin1String(importedKey));
    const bool importedBefore = mark.exec() && mark.next() && mark.value(0).toString() == stamp;
    mark.finish();

    Outcome outcome = Outcome::Written;
    HistoryImportCounts counts;
    if (!importedBefore) {
        std::vector<HistoryWrite> batch;
        std::vector<QString> added;
        int batches = 0;
        auto store = [&] {
            if (outcome == Outcome::Written)
                outcome = insert(batch, &added, &error);
            batch.clear();
            // The file may hold far more than is kept: trim as it goes.
            if (outcome == Outcome::Written && ++batches % 10 == 0 && !trim(&error))
                outcome = Outcome::Failed;
        };
        HistoryImportSink sink;
        sink.send = [&](qint64, const HistoryEntry& send) {
            HistoryWrite one;
            one.send = send;
            batch.push_back(std::move(one));
            if (batch.size() >= 1000)
                store();
        };
        sink.result = [&](qint64, const QString& id, const HistoryResult& result) {
            HistoryWrite one;
            one.kind = HistoryWrite::Kind::Result;
            one.id = id;
            one.result = result;
            limitReply(one.result, limits.replyBytes);
            batch.push_back(std::move(one));
            if (batch.size() >= 1000)
                store();
        };
        sink.damaged = [](qint64) {
        };
        counts = importHistoryLines(file, sink);
        store();
        rowOfId.clear(); // the old file's ids name nothing of this session
        if (outcome == Outcome::Written && !trim(&error))
            outcome = Outcome::Failed;
        mark.prepare(QStringLiteral("INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)"));
        mark.addBindValue(QLatin1String(importedKey));
        mark.addBindValue(stamp);
        if (outcome == Outcome::Written && !mark.exec())
            outcome = failure(QStringLiteral("INSERT"), mark, &error);
    }
    if (outcome == Outcome::Written && !transaction.exec(QStringLiteral("COMMIT")))
        outcome = failure(QStringLiteral("COMMIT"), transaction, &error);
    file.close();
    if (outcome != Outcome::Written) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        *message = QStringLiteral("旧历史文件导入失败（%1），原文件保留").arg(error);
        return false;
    }
    const QString done = freeName(old + QStringLiteral(".imported"));
    if (!QFile::rename(old, done))
        *message = QStringLiteral("旧历史文件已导入，但无法改名为 %1").arg(QFileInfo(done).fileName());
    if (counts.damaged > 0)
        *message = joined(*message, QStringLiteral("旧历史文件导入了 %1 条请求，%2 行已损坏，已跳过")
                                        .arg(counts.sends)
                                        .arg(counts.damaged));
    return true;
}

} // namespace tessel
