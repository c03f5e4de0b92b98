#include "run/runarguments.h"

#include "replay/replycompare.h"

namespace tessel {
namespace {

bool number(const QString& option, const QString& text, int low, int high, int& out, QString& error)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high) {
        error = QStringLiteral("%1 takes a whole number from %2 to %3, not \"%4\"")
                    .arg(option)
                    .arg(low)
                    .arg(high)
                    .arg(text);
        return false;
    }
    out = value;
    return true;
}

} // namespace

QString runUsage()
{
    return QStringLiteral(
        "usage: tessel-run RUNFILE [--sn SERIAL] [--login USER:PASSWORD] [--ignore NAME[,NAME...]]\n"
        "                  [--timeout MS] [--grace MS] [--concurrency N] [--junit FILE] [--record FILE]\n"
        "Replays the requests of a run file and compares the results with the recorded ones.\n"
        "  --sn SERIAL        set each request's top-level text \"sn\" to SERIAL\n"
        "  --login USER:PW    log in to the target terminals first; without \":PW\" the password\n"
        "                     comes from the environment variable TESSEL_RUN_PASSWORD\n"
        "  --ignore NAMES     reply members left out of the comparison: a bare name at any depth,\n"
        "                     a dotted path exactly (repeatable)\n"
        "  --timeout MS       give up on a request after MS milliseconds (default 10000)\n"
        "  --grace MS         wait MS milliseconds for further results (default 500)\n"
        "  --concurrency N    requests waiting for results at once (default 1)\n"
        "  --junit FILE       write a JUnit XML report\n"
        "  --record FILE      write a new run file with the new results\n"
        "Exit status: 0 every request the same, 1 any differs or times out, 2 bad arguments or run file.\n");
}

std::optional<RunArguments> parseRunArguments(const QStringList& arguments,
                                              const QByteArray& passwordVariable, QString& error)
{
    RunArguments parsed;
    QStringList files;
    QString loginText;
    for (int i = 0; i < arguments.size(); ++i) {
        QString option = arguments[i];
        if (option == QLatin1String("-h") || option == QLatin1String("--help")) {
            parsed.help = true;
            return parsed;
        }
        if (!option.startsWith(QLatin1String("--")) || option == QLatin1String("--")) {
            files << option;
            continue;
        }
        QString value;
        const int equals = option.indexOf(QLatin1Char('='));
        if (equals > 0) {
            value = option.mid(equals + 1);
            option.truncate(equals);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            error = QStringLiteral("%1 needs a value").arg(option);
            return std::nullopt;
        }
        bool ok = true;
        if (option == QLatin1String("--sn")) {
            parsed.serial = value.toUtf8();
            ok = !value.isEmpty();
            if (!ok)
                error = QStringLiteral("--sn needs a serial number");
        } else if (option == QLatin1String("--login")) {
            loginText = value;
            parsed.login = true;
        } else if (option == QLatin1String("--ignore")) {
            for (std::string& entry : splitIgnoreList(value.toStdString()))
                parsed.ignore.push_back(std::move(entry));
        } else if (option == QLatin1String("--timeout")) {
            ok = number(option, value, 1, 3600000, parsed.timeoutMs, error);
        } else if (option == QLatin1String("--grace")) {
            ok = number(option, value, 0, 600000, parsed.graceMs, error);
        } else if (option == QLatin1String("--concurrency")) {
            ok = number(option, value, 1, 1000, parsed.concurrency, error);
        } else if (option == QLatin1String("--junit")) {
            parsed.junitFile = value;
        } else if (option == QLatin1String("--record")) {
            parsed.recordFile = value;
        } else {
            error = QStringLiteral("unknown option %1").arg(option);
            return std::nullopt;
        }
        if (!ok)
            return std::nullopt;
        if ((option == QLatin1String("--junit") || option == QLatin1String("--record")) && value.isEmpty()) {
            error = QStringLiteral("%1 needs a file name").arg(option);
            return std::nullopt;
        }
    }
    if (files.size() != 1) {
        error = files.isEmpty() ? QStringLiteral("no run file given")
                                : QStringLiteral("one run file only, not %1").arg(files.size());
        return std::nullopt;
    }
    parsed.runFile = files.front();
    if (parsed.login) {
        const int colon = loginText.indexOf(QLatin1Char(':'));
        parsed.user = (colon < 0 ? loginText : loginText.left(colon)).toUtf8();
        if (colon >= 0)
            parsed.password = loginText.mid(colon + 1).toUtf8();
        else if (!passwordVariable.isNull())
            parsed.password = passwordVariable;
        else {
            error = QStringLiteral("--login %1: no password, neither after \":\" nor in TESSEL_RUN_PASSWORD")
                        .arg(loginText);
            return std::nullopt;
        }
        if (parsed.user.isEmpty()) {
            error = QStringLiteral("--login needs a user name");
            return std::nullopt;
        }
    }
    return parsed;
}

} // namespace tessel
