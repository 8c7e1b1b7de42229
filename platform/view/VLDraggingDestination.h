#pragma once

#include "platform/view/VLDragOperation.h"
#include "platform/view/VLDraggingInfo.h"

#include <QFlags>

// The destination side of a drag (NSDraggingDestination). Every call is optional: whoever
// forwards them sends only those that answeredDraggingDestinationCallbacks() lists.
class VLDraggingDestination
{
public:
    enum class Callback {
        DraggingEntered = 0x01,
        DraggingUpdated = 0x02,
        DraggingExited = 0x04,
        DraggingEnded = 0x08,
        PrepareForDragOperation = 0x10,
        PerformDragOperation = 0x20,
        ConcludeDragOperation = 0x40,
    };
    Q_DECLARE_FLAGS(Callbacks, Callback)

    virtual ~VLDraggingDestination() = default;

    virtual Callbacks answeredDraggingDestinationCallbacks() const = 0;
    bool answersDraggingCallback(Callback callback) const
    {
        return answeredDraggingDestinationCallbacks().testFlag(callback);
    }

    // The operation the destination would perform; none refuses the drag here.
    virtual VLDragOperation draggingEntered(const VLDraggingInfo &info)
    {
        Q_UNUSED(info)
        return VLDragOperationNone;
    }
    virtual VLDragOperation draggingUpdated(const VLDraggingInfo &info)
    {
        Q_UNUSED(info)
        return VLDragOperationNone;
    }
    // Null when the platform gives nothing about the drag that left.
    virtual void draggingExited(const VLDraggingInfo *info) { Q_UNUSED(info) }
    virtual void draggingEnded(const VLDraggingInfo &info) { Q_UNUSED(info) }
    virtual bool prepareForDragOperation(const VLDraggingInfo &info)
    {
        Q_UNUSED(info)
        return false;
    }
    virtual bool performDragOperation(const VLDraggingInfo &info)
    {
        Q_UNUSED(info)
        return false;
    }
    virtual void concludeDragOperation(const VLDraggingInfo &info) { Q_UNUSED(info) }
};

Q_DECLARE_OPERATORS_FOR_FLAGS(VLDraggingDestination::Callbacks)
