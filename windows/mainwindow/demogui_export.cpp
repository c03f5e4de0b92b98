// The terminal list as a targets file: a list found on site becomes the
// terminals of a fleet run.
#include "mainwindow/demogui.h"

#include "console/ownedwindow.h"
#include "mainwindow/messagebox.h"
#include "targets/targets.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

void DemoGUI::slotsExportTerminals()
{
    std::vector<int> rows = selectedTerminalRows();
    if (rows.empty()) // none selected: every listed terminal
        for (std::size_t row = 0; row < terminals.size(); ++row)
            rows.push_back(static_cast<int>(row));
    // The terminals as listed now: a search may change the table while the
    // file is chosen.
    std::vector<tessel::Target> targets;
    for (int row : rows) {
        const tsc::SearchResponseData& terminal = terminals[static_cast<std::size_t>(row)];
        targets.push_back({terminal.sn, terminal.name, terminal.ip, {}, {}});
    }
    // Not a static dialog: it would spin an event loop of its own.
    auto* dialog = new QFileDialog(this, tr("导出终端列表"), QString(), tr("CSV (*.csv);;所有文件 (*)"));
    dialog->setObjectName(QStringLiteral("exportTerminalsDialog"));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    dialog->selectFile(QStringLiteral("terminals.csv"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [targets = std::move(targets)](const QString& path) {
        const QString fault = tessel::writeTargetsFile(path, targets);
        if (fault.isEmpty())
            return;
        QMessageBox* box = tessel::makeMessageBox(tr("导出终端列表"), fault, false);
        box->setAttribute(Qt::WA_DeleteOnClose);
        connect(qApp, &QCoreApplication::aboutToQuit, box, &QObject::deleteLater);
        box->show();
    });
    dialog->setWindowModality(Qt::WindowModal); // as open() makes it
    tessel::keepAboveConsole(*dialog, console, this);
    dialog->open();
}
