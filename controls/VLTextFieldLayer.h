#pragma once

#include "controls/VLLayer.h"

#include <QWidget> // VLLayer.h keeps a QPointer<QWidget>

class VLTextFieldRenderer;

// The layer a VLTextField's text is drawn in: it hands its drawing to the field's renderer.
class VLTextFieldLayer final : public VLLayer
{
    Q_OBJECT

public:
    explicit VLTextFieldLayer(QObject *parent = nullptr);

    VLTextFieldRenderer *renderer() const { return m_renderer; }
    // Not owned: the field owns both and clears nothing, as the layer dies with the field.
    void setRenderer(VLTextFieldRenderer *renderer);

protected:
    void drawInContext(QPainter &painter) const override;

private:
    VLTextFieldRenderer *m_renderer = nullptr;
};
