#pragma once

namespace kelvo {

// The window's layout is given in twips: 1/1440 inch, 15 to a pixel at
// 96 dpi. Qt's device-independent pixels then scale on high-DPI screens.
inline constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

} // namespace kelvo
