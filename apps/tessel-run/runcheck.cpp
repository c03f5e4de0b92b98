#include "tessel-run/runcheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <thread>
#include <utility>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace tessel {
namespace {

bool copyStream(RunCheckJob& job)
{
    QFile in(job.path);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        job.copyError = "cannot read " + job.path.toStdString() + ": " + in.errorString().toStdString();
        return false;
    }
    QFile out(job.copyPath);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        job.copyError = "cannot copy " + job.path.toStdString() + " to " + job.copyPath.toStdString() + ": " +
                        out.errorString().toStdString();
        return false;
    }
    std::vector<char> chunk(64 * 1024);
    while (!job.cancel.load(std::memory_order_relaxed)) {
        const qint64 got = in.read(chunk.data(), static_cast<qint64>(chunk.size()));
        if (got < 0) {
            job.copyError = "cannot read " + job.path.toStdString() + ": " + in.errorString().toStdString();
            return false;
        }
        if (got == 0)
            return true;
        if (out.write(chunk.data(), got) != got) {
            job.copyError = "cannot copy " + job.path.toStdString() + " to " + job.copyPath.toStdString() +
                            ": " + out.errorString().toStdString();
            return false;
        }
    }
    return false;
}

QString whereItIs(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = info.absoluteDir().canonicalPath();
    return folder.isEmpty() ? info.absoluteFilePath() : folder + QLatin1Char('/') + info.fileName();
}

} // namespace

void startRunCheck(std::shared_ptr<RunCheckJob> job, std::function<void()> done)
{
    std::thread([job = std::move(job), done = std::move(done)] {
        if (job->copyPath.isEmpty() || copyStream(*job))
            job->check = checkRunFile(job->copyPath.isEmpty() ? job->path : job->copyPath, job->withSerials,
                                      &job->cancel);
        job->running = false;
        done();
    }).detach();
}

bool sameFile(const QString& a, const QString& b)
{
#ifdef Q_OS_UNIX
    struct stat first, second;
    if (::stat(QFile::encodeName(a).constData(), &first) == 0 &&
        ::stat(QFile::encodeName(b).constData(), &second) == 0)
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
#endif
    return whereItIs(a) == whereItIs(b);
}

} // namespace tessel
