#pragma once

#include <QColor>
#include <QColorSpace>
#include <QString>

#include <optional>

// Colours from and to hexadecimal texts and numbers. Qt's colours are sRGB and this platform does
// not colour-manage the screen, so the device, calibrated and generic RGB spaces of the layouts
// are all read as sRGB; a colour space passed explicitly is converted into sRGB.
class VLHexColor final
{
public:
    VLHexColor() = delete;

    // Red from bits 16-23, green 8-15, blue 0-7 of the hexadecimal number at the start of hex
    // (a leading "#" is skipped), alpha 1; black when no number can be read.
    static QColor vl_colorFromHex(const QString &hex);
    // "#rrggbb" in lower case, each component times 256 - 2^-16 and truncated; none for an
    // invalid colour.
    static std::optional<QString> vl_hexValue(const QColor &color);

    // 0xRRGGBBAA; without a colour space the components are taken as they stand.
    static QColor colorWithRGBAHexColorSpace(quint32 hex, const std::optional<QColorSpace> &colorSpace);
    static QColor colorWithRGBAHex(quint32 hex) { return colorWithRGBAHexColorSpace(hex, std::nullopt); }
    // 0xRRGGBB, opaque.
    static QColor colorWithRGBHexColorSpace(quint32 hex, const std::optional<QColorSpace> &colorSpace);
    static QColor colorWithRGBHex(quint32 hex) { return colorWithRGBHexColorSpace(hex, std::nullopt); }
    static QColor colorWithSRGBHex(quint32 hex);

    // The hexadecimal number at the start of text as a scanner reads it: leading white space and
    // an optional "0x" skipped, digits until the first other character, all ones on overflow.
    static std::optional<quint32> scanHexInt(QStringView text);
};
