#include "tessel-console/startup.h"

#include "export/exportdriver.h"
#include "mainwindow/demogui.h"
#include "tessel-console/exitafterrows.h"
#include "tessel-console/snapshot.h"

#include <QApplication>
#include <QByteArray>
#include <QLibraryInfo>
#include <QTableWidget>
#include <QTranslator>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace tessel {
namespace {

bool environmentSet(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

int runGui(QApplication& app)
{
    // The timed run for the benchmarks: quit once that many rows are in.
    const QByteArray rowsText = qgetenv("TESSEL_EXIT_AFTER_ROWS");
    std::optional<int> exitRows;
    if (!rowsText.isEmpty()) {
        exitRows = ExitAfterRows::parseRowCount(rowsText);
        if (!exitRows) {
            std::fprintf(stderr,
                         "tessel-console: TESSEL_EXIT_AFTER_ROWS=%s is not a row count from 1 to %d\n",
                         rowsText.constData(), ExitAfterRows::maxRows);
            return 1;
        }
    }
    DemoGUI window;
    window.show();
    // A headless run shows the program working without anyone at a screen.
    const QByteArray snapshotDir = qgetenv("TESSEL_SNAPSHOT");
    std::unique_ptr<SnapshotRun> snapshot;
    if (!snapshotDir.isEmpty())
        snapshot = std::make_unique<SnapshotRun>(window, window.terminalTable(),
                                                 QString::fromLocal8Bit(snapshotDir));
    std::unique_ptr<ExitAfterRows> timedRun;
    if (exitRows)
        timedRun = std::make_unique<ExitAfterRows>(window, window.terminalTable(), *exitRows);
    return app.exec();
}

} // namespace

bool isExportMode(int argc, const char* const* argv)
{
    return argc == 3 && std::strcmp(argv[1], "-export") == 0;
}

bool prepareHeadlessExport(int argc, const char* const* argv)
{
#if !defined(Q_OS_UNIX) || defined(Q_OS_MACOS) || defined(Q_OS_ANDROID)
    // Only an X11 or Wayland desktop can be missing; elsewhere Qt's native
    // platform is always there and the arguments go to the mode test as given.
    (void)argc;
    (void)argv;
    return false;
#else
    if (environmentSet("DISPLAY") || environmentSet("WAYLAND_DISPLAY") || environmentSet("QT_QPA_PLATFORM"))
        return false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0)
            return false;
        if (std::strcmp(argv[i], "-export") == 0) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            return true;
        }
    }
    return false;
#endif
}

void installQtTranslation(QApplication& app)
{
    // Qt's own texts (the text boxes' menus, the file dialogs) in the program's
    // language; the program's texts are compiled in and need no catalogue.
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_zh_CN"),
                         QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator; // without the package Qt's texts stay in English
}

int run(QApplication& app, int argc, char** argv, bool headlessExportPrepared)
{
    if (isExportMode(argc, argv))
        return runExport(QByteArray(argv[2])) ? 0 : 1;
    if (headlessExportPrepared) {
        // Qt was only made headless for an export; a window would be invisible.
        std::fprintf(stderr, "tessel-console: no display available: set DISPLAY or WAYLAND_DISPLAY "
                             "(or QT_QPA_PLATFORM=offscreen for a headless run)\n");
        return 1;
    }
    return runGui(app);
}

} // namespace tessel
