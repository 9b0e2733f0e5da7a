#pragma once
// The screen and the twips in which window sizes are given.

namespace talvane {

// 1440 twips to the inch; Qt's logical pixels are 1/96 inch, so 15 twips to a pixel on every
// screen (Qt's device-independent pixels take care of scaled screens).
constexpr int kTwipsPerPixel = 15;

inline int TwipsToPixels(double twips) { return static_cast<int>(twips / kTwipsPerPixel); }
inline double PixelsToTwips(int pixels) { return double(pixels) * kTwipsPerPixel; }

namespace Screen {
// Size of the whole primary screen in twips.
float Width();
float Height();
}  // namespace Screen

}  // namespace talvane
