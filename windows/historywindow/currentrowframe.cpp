#include "historywindow/currentrowframe.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>

namespace tessel {
namespace {

constexpr int frameWidth = 2;

class CurrentRowFrame : public QStyledItemDelegate
{
public:
    explicit CurrentRowFrame(QAbstractItemView& view) : QStyledItemDelegate(&view), view(view)
    {
        view.installEventFilter(this);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem plain(option);
        plain.state &= ~QStyle::State_HasFocus; // the frame below takes its place
        QStyledItemDelegate::paint(painter, plain, index);
        const QModelIndex current = view.currentIndex();
        if (!view.hasFocus() || !current.isValid() || current.row() != index.row() ||
            current.parent() != index.parent())
            return;
        // Each cell draws its part of one frame round the row.
        const QRect cell = option.rect;
        const QColor colour = option.palette.color(QPalette::Text);
        painter->fillRect(QRect(cell.left(), cell.top(), cell.width(), frameWidth), colour);
        painter->fillRect(QRect(cell.left(), cell.bottom() - frameWidth + 1, cell.width(), frameWidth),
                          colour);
        int first = 0;
        int last = index.model()->columnCount(index.parent()) - 1;
        if (const auto* table = qobject_cast<const QTableView*>(&view)) { // columns may be moved
            first = table->horizontalHeader()->logicalIndex(0);
            last = table->horizontalHeader()->logicalIndex(table->horizontalHeader()->count() - 1);
        }
        if (index.column() == first)
            painter->fillRect(QRect(cell.left(), cell.top(), frameWidth, cell.height()), colour);
        if (index.column() == last)
            painter->fillRect(QRect(cell.right() - frameWidth + 1, cell.top(), frameWidth, cell.height()),
                              colour);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The base class takes what it watches for an editor; the view is none.
        if (watched != &view)
            return QStyledItemDelegate::eventFilter(watched, event);
        // The whole row changes its look, not only the current cell.
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            view.viewport()->update();
        return false;
    }

private:
    QAbstractItemView& view;
};

} // namespace

void frameCurrentRowOnFocus(QAbstractItemView& view)
{
    view.setItemDelegate(new CurrentRowFrame(view));
    if (QItemSelectionModel* selection = view.selectionModel())
        QObject::connect(selection, &QItemSelectionModel::currentRowChanged, view.viewport(),
                         qOverload<>(&QWidget::update));
}

} // namespace tessel
