#pragma once

class QWidget;

// A view's alpha (0 transparent, 1 opaque), carried by a QGraphicsOpacityEffect that exists only
// while the alpha is below 1, so opaque views pay nothing. A widget takes one effect: a view that
// already has another effect keeps it, and then paints its alpha itself (read with vlAlphaValue).
// Values are clamped to 0..1.
//
// Qt does not paint the background under opaque descendants of a view with an effect (those with
// an opaque autoFillBackground or WA_OpaquePaintEvent): it counts on them to cover it, and the
// effect then draws them faded over whatever was there before. Views inside fading views fill
// their backgrounds in paintEvent instead.
double vlAlphaValue(const QWidget *view);
void vlSetAlphaValue(QWidget *view, double alpha);
