// The import of the file that earlier versions kept the history in, into the
// database: in short transactions, so that another copy starting meanwhile
// can still write, and resumable, so that a copy killed mid-way leaves
// nothing twice.

#include "history/historystore.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace tessel {
namespace {

constexpr char importedKey[] = "imported-jsonl"; // the file's stamp, once all of it is in
constexpr char importingKey[] = "importing-jsonl";
constexpr std::size_t linesPerTransaction = 1000;
// A copy importing says so at every transaction; one silent this long has died.
constexpr qint64 staleMs = 60000;

// How far an import has come: committed with every transaction of it.
struct Progress
{
    QString stamp;     // the file's size and time
    qint64 offset = 0; // bytes of it imported
    qint64 firstRow = 0;
    qint64 beatMs = 0; // the last transaction's time
};

QString textOf(const Progress& progress)
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(progress.stamp)
        .arg(progress.offset)
        .arg(progress.firstRow)
        .arg(progress.beatMs);
}

Progress progressOf(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(' '));
    Progress progress;
    if (parts.size() == 4) {
        progress.stamp = parts[0];
        progress.offset = parts[1].toLongLong();
        progress.firstRow = parts[2].toLongLong();
        progress.beatMs = parts[3].toLongLong();
    }
    return progress;
}

QString metaValue(QSqlDatabase& db, const char* key)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT value FROM meta WHERE key = ?"));
    query.addBindValue(QLatin1String(key));
    return query.exec() && query.next() ? query.value(0).toString() : QString();
}

bool setMeta(QSqlDatabase& db, const char* key, const QString& value, QString* error)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)"));
    query.addBindValue(QLatin1String(key));
    query.addBindValue(value);
    if (query.exec())
        return true;
    *error = query.lastError().text();
    return false;
}

// An import that stopped short lets the next start go on at once, from
// where it stopped, instead of taking this copy for still at it.
void releaseClaim(QSqlDatabase& db, const QString& stamp)
{
    QSqlQuery transaction(db);
    if (!transaction.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return;
    Progress progress = progressOf(metaValue(db, importingKey));
    QString ignored;
    if (progress.stamp == stamp) {
        progress.beatMs = 0;
        setMeta(db, importingKey, textOf(progress), &ignored);
    }
    if (!transaction.exec(QStringLiteral("COMMIT")))
        transaction.exec(QStringLiteral("ROLLBACK"));
}

// The version of the file's first line when it is a format line, else 0.
int versionOfFirstLine(QFile& file)
{
    const QByteArray head = file.peek(4096);
    const int end = head.indexOf('\n');
    const HistoryLine line = parseHistoryLine(end < 0 ? head : head.left(end));
    return line.kind == HistoryLine::Kind::Header ? line.version : 0;
}

} // namespace

HistoryStore::Claim HistoryStore::claimImport(const QString& stamp, qint64* offset, QString* error)
{
    QSqlQuery transaction(db);
    if (!transaction.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        *error = transaction.lastError().text();
        return Claim::Failed;
    }
    auto leave = [&](Claim claim) {
        transaction.exec(QStringLiteral("ROLLBACK"));
        return claim;
    };
    // Two copies may start at once: the one that takes the write lock first
    // claims the import; the other finds the claim, the file renamed, or,
    // when the first died between its last commit and the rename, the mark.
    if (!QFileInfo::exists(oldFilePath(path)))
        return leave(Claim::Elsewhere);
    if (metaValue(db, importedKey) == stamp)
        return leave(Claim::Done);
    Progress progress = progressOf(metaValue(db, importingKey));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (progress.stamp == stamp && qAbs(now - progress.beatMs) < staleMs)
        return leave(Claim::Elsewhere);
    if (progress.stamp != stamp) {
        QSqlQuery last(db);
        if (!last.exec(QStringLiteral("SELECT COALESCE(MAX(id), 0) FROM requests")) || !last.next()) {
            *error = last.lastError().text();
            return leave(Claim::Failed);
        }
        progress = Progress{stamp, 0, last.value(0).toLongLong() + 1, 0};
    }
    progress.beatMs = now;
    if (!setMeta(db, importingKey, textOf(progress), error))
        return leave(Claim::Failed);
    if (!transaction.exec(QStringLiteral("COMMIT"))) {
        *error = transaction.lastError().text();
        return leave(Claim::Failed);
    }
    // A copy that died mid-way left its sends in: their later results find them.
    rowOfId.clear();
    if (progress.offset > 0) {
        QSqlQuery sends(db);
        sends.setForwardOnly(true);
        sends.prepare(QStringLiteral("SELECT id, uid FROM requests WHERE id >= ?"));
        sends.addBindValue(progress.firstRow);
        if (!sends.exec()) {
            *error = sends.lastError().text();
            return Claim::Failed;
        }
        while (sends.next())
            rowOfId.insert(sends.value(1).toString(), sends.value(0).toLongLong());
    }
    *offset = progress.offset;
    return Claim::Ours;
}

HistoryStore::Outcome HistoryStore::importBatch(const std::vector<HistoryWrite>& batch, const QString& stamp,
                                                qint64 from, qint64 to, bool last, qint64* unknown,
                                                QString* error)
{
    QSqlQuery transaction(db);
    if (!transaction.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return failure(QStringLiteral("BEGIN"), transaction, error);
    std::vector<QString> added;
    Outcome outcome = Outcome::Written;
    Progress progress = progressOf(metaValue(db, importingKey));
    if (progress.stamp != stamp || progress.offset != from) {
        *error = QStringLiteral("另一个副本接手了导入");
        outcome = Outcome::Failed;
    }
    qint64 unknownHere = 0;
    if (outcome == Outcome::Written)
        outcome = insert(batch, &added, error, &unknownHere);
    // The file may hold far more than is kept: trim as it goes.
    if (outcome == Outcome::Written && !trim(error))
        outcome = Outcome::Failed;
    progress.offset = to;
    progress.beatMs = QDateTime::currentMSecsSinceEpoch();
    if (outcome == Outcome::Written) {
        QSqlQuery done(db);
        const bool marked =
            last ? done.exec(QStringLiteral("DELETE FROM meta WHERE key = '%1'").arg(importingKey)) &&
                       setMeta(db, importedKey, stamp, error)
                 : setMeta(db, importingKey, textOf(progress), error);
        if (!marked)
            outcome = Outcome::Failed;
    }
    outcome = finish(outcome, transaction, added, error);
    if (outcome == Outcome::Written)
        *unknown += unknownHere;
    return outcome;
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
    auto refuse = [&](int version) {
        *message = QStringLiteral("旧历史文件 %1 是格式版本 %2，本程序只能读到版本 %3，未导入，原文件保留")
                       .arg(info.fileName())
                       .arg(version)
                       .arg(historyFileVersion);
        return false;
    };
    if (const int version = versionOfFirstLine(file); version > historyFileVersion)
        return refuse(version);
    const QString stamp =
        QStringLiteral("%1:%2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
    QString error;
    qint64 offset = 0;
    HistoryImportCounts counts;
    qint64 unknown = 0;
    switch (claimImport(stamp, &offset, &error)) {
    case Claim::Elsewhere:
        return true;
    case Claim::Failed:
        *message = QStringLiteral("旧历史文件未导入（%1）").arg(error);
        return false;
    case Claim::Done:
        break;
    case Claim::Ours: {
        if (offset > 0 && !file.seek(offset)) {
            releaseClaim(db, stamp);
            *message = QStringLiteral("旧历史文件未导入（%1）").arg(file.errorString());
            return false;
        }
        Outcome outcome = Outcome::Written;
        std::vector<HistoryWrite> batch;
        qint64 committed = offset;
        auto store = [&](bool last) {
            const qint64 to = file.pos();
            outcome = importBatch(batch, stamp, committed, to, last, &unknown, &error);
            committed = to;
            batch.clear();
        };
        HistoryImportSink sink;
        sink.send = [&](qint64, const HistoryEntry& send) {
            HistoryWrite one;
            one.send = send;
            batch.push_back(std::move(one));
            if (batch.size() >= linesPerTransaction)
                store(false);
        };
        sink.result = [&](qint64, const QString& id, const HistoryResult& result) {
            HistoryWrite one;
            one.kind = HistoryWrite::Kind::Result;
            one.id = id;
            one.result = result;
            limitReply(one.result, limits.replyBytes);
            batch.push_back(std::move(one));
            if (batch.size() >= linesPerTransaction)
                store(false);
        };
        sink.damaged = [](qint64) {
        };
        sink.more = [&] {
            return outcome == Outcome::Written;
        };
        counts = importHistoryLines(file, sink);
        if (counts.newerVersion > 0) {
            rowOfId.clear();
            releaseClaim(db, stamp);
            return refuse(counts.newerVersion);
        }
        if (outcome == Outcome::Written)
            store(true);
        rowOfId.clear(); // the old file's ids name nothing of this session
        if (outcome != Outcome::Written) {
            releaseClaim(db, stamp);
            *message = QStringLiteral("旧历史文件导入失败（%1），原文件保留").arg(error);
            return false;
        }
        break;
    }
    }
    file.close();
    const QString done = freeName(old + QStringLiteral(".imported"));
    if (!QFile::rename(old, done))
        *message = QStringLiteral("旧历史文件已导入，但无法改名为 %1").arg(QFileInfo(done).fileName());
    // A result whose send the file does not hold is as damaged as a line cut short.
    const qint64 damaged = counts.damaged + unknown;
    if (damaged > 0)
        *message = joined(
            *message,
            QStringLiteral("旧历史文件导入了 %1 条请求，%2 行已损坏，已跳过").arg(counts.sends).arg(damaged));
    return true;
}

} // namespace tessel
