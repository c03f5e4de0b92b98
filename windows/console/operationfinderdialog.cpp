#include "console/operationfinderdialog.h"

#include "operations/operationfinder.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace tessel {

OperationFinderDialog::OperationFinderDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("operationFinder"));
    setWindowTitle(tr("查找接口"));
    resize(520, 400);

    field = new QLineEdit(this);
    field->setObjectName(QStringLiteral("finderField"));
    field->setPlaceholderText(tr("输入接口名称或模块，如 gvol"));
    list = new QListWidget(this);
    list->setObjectName(QStringLiteral("finderList"));
    list->setFocusPolicy(Qt::NoFocus); // typing always goes to the field

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(field);
    layout->addWidget(list);

    field->installEventFilter(this);
    connect(field, &QLineEdit::textChanged, this, &OperationFinderDialog::refill);
    connect(field, &QLineEdit::returnPressed, this, &OperationFinderDialog::chooseCurrent);
    connect(list, &QListWidget::itemActivated, this, &OperationFinderDialog::chooseCurrent);
    refill(QString());
}

void OperationFinderDialog::restart()
{
    field->clear();
    refill(QString());
    field->setFocus();
}

bool OperationFinderDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == field && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
            QCoreApplication::sendEvent(list, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void OperationFinderDialog::refill(const QString& query)
{
    const std::vector<FinderEntry>& entries = finderEntries();
    list->clear();
    for (int index : rankOperations(query)) {
        const FinderEntry& entry = entries[static_cast<std::size_t>(index)];
        auto* item = new QListWidgetItem(entry.name + QStringLiteral("    ") + entry.moduleLabel, list);
        item->setData(Qt::UserRole, index);
    }
    if (list->count() > 0) {
        list->setCurrentRow(0);
        return;
    }
    // Says so rather than leave an empty list; it cannot be chosen.
    auto* none = new QListWidgetItem(tr("无匹配的接口"), list);
    none->setFlags(Qt::NoItemFlags);
}

void OperationFinderDialog::chooseCurrent()
{
    QListWidgetItem* item = list->currentItem();
    if (!item || !item->data(Qt::UserRole).isValid())
        return; // nothing matches: the finder stays open for another try
    hide();
    emit chosen(item->data(Qt::UserRole).toInt());
}

} // namespace tessel
