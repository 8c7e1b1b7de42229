#include "app/navigation/VLTitledViewController.h"

VLTitledViewController::VLTitledViewController(QObject *parent) : VLViewController(parent)
{
}

QList<QWidget *> VLTitledViewController::nonanimatableViews() const
{
    return {};
}
