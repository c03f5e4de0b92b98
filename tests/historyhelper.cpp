// Another copy of the program's history, for tests: records SENDS sends into
// the database at PATH, each answered RESULTS times, and prints "committed N"
// each time the first N sends and their results are in.
// Usage: history_helper PATH SENDS RESULTS TAG

#include "history/historyrecorder.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: history_helper PATH SENDS RESULTS TAG\n");
        return 2;
    }
    const int sends = QByteArray(argv[2]).toInt();
    const int results = QByteArray(argv[3]).toInt();
    const QByteArray tag(argv[4]);
    tessel::HistoryRecorder recorder(QString::fromLocal8Bit(argv[1]));
    recorder.ensureLoaded();
    for (int n = 0; n < sends; ++n) {
        const tessel::HistoryTicket ticket = recorder.recordSend(
            "op" + tag + "()", "{\"copy\":\"" + tag + "\",\"n\":" + QByteArray::number(n) + "}");
        for (int r = 0; r < results; ++r)
            ticket.record(r, QStringLiteral("reply %1 of %2").arg(r).arg(n));
        if ((n + 1) % 50 == 0) {
            recorder.flush();
            std::printf("committed %d\n", n + 1);
            std::fflush(stdout);
        }
    }
    recorder.flush();
    return 0;
}
