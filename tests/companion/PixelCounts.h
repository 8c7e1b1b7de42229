#pragma once

#include <QColor>
#include <QImage>

#include <algorithm>
#include <cstdlib>

// Checks on window grabs: what the painting put where.

// How many pixels of the image have about this colour (each component within the tolerance);
// with minimumAlpha, only pixels at least that opaque count.
inline int pixelsOfColor(const QImage &image, const QColor &color, int tolerance = 12, int minimumAlpha = 0)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - color.red()) <= tolerance && std::abs(pixel.green() - color.green()) <= tolerance
                && std::abs(pixel.blue() - color.blue()) <= tolerance && pixel.alpha() >= minimumAlpha)
                ++count;
        }
    }
    return count;
}

// The brightest grey level in the image.
inline int brightestGray(const QImage &image)
{
    int level = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            level = std::max(level, qGray(image.pixel(x, y)));
    }
    return level;
}
