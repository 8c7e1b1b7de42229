#pragma once

#include <QObject>

class VLOptionKeyMonitor;

class VLOptionKeyMonitorDelegate
{
public:
    virtual ~VLOptionKeyMonitorDelegate() = default;
    virtual void monitorOptionDidToggle(VLOptionKeyMonitor *monitor) { Q_UNUSED(monitor) }
};

// Reports each press-and-release of the left Option key (Alt here) while the application has
// the keyboard. It watches the application's key events without consuming any.
class VLOptionKeyMonitor final : public QObject
{
    Q_OBJECT

public:
    explicit VLOptionKeyMonitor(QObject *parent = nullptr);
    ~VLOptionKeyMonitor() override;
    Q_DISABLE_COPY_MOVE(VLOptionKeyMonitor)

    // A plain reference that its owner clears before it goes.
    VLOptionKeyMonitorDelegate *delegate() const { return m_delegate; }
    void setDelegate(VLOptionKeyMonitorDelegate *delegate) { m_delegate = delegate; }

signals:
    void optionDidToggle();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    VLOptionKeyMonitorDelegate *m_delegate = nullptr;
    // Inverted by every change of the left Option key; a toggle is the change back to true.
    bool m_released = true;
};
