#pragma once

class QApplication;

namespace tessel {

// The one mode test: exactly three arguments, the first of them "-export".
bool isExportMode(int argc, const char* const* argv);

// Called before the QApplication exists. Export mode must run on a machine
// without a display; when the arguments may ask for it and no display is
// configured, Qt is pointed at its offscreen platform. Only where X11 or
// Wayland would be the platform; elsewhere it does nothing. Returns whether it did.
bool prepareHeadlessExport(int argc, const char* const* argv);

// Loads Qt's own Chinese texts for its contexts (menus of text boxes, file dialogs).
void installQtTranslation(QApplication& app);

// Everything after the QApplication is built: the mode test on the arguments
// as Qt left them, then the export or the main window. Returns the exit code.
int run(QApplication& app, int argc, char** argv, bool headlessExportPrepared);

} // namespace tessel
