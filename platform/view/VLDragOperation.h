#pragma once

#include <QtGlobal>
#include <qnamespace.h>

// The drag operations of a drag and drop, as a mask of the platform's values (NSDragOperation).
using VLDragOperation = quint64;

inline constexpr VLDragOperation VLDragOperationNone = 0;
inline constexpr VLDragOperation VLDragOperationCopy = 1;
inline constexpr VLDragOperation VLDragOperationLink = 2;
inline constexpr VLDragOperation VLDragOperationGeneric = 4;
inline constexpr VLDragOperation VLDragOperationPrivate = 8;
inline constexpr VLDragOperation VLDragOperationMove = 16;
inline constexpr VLDragOperation VLDragOperationDelete = 32;
inline constexpr VLDragOperation VLDragOperationEvery = ~VLDragOperation(0);

// Where a drag's destination lies, seen from its source.
enum class VLDraggingContext { OutsideApplication = 0, WithinApplication = 1 };

// Qt knows copy, move and link only; a generic operation is left to the destination, which on
// the desktops here means a move.
Qt::DropActions vlDropActionsForDragOperation(VLDragOperation operation);
VLDragOperation vlDragOperationForDropActions(Qt::DropActions actions);
// The operation a finished drop performed; "ignore" is none.
VLDragOperation vlDragOperationForDropAction(Qt::DropAction action);
// The one drop action that stands for an accepted operation: copy before move before link.
Qt::DropAction vlPreferredDropActionForDragOperation(VLDragOperation operation);
