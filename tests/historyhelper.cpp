// Another copy of the program's history, for tests: records SENDS sends into
// the database at PATH, each answered RESULTS times, and prints "committed N"
// each time the first N sends and their results are in. With EVERY 0 it
// never flushes: it sends once the history is read in, as a user would,
// prints "sent N" and runs until killed, its writer alone committing.
// Usage: history_helper PATH SENDS RESULTS TAG [EVERY, default 50]

#include "history/historyrecorder.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: history_helper PATH SENDS RESULTS TAG [EVERY]\n");
        return 2;
    }
    const int every = argc == 6 ? QByteArray(argv[5]).toInt() : 50;
    const int sends = QByteArray(argv[2]).toInt();
    const int results = QByteArray(argv[3]).toInt();
    const QByteArray tag(argv[4]);
    tessel::HistoryRecorder recorder(QString::fromLocal8Bit(argv[1]));
    auto send = [&] {
        for (int n = 0; n < sends; ++n) {
            const tessel::HistoryTicket ticket = recorder.recordSend(
                "op" + tag + "()", "{\"copy\":\"" + tag + "\",\"n\":" + QByteArray::number(n) + "}");
            for (int r = 0; r < results; ++r)
                ticket.record(r, QStringLiteral("reply %1 of %2").arg(r).arg(n));
            if (every > 0 && (n + 1) % every == 0) {
                recorder.flush();
                std::printf("committed %d\n", n + 1);
                std::fflush(stdout);
            }
        }
    };
    if (every == 0) {
        QObject::connect(&recorder, &tessel::HistoryRecorder::listReset, &app, [&] {
            send();
            std::printf("sent %d\n", sends);
            std::fflush(stdout);
        });
        recorder.ensureLoaded();
        return app.exec();
    }
    recorder.ensureLoaded();
    send();
    recorder.flush();
    return 0;
}
