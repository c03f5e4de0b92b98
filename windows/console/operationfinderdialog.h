#pragma once

// The finder window: a text field over the ranked list of operations.
// Up/Down move through the list, Enter chooses, Escape closes.

#include <QDialog>

class QLineEdit;
class QListWidget;

namespace tessel {

class OperationFinderDialog : public QDialog
{
    Q_OBJECT

public:
    explicit OperationFinderDialog(QWidget* parent = nullptr);

    // Empties the field and shows every operation, ready for typing.
    void restart();

signals:
    // Index into finderEntries() of the operation chosen.
    void chosen(int entryIndex);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refill(const QString& query);
    void chooseCurrent();

    QLineEdit* field = nullptr;
    QListWidget* list = nullptr;
};

} // namespace tessel
