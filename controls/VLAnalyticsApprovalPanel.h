#pragma once

#include <QDialog>

// The panel that asks for the user's approval of analytics. Unlike an ordinary panel it becomes
// the active (key and main) window when shown.
class VLAnalyticsApprovalPanel final : public QDialog
{
    Q_OBJECT

public:
    explicit VLAnalyticsApprovalPanel(QWidget *parent = nullptr);

    bool canBecomeKeyWindow() const { return true; }
    bool canBecomeMainWindow() const { return true; }
};
