#include "controls/VLOpaqueView.h"

VLOpaqueView::VLOpaqueView(QWidget *parent) : QWidget(parent)
{
}
