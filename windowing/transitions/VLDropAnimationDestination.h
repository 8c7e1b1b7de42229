#pragma once

class QWidget;

// Adopted by the screens whose title receives the drop screen's flying title (the password screens).
class VLDropAnimationDestination
{
public:
    virtual ~VLDropAnimationDestination() = default;
    virtual QWidget *titleView() const = 0;
};
