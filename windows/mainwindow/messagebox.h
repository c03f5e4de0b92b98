#pragma once

// The message boxes of the main window and its dialogs. They have no parent
// window, yet each is kept above the console and the history window, which
// stay on top of their own, and takes the keyboard. Their text is plain: it
// often carries a reply of the SDK or of a terminal, shown as it came.

#include <QString>

class QMessageBox;

namespace tessel {

// A box titled `title`, with `text` and one OK button, application modal,
// not shown yet. `about` gives it the application's icon, as
// QMessageBox::about does; otherwise it bears the information icon.
QMessageBox* makeMessageBox(const QString& title, const QString& text, bool about);

// Shows the information box and returns once it is closed.
void showNotice(const QString& title, const QString& text);

// Shows the about-style box and returns once it is closed.
void showAbout(const QString& title, const QString& text);

// Shows the about-style box and returns at once; the box deletes itself when
// closed or when the event loop ends. Input to every other window is blocked
// meanwhile.
void showAboutLater(const QString& title, const QString& text);

} // namespace tessel
