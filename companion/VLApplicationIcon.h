#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

// The application's icon, drawn from its scalable image.
class VLApplicationIcon final
{
public:
    VLApplicationIcon() = delete;

    static inline const QString resourcePath = QStringLiteral(":/icons/com.nimbrel.Vaultine.svg");

    // At a size in device-independent pixels, for a screen of the given scale.
    static QPixmap pixmap(const QSize &size, double scale);
};
