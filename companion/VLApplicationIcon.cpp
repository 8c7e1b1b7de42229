#include "companion/VLApplicationIcon.h"

#include <QImageReader>

QPixmap VLApplicationIcon::pixmap(const QSize &size, double scale)
{
    QImageReader reader(resourcePath);
    reader.setScaledSize(size * scale);
    QPixmap icon = QPixmap::fromImage(reader.read());
    icon.setDevicePixelRatio(scale);
    return icon;
}
