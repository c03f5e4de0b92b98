#include "mainwindow/terminalmenu.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>

namespace tessel {

void appendCopyEntries(QMenu* menu, QObject* owner, const tsc::SearchResponseData* terminal)
{
    auto* separator = new QAction(owner);
    separator->setSeparator(true);
    menu->addAction(separator);

    // The texts are taken now: the list may change before an entry is chosen.
    const std::pair<QString, QString> entries[] = {
        {QObject::tr("复制序列号"), terminal ? QString::fromStdString(terminal->sn) : QString()},
        {QObject::tr("复制IP"), terminal ? QString::fromStdString(terminal->ip) : QString()},
    };
    for (const auto& [text, value] : entries) {
        auto* action = new QAction(text, owner);
        action->setEnabled(terminal != nullptr);
        QObject::connect(action, &QAction::triggered, action,
                         [value = value] { QApplication::clipboard()->setText(value); });
        menu->addAction(action);
    }
}

} // namespace tessel
