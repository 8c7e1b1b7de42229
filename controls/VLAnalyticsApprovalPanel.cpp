#include "controls/VLAnalyticsApprovalPanel.h"

VLAnalyticsApprovalPanel::VLAnalyticsApprovalPanel(QWidget *parent) : QDialog(parent)
{
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus, false);
}
