#pragma once

#include <QtGlobal>

#include <algorithm>

// RTF measures in twips (1/1440 inch); the layout in pixels of 1/96 inch.
namespace RtfUnits {

inline constexpr int maxTwips = 31680; // 22 inches: the widest page RTF knows

inline int clampTwips(int value)
{
    return std::clamp(value, -maxTwips, maxTwips);
}

inline qreal twipsToPixels(int twips)
{
    return twips / 15.0;
}

} // namespace RtfUnits
