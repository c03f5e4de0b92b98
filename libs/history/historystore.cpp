#include "history/historystore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>

#include <algorithm>
#include <utility>

namespace tessel {
namespace {

// Marks the database as ours ("TSLH"), so that another program's is not mistaken for it.
constexpr int applicationId = 0x54534c48;
constexpr int busyTimeoutMs = 10000;

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

// A null QString would be bound as NULL.
QString notNull(const QString& text)
{
    return text.isNull() ? QString(QLatin1String("")) : text;
}

QString timeStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

} // namespace

QString HistoryStore::joined(const QString& first, const QString& second)
{
    if (first.isEmpty())
        return second;
    return second.isEmpty() ? first : first + QStringLiteral("；") + second;
}

// `base`, or base-2, base-3 … when that is taken.
QString HistoryStore::freeName(const QString& base)
{
    QString name = base;
    for (int n = 2; QFileInfo::exists(name) && n < 1000; ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

QString HistoryStore::oldFilePath(const QString& databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("history.jsonl"));
}

HistoryStore::HistoryStore(QString path, HistoryLimits limits)
    : path(std::move(path)), limits(limits), busyTimeoutMs(limits.busyTimeoutMs),
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
    const bool newFolder = !QFileInfo::exists(folder);
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("无法创建文件夹 %1").arg(folder);
    } else {
        // Requests carry passwords as typed: the folder is the user's alone.
        if (newFolder)
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        check = connect(&error);
        if (check == Check::Damaged) {
            if (setAside(&load.message))
                check = connect(&error);
            else
                check = Check::Unusable;
        }
    }
    if (check == Check::Busy) {
        disconnect();
        load.writable = false;
        load.busy = true;
        load.message = error;
        return load;
    }
    if (check != Check::Sound) {
        disconnect();
        load.writable = false;
        QString ignored;
        if (QFileInfo(path).isFile() && connectReadOnly(&ignored)) {
            // What is there is shown; only this session's requests cannot be kept.
            load.message =
                joined(load.message,
                       QStringLiteral("历史无法保存（%1），已有的历史只读打开，本次新的请求只保留在内存中")
                           .arg(error));
            if (!readLatest(&load.entries, &ignored))
                load.message = joined(load.message, QStringLiteral("历史无法读取（%1）").arg(ignored));
            return load;
        }
        disconnect();
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

void HistoryStore::setBusyTimeout(int ms)
{
    busyTimeoutMs = std::max(ms, 0);
    if (db.isOpen())
        QSqlQuery(db).exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(busyTimeoutMs));
}

HistoryStore::Check HistoryStore::connect(QString* error)
{
    // SQLite gives its -wal, -shm and -journal files the mode of the database
    // file, so creating that one for the user alone keeps them all so (a
    // umask would be the whole process's, its other threads' files too).
    if (!QFileInfo::exists(path)) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!db.open()) {
        *error = db.lastError().text();
        return QFileInfo(path).isFile() ? Check::Damaged : Check::Unusable;
    }
    return check(false, error);
}

HistoryStore::Check HistoryStore::check(bool readOnly, QString* error)
{
    QSqlQuery query(db);
    auto fault = [&](const QSqlQuery& failed) {
        *error = failed.lastError().text();
        const int code = codeOf(failed.lastError());
        if (code == sqliteBusy || code == sqliteLocked)
            return Check::Busy;
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
    if (readOnly && id != applicationId)
        return Check::Unusable;
    // WAL lets a second copy read and write beside this one; NORMAL sync
    // still survives the program being killed, only not a power cut.
    if (!readOnly && (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
                      !query.exec(QStringLiteral("PRAGMA synchronous=NORMAL"))))
        return fault(query);
    // Only a new database is written to here: opening one that another copy
    // keeps locked (importing, say) must not wait for that copy.
    const char* const create[] = {
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
    };
    static_assert(applicationId == 1414745160, "the schema names the same id");
    for (const char* sql : create) {
        if (id != applicationId && !query.exec(QString::fromLatin1(sql))) {
            const Check outcome = fault(query);
            query.exec(QStringLiteral("ROLLBACK"));
            return outcome;
        }
    }
    // A table of the same name but another shape is not our history.
    for (const char* sql : {"SELECT id, uid, at, sn, op, request, batch, bytes FROM requests LIMIT 0",
                            "SELECT id, request, code, ms, reply, cut_from FROM results LIMIT 0"}) {
        if (!query.exec(QString::fromLatin1(sql))) {
            const Check outcome = fault(query);
            return outcome == Check::Busy ? outcome : Check::Damaged;
        }
    }
    open_ = !readOnly;
    return Check::Sound;
}

bool HistoryStore::connectReadOnly(QString* error)
{
    for (const bool immutable : {false, true}) {
        // Without its -wal file a database of a folder that cannot be written
        // only opens as unchanging: SQLite could not make its -shm file there.
        if (immutable && QFileInfo::exists(path + QLatin1String("-wal")))
            return false;
        disconnect();
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1%2")
                                 .arg(busyTimeoutMs)
                                 .arg(immutable ? QStringLiteral(";QSQLITE_OPEN_URI") : QString()));
        db.setDatabaseName(immutable ? QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) +
                                           QStringLiteral("?immutable=1")
                                     : path);
        if (db.open() && check(true, error) == Check::Sound)
            return true;
    }
    return false;
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
    return finish(outcome, transaction, added, error);
}

HistoryStore::Outcome HistoryStore::finish(Outcome outcome, QSqlQuery& transaction,
                                           const std::vector<QString>& added, QString* error)
{
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
                                           std::vector<QString>* added, QString* error, qint64* unknown)
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
        if (row < 0) {
            if (unknown)
                ++*unknown;
            continue; // not a send of ours
        }
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

} // namespace tessel
