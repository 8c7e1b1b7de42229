#include "windowing/navigation/VLTitledViewController.h"

VLTitledViewController::VLTitledViewController(QObject *parent) : VLViewController(parent)
{
}

QList<QWidget *> VLTitledViewController::nonanimatableViews() const
{
    return {};
}
