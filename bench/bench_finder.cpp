// Times the operation finder per keystroke: each query is typed one character
// at a time, and every prefix is ranked against all operation names; then the
// same keystrokes into the finder window, ranking plus refilling its list.
// Mean and worst keystroke of each query.

#include "console/operationfinderdialog.h"
#include "operations/operationfinder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int rounds = 200;

const char* const queries[] = {"getvolume", "gvol", "setpageparam()(rss)", "screenpower", "网络", "zzzz"};

struct Figures
{
    double meanUs = 0;
    double worstUs = 0;
};

// `keystroke(prefix)` for every prefix of `query`, `rounds` times over.
Figures time(const QString& query, const std::function<void(const QString&)>& keystroke)
{
    std::vector<double> perKey(static_cast<std::size_t>(query.size()), 0.0);
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        for (int length = 1; length <= query.size(); ++length) {
            timer.start();
            keystroke(query.left(length));
            perKey[static_cast<std::size_t>(length - 1)] += static_cast<double>(timer.nsecsElapsed());
        }
    }
    Figures figures;
    for (double total : perKey) {
        const double us = total / rounds / 1000.0;
        figures.meanUs += us / static_cast<double>(perKey.size());
        figures.worstUs = std::max(figures.worstUs, us);
    }
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    tessel::OperationFinderDialog finder;
    auto* field = finder.findChild<QLineEdit*>("finderField");
    auto* list = finder.findChild<QListWidget*>("finderList");

    std::printf("Finder, %zu operation names, per keystroke, mean of %d rounds\n",
                tessel::finderEntries().size(), rounds);
    std::printf("  %-22s %8s %14s %14s %16s %16s\n", "query", "matches", "rank mean us", "rank worst us",
                "window mean us", "window worst us");
    std::size_t sink = 0;
    for (const char* text : queries) {
        const QString query = QString::fromUtf8(text);
        const Figures rank =
            time(query, [&](const QString& prefix) { sink += tessel::rankOperations(prefix).size(); });
        const Figures window = time(query, [&](const QString& prefix) { field->setText(prefix); });
        std::printf("  %-22s %8d %14.1f %14.1f %16.1f %16.1f\n", text, list->count(), rank.meanUs,
                    rank.worstUs, window.meanUs, window.worstUs);
    }
    return sink == 0 ? 1 : 0;
}
