#include "tessel-console/startup.h"

#include <QApplication>

int main(int argc, char** argv)
{
    const bool headlessExport = tessel::prepareHeadlessExport(argc, argv);
    // QApplication removes the Qt options it knows from argc/argv before the mode test.
    QApplication app(argc, argv);
    tessel::installQtTranslation(app);
    return tessel::run(app, argc, argv, headlessExport);
}
