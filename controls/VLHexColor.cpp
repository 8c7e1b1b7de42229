#include "controls/VLHexColor.h"

#include <QColorTransform>

#include <algorithm>

std::optional<quint32> VLHexColor::scanHexInt(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    if (i + 1 < text.size() && text.at(i) == u'0' && (text.at(i + 1) == u'x' || text.at(i + 1) == u'X'))
        i += 2;
    quint64 value = 0;
    bool overflow = false;
    const qsizetype first = i;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        quint64 d = 0;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if ((c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))
            d = (c | 0x20) - u'a' + 10;
        else
            break;
        value = value * 16 + d;
        if (value > 0xFFFFFFFFull) {
            overflow = true;
            value = 0xFFFFFFFFull;
        }
    }
    if (i == first)
        return std::nullopt;
    return overflow ? 0xFFFFFFFFu : quint32(value);
}

QColor VLHexColor::vl_colorFromHex(const QString &hex)
{
    QStringView text(hex);
    if (text.startsWith(u'#'))
        text = text.mid(1);
    const quint32 value = scanHexInt(text).value_or(0);
    return QColor::fromRgbF(float(((value >> 16) & 0xFF) / 255.0), float(((value >> 8) & 0xFF) / 255.0),
                            float((value & 0xFF) / 255.0), 1.0f);
}

std::optional<QString> VLHexColor::vl_hexValue(const QColor &color)
{
    if (!color.isValid())
        return std::nullopt;
    const QColor rgb = color.toRgb();
    const auto part = [](float component) {
        const double clamped = std::clamp(double(component), 0.0, 1.0);
        return QStringLiteral("%1").arg(int(clamped * 255.99998474121094), 2, 16, QLatin1Char('0'));
    };
    return u'#' + part(rgb.redF()) + part(rgb.greenF()) + part(rgb.blueF());
}

QColor VLHexColor::colorWithRGBAHexColorSpace(quint32 hex, const std::optional<QColorSpace> &colorSpace)
{
    const QColor color = QColor::fromRgbF(float(((hex >> 24) & 0xFF) / 255.0), float(((hex >> 16) & 0xFF) / 255.0),
                                          float(((hex >> 8) & 0xFF) / 255.0), float((hex & 0xFF) / 255.0));
    if (!colorSpace || !colorSpace->isValid() || *colorSpace == QColorSpace(QColorSpace::SRgb))
        return color;
    return colorSpace->transformationToColorSpace(QColorSpace(QColorSpace::SRgb)).map(color);
}

QColor VLHexColor::colorWithRGBHexColorSpace(quint32 hex, const std::optional<QColorSpace> &colorSpace)
{
    return colorWithRGBAHexColorSpace((hex << 8) | 0xFF, colorSpace);
}

QColor VLHexColor::colorWithSRGBHex(quint32 hex)
{
    return colorWithRGBHexColorSpace(hex, QColorSpace(QColorSpace::SRgb));
}
