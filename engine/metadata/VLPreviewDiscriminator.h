#pragma once

#include <QByteArray>

#include <optional>

// Tells from the colour chunks of a container's preview PNG which kind of system wrote it.
class VLPreviewDiscriminator final
{
public:
    enum Result : int {
        Unreadable = 0,    // no data, not a PNG, or its header could not be read
        SRGBWithGamma = 1, // sRGB and gAMA chunks and no iCCP chunk: written on Windows
        Other = 2,         // any other readable PNG
    };

    static int discriminatePreviewData(const std::optional<QByteArray> &data);

    VLPreviewDiscriminator() = delete;
};
