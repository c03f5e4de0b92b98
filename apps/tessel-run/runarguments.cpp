#include "tessel-run/runarguments.h"
#include "tessel-run/version.h"

#include "replay/replycompare.h"
#include "targets/targets.h"

#include <algorithm>
#include <iterator>
#include <vector>

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

const char* const knownOptions[] = {
    "--sn",     "--login",    "--ignore",  "--timeout", "--grace",  "--concurrency",  "--junit",
    "--record", "--help",     "--targets", "--all",     "--limit",  "--list-targets", "--parallel",
    "--wave",   "--max-fail", "--retries", "--shard",   "--failed", "--baseline",     "--version"};

// Options that take no value.
bool isSwitch(const QString& option)
{
    return option == QLatin1String("--all") || option == QLatin1String("--list-targets");
}

// Options of a fleet run only.
bool isFleetOption(const QString& option)
{
    for (const char* name : {"--limit", "--list-targets", "--parallel", "--wave", "--max-fail", "--retries",
                             "--shard", "--failed", "--baseline"})
        if (option == QLatin1String(name))
            return true;
    return false;
}

bool shard(const QString& text, RunArguments& parsed, QString& error)
{
    const QStringList parts = text.split(QLatin1Char('/'));
    bool okK = false, okN = false;
    const int k = parts.size() == 2 ? parts[0].toInt(&okK) : 0;
    const int n = parts.size() == 2 ? parts[1].toInt(&okN) : 0;
    if (!okK || !okN || n < 1 || n > 1000 || k < 1 || k > n) {
        error = QStringLiteral("--shard takes K/N, the K-th of N parts (1 <= K <= N <= 1000), not \"%1\"")
                    .arg(text);
        return false;
    }
    parsed.shardK = k;
    parsed.shardN = n;
    return true;
}

// Edits between two names, dashes not counted: "-sn" is "--sn" mistyped.
int distance(QString a, QString b)
{
    while (a.startsWith(QLatin1Char('-')))
        a.remove(0, 1);
    while (b.startsWith(QLatin1Char('-')))
        b.remove(0, 1);
    std::vector<int> row(std::size_t(b.size()) + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[std::size_t(j)] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[std::size_t(j)];
            row[std::size_t(j)] =
                std::min({above + 1, row[std::size_t(j) - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row.back();
}

QString unknownOption(const QString& option)
{
    QString nearest;
    int best = 3; // further than this is no likely slip
    for (const char* known : knownOptions) {
        const int d = distance(option, QLatin1String(known));
        if (d < best) {
            best = d;
            nearest = QLatin1String(known);
        }
    }
    QString text = QStringLiteral("unknown option %1").arg(option);
    if (!nearest.isEmpty())
        text += QStringLiteral("; did you mean %1?").arg(nearest);
    return text;
}

} // namespace

QString runUsage()
{
    return QStringLiteral(
        "usage: tessel-run RUNFILE [--sn SERIAL] [--login USER:PASSWORD] [--ignore NAME[,NAME...]]\n"
        "                  [--timeout MS] [--grace MS] [--concurrency N] [--junit FILE] [--record FILE]\n"
        "       tessel-run --help | --version\n"
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
        "  --                 ends the options: a run file whose name starts with \"-\" follows\n"
        "  --help             print this text and exit\n"
        "  --version          print the program's version and exit\n"
        "A fleet run sends the run file's lines, in order, to each of many terminals:\n"
        "       tessel-run RUNFILE (--targets FILE | --all) [--limit PATTERNS] [--list-targets]\n"
        "                  [--parallel N] [--wave N|P%] [--max-fail N|P%] [--retries N] [--shard K/N]\n"
        "                  [--login USER[:PW]] [--junit FILE] [--failed FILE] [--record DIR] [--baseline "
        "DIR]\n"
        "  --targets FILE     the terminals: CSV with a header (sn, name, ip, group, variables) or JSON "
        "Lines\n"
        "  --all              every terminal a broadcast search finds\n"
        "  --limit PATTERNS   keep the targets whose serial, name, ip or a group matches a pattern (* ? "
        "[..])\n"
        "  --list-targets     print the chosen targets and exit without sending\n"
        "  --parallel N       terminals at once, 1 to 256 (default 8)\n"
        "  --wave N|P%        start the terminals in waves; the next only when the last kept the budget\n"
        "  --max-fail N|P%    start no more terminals once more than this failed\n"
        "  --retries N        resend a line that did not reach the terminal, after 0.5 s, 1 s, 2 s ...\n"
        "  --shard K/N        keep the K-th of N equal parts of the targets, in serial order\n"
        "  --junit FILE       one test suite per terminal, one test case per line\n"
        "  --failed FILE      write the targets that did not pass, as a targets file\n"
        "  --record DIR       write DIR/SERIAL.jsonl with each terminal's new results\n"
        "  --baseline DIR     compare each terminal with DIR/SERIAL.jsonl where there is one\n"
        "Exit status: 0 every request the same (every terminal passed), 1 any differs, times out, fails or\n"
        "is skipped, or the run was interrupted, 2 bad arguments, run file or targets file.\n");
}

QString runVersion()
{
    return QStringLiteral("tessel-run " TESSEL_VERSION "\n");
}

std::optional<RunArguments> parseRunArguments(const QStringList& arguments,
                                              const QByteArray& passwordVariable, QString& error)
{
    RunArguments parsed;
    QStringList files;
    QString loginText;
    QStringList fleetOptions;
    bool optionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i) {
        QString option = arguments[i];
        if (optionsEnded || option == QLatin1String("-") || !option.startsWith(QLatin1Char('-'))) {
            files << option;
            continue;
        }
        if (option == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString value;
        const int equals = option.indexOf(QLatin1Char('='));
        if (equals > 0)
            option.truncate(equals);
        if (option == QLatin1String("-h") || option == QLatin1String("--help") ||
            option == QLatin1String("--version")) {
            if (equals > 0) {
                error = QStringLiteral("%1 takes no value").arg(option);
                return std::nullopt;
            }
            // A script that asks for the version gets it or an error, never a run.
            if (option == QLatin1String("--version") && arguments.size() != 1) {
                error = QStringLiteral("--version takes no other arguments");
                return std::nullopt;
            }
            (option == QLatin1String("--version") ? parsed.version : parsed.help) = true;
            return parsed;
        }
        // Named before its value is looked for: a slip at the end of the
        // line is no missing value.
        if (!option.startsWith(QLatin1String("--")) ||
            std::none_of(std::begin(knownOptions), std::end(knownOptions),
                         [&](const char* known) { return option == QLatin1String(known); })) {
            error = unknownOption(option);
            return std::nullopt;
        }
        if (isSwitch(option)) {
            if (equals > 0) {
                error = QStringLiteral("%1 takes no value").arg(option);
                return std::nullopt;
            }
            (option == QLatin1String("--all") ? parsed.all : parsed.listTargets) = true;
            fleetOptions << option;
            continue;
        }
        if (isFleetOption(option))
            fleetOptions << option;
        if (equals > 0) {
            value = arguments[i].mid(equals + 1);
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
        } else if (option == QLatin1String("--targets")) {
            parsed.targetsFile = value;
        } else if (option == QLatin1String("--limit")) {
            const std::vector<std::string> patterns = splitPatterns(value.toStdString());
            ok = !patterns.empty();
            if (!ok)
                error = QStringLiteral("--limit needs a pattern");
            parsed.limit.insert(parsed.limit.end(), patterns.begin(), patterns.end());
        } else if (option == QLatin1String("--parallel")) {
            ok = number(option, value, 1, 256, parsed.parallel, error);
        } else if (option == QLatin1String("--retries")) {
            ok = number(option, value, 0, 10, parsed.retries, error);
        } else if (option == QLatin1String("--wave") || option == QLatin1String("--max-fail")) {
            const bool budget = option == QLatin1String("--max-fail");
            std::string why;
            std::optional<FleetCount> count = parseFleetCount(value.toStdString(), budget, why);
            ok = count.has_value();
            if (!ok)
                error = option + QLatin1Char(' ') + QString::fromStdString(why);
            (budget ? parsed.maxFail : parsed.wave) = count;
        } else if (option == QLatin1String("--shard")) {
            ok = shard(value, parsed, error);
        } else if (option == QLatin1String("--failed")) {
            parsed.failedFile = value;
        } else if (option == QLatin1String("--baseline")) {
            parsed.baselineDir = value;
        } else {
            error = unknownOption(option);
            return std::nullopt;
        }
        if (!ok)
            return std::nullopt;
        if ((option == QLatin1String("--junit") || option == QLatin1String("--record") ||
             option == QLatin1String("--targets") || option == QLatin1String("--failed") ||
             option == QLatin1String("--baseline")) &&
            value.isEmpty()) {
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
    if (parsed.fleet()) {
        if (parsed.all && !parsed.targetsFile.isEmpty()) {
            error = QStringLiteral("--targets and --all exclude each other");
            return std::nullopt;
        }
        if (!parsed.serial.isEmpty()) {
            error = QStringLiteral("--sn and %1 exclude each other: each target's serial is set")
                        .arg(parsed.all ? QStringLiteral("--all") : QStringLiteral("--targets"));
            return std::nullopt;
        }
        if (parsed.concurrency != 1) {
            error = QStringLiteral("--concurrency is for one terminal; a fleet run takes --parallel");
            return std::nullopt;
        }
    } else if (!fleetOptions.isEmpty()) {
        error = QStringLiteral("%1 needs --targets FILE or --all").arg(fleetOptions.front());
        return std::nullopt;
    }
    if (parsed.login) {
        const int colon = loginText.indexOf(QLatin1Char(':'));
        parsed.user = (colon < 0 ? loginText : loginText.left(colon)).toUtf8();
        if (colon >= 0)
            parsed.password = loginText.mid(colon + 1).toUtf8();
        else if (!passwordVariable.isNull())
            parsed.password = passwordVariable;
        else if (parsed.fleet())
            ; // each target's "password" column then; the targets are checked for it
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
