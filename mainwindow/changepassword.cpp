#include "mainwindow/changepassword.h"

Changepassword::Changepassword(QWidget* parent) : QWidget(parent)
{
    if (objectName().isEmpty())
        setObjectName("ChangepasswordClass");
}

Changepassword::~Changepassword() = default;

void Changepassword::setSureCallback(SureCallback callback)
{
    sureCallback = std::move(callback);
}

void Changepassword::slotClickedSure() {}
