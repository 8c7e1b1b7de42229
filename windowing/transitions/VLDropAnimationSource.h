#pragma once

class QWidget;

// Adopted by the screen whose large title flies to the next screen's title (the drop screen).
class VLDropAnimationSource
{
public:
    virtual ~VLDropAnimationSource() = default;
    virtual QWidget *titleView() const = 0;
    virtual QWidget *subtitleView() const = 0;
};
