#pragma once

#include "platform/view/VLDragOperation.h"

#include <QFlags>
#include <QUrl>

#include <optional>

class VLDragSourceView;

// Told of the end of every drag out of a drag source view and of double clicks on it. Each call
// is sent only when answeredDragSourceViewCallbacks() lists it.
class VLDragSourceViewDelegate
{
public:
    enum class Callback {
        DidFinishWithURLOperation = 0x01,
        PerformActionWithURL = 0x02,
    };
    Q_DECLARE_FLAGS(Callbacks, Callback)

    virtual ~VLDragSourceViewDelegate() = default;

    virtual Callbacks answeredDragSourceViewCallbacks() const = 0;
    bool answersDragSourceViewCallback(Callback callback) const
    {
        return answeredDragSourceViewCallbacks().testFlag(callback);
    }

    // url is the folder in which the drop landed, when the platform reports it; operation is
    // what the destination did (none for a cancelled or refused drag).
    virtual void dragSourceViewDidFinishWithURLOperation(VLDragSourceView *view, const std::optional<QUrl> &url,
                                                         VLDragOperation operation)
    {
        Q_UNUSED(view)
        Q_UNUSED(url)
        Q_UNUSED(operation)
    }
    virtual void dragSourceViewPerformActionWithURL(VLDragSourceView *view, const QUrl &url)
    {
        Q_UNUSED(view)
        Q_UNUSED(url)
    }
};

Q_DECLARE_OPERATORS_FOR_FLAGS(VLDragSourceViewDelegate::Callbacks)
