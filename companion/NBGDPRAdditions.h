#pragma once

#include <QString>

class QWidget;

// Helpers of the consent window.

// Where an embedded view goes among the receiver's children.
enum class NBGDPRWindowOrdering { Below = -1, Above = 1 };

// Adds view to receiver, below or above relativeTo (below or above all other children when
// relativeTo is null), and keeps it covering the receiver's whole area as the receiver resizes.
// A null view does nothing.
void nbgdpr_embedView(QWidget *receiver, QWidget *view, NBGDPRWindowOrdering ordering, QWidget *relativeTo = nullptr);

// The text as rich text for a label: centred, with 3 pixels between lines.
QString nbgdpr_stringWithText(const QString &text);
