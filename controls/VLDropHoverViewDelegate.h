#pragma once

#include <QFlags>

class VLDropHoverView;

// Told when the mouse enters or leaves a hover view; sent only when the delegate answers it.
class VLDropHoverViewDelegate
{
public:
    enum class Callback { HoverViewMouseInside = 0x01 };
    Q_DECLARE_FLAGS(Callbacks, Callback)

    virtual ~VLDropHoverViewDelegate() = default;

    virtual Callbacks answeredHoverViewCallbacks() const = 0;
    bool answersHoverViewCallback(Callback callback) const { return answeredHoverViewCallbacks().testFlag(callback); }

    virtual void hoverViewMouseInside(VLDropHoverView *view, bool mouseInside)
    {
        Q_UNUSED(view)
        Q_UNUSED(mouseInside)
    }
};

Q_DECLARE_OPERATORS_FOR_FLAGS(VLDropHoverViewDelegate::Callbacks)
