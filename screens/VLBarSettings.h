#pragma once

// The drop bar's state: drawn large or not, and resting (not hovered) or not.
struct VLBarSettings
{
    bool expanded = false;
    bool dropped = true;

    static VLBarSettings settingsWithExpandedDropped(bool expanded, bool dropped) { return {expanded, dropped}; }
    friend bool operator==(const VLBarSettings &, const VLBarSettings &) = default;
};
