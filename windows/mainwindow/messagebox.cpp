#include "mainwindow/messagebox.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

namespace tessel {

QMessageBox* makeMessageBox(const QString& title, const QString& text, bool about)
{
    auto* box = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    if (about) {
        const QIcon icon = box->windowIcon();
        box->setIconPixmap(icon.pixmap(icon.actualSize(QSize(64, 64))));
    }
    // The modality first: QMessageBox::setWindowModality resets the window
    // flags, and with them the one that keeps the box on top.
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowFlags(box->windowFlags() | Qt::WindowStaysOnTopHint);
    return box;
}

namespace {

void showAndWait(QMessageBox* box)
{
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->exec();
}

} // namespace

void showNotice(const QString& title, const QString& text)
{
    showAndWait(makeMessageBox(title, text, false));
}

void showAbout(const QString& title, const QString& text)
{
    showAndWait(makeMessageBox(title, text, true));
}

void showAboutLater(const QString& title, const QString& text)
{
    QMessageBox* box = makeMessageBox(title, text, true);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, box, &QObject::deleteLater);
    box->show();
}

} // namespace tessel
