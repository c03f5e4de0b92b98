#include "tessel-console/snapshot.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTableWidget>
#include <QWidget>

#include <cstdio>

namespace tessel {

namespace {
constexpr int quietMs = 600;
constexpr int deadlineMs = 20000;
} // namespace

SnapshotRun::SnapshotRun(QWidget& window, const QTableWidget& table, QString folder)
    : window(window), table(table), folder(std::move(folder))
{
    quiet.setSingleShot(true);
    quiet.setInterval(quietMs);
    deadline.setSingleShot(true);
    deadline.setInterval(deadlineMs);
    connect(&quiet, &QTimer::timeout, this, &SnapshotRun::finish);
    connect(&deadline, &QTimer::timeout, this, &SnapshotRun::finish);
    connect(table.model(), &QAbstractItemModel::dataChanged, &quiet, qOverload<>(&QTimer::start));
    quiet.start();
    deadline.start();
}

void SnapshotRun::finish()
{
    quiet.stop();
    deadline.stop();
    int status = 0;
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "tessel-console: cannot create snapshot folder %s\n", qPrintable(folder));
        status = 1;
    } else {
        const QString path = QDir(folder).filePath("main.png");
        if (!window.grab().save(path)) {
            std::fprintf(stderr, "tessel-console: cannot write %s\n", qPrintable(path));
            status = 1;
        }
    }
    for (int row = 0; row < table.rowCount(); ++row) {
        if (!table.item(row, 0))
            break;
        QStringList cells;
        for (int column = 0; column < table.columnCount(); ++column)
            cells << (table.item(row, column) ? table.item(row, column)->text() : QString());
        std::printf("%s\n", cells.join(QStringLiteral(" | ")).toUtf8().constData());
    }
    std::fflush(stdout);
    QApplication::exit(status);
}

} // namespace tessel
