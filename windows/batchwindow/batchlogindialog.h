#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace tessel {

// Asks once for the user name and the password of a batch log-in. Opened
// with open(), not run in a loop of its own; `credentials` follows "确定".
class BatchLoginDialog : public QDialog
{
    Q_OBJECT

public:
    explicit BatchLoginDialog(int terminals, QWidget* parent = nullptr);

    // In place of the default "admin": a retry asks again for the same user.
    void setUserName(const QString& userName);

signals:
    void credentials(const QString& userName, const QString& password);

private:
    QLineEdit* userEdit = nullptr;
    QLineEdit* passwordEdit = nullptr;
};

} // namespace tessel
