#include "batchwindow/batchlogindialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessel {

BatchLoginDialog::BatchLoginDialog(int terminals, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("batchLoginDialog"));
    setWindowTitle(tr("批量连接"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("登录到选中的 %1 台终端").arg(terminals), this));
    auto* form = new QFormLayout;
    userEdit = new QLineEdit(QStringLiteral("admin"), this);
    userEdit->setObjectName(QStringLiteral("batchUserEdit"));
    passwordEdit = new QLineEdit(this);
    passwordEdit->setObjectName(QStringLiteral("batchPasswordEdit"));
    passwordEdit->setEchoMode(QLineEdit::Password);
    form->addRow(tr("用户名"), userEdit);
    form->addRow(tr("密码"), passwordEdit);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        emit credentials(userEdit->text(), passwordEdit->text());
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    passwordEdit->setFocus();
}

void BatchLoginDialog::setUserName(const QString& userName)
{
    userEdit->setText(userName);
}

} // namespace tessel
