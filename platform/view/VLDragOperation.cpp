#include "platform/view/VLDragOperation.h"

Qt::DropActions vlDropActionsForDragOperation(VLDragOperation operation)
{
    Qt::DropActions actions;
    if (operation & VLDragOperationCopy)
        actions |= Qt::CopyAction;
    if (operation & (VLDragOperationMove | VLDragOperationGeneric))
        actions |= Qt::MoveAction;
    if (operation & VLDragOperationLink)
        actions |= Qt::LinkAction;
    return actions;
}

VLDragOperation vlDragOperationForDropActions(Qt::DropActions actions)
{
    VLDragOperation operation = VLDragOperationNone;
    if (actions & Qt::CopyAction)
        operation |= VLDragOperationCopy;
    if (actions & Qt::MoveAction)
        operation |= VLDragOperationMove;
    if (actions & Qt::LinkAction)
        operation |= VLDragOperationLink;
    return operation;
}

VLDragOperation vlDragOperationForDropAction(Qt::DropAction action)
{
    switch (action) {
    case Qt::CopyAction:
        return VLDragOperationCopy;
    case Qt::MoveAction:
    case Qt::TargetMoveAction:
        return VLDragOperationMove;
    case Qt::LinkAction:
        return VLDragOperationLink;
    default:
        return VLDragOperationNone;
    }
}

Qt::DropAction vlPreferredDropActionForDragOperation(VLDragOperation operation)
{
    if (operation & VLDragOperationCopy)
        return Qt::CopyAction;
    if (operation & (VLDragOperationMove | VLDragOperationGeneric))
        return Qt::MoveAction;
    if (operation & VLDragOperationLink)
        return Qt::LinkAction;
    return Qt::IgnoreAction;
}
