// Window geometry is designed in twips (1440 per inch) and shown at the screen's logical resolution.
#pragma once

namespace tessarin {

inline constexpr int kTwipsPerInch = 1440;

// Pixels for `twips` at `dotsPerInch` (rounded to the nearest pixel); 15 twips are one pixel at 96 dpi.
constexpr int TwipsToPixels(int twips, double dotsPerInch) {
    const double pixels = twips * dotsPerInch / kTwipsPerInch;
    // Twips and resolutions are positive, so adding a half rounds to nearest; std::lround is not constexpr.
    return static_cast<int>(pixels + 0.5);  // NOLINT(bugprone-incorrect-roundings)
}

// The logical resolution of the primary screen (96 when there is none).
double ScreenDotsPerInch();

// TwipsToPixels at the primary screen's logical resolution.
int Twips(int twips);

}  // namespace tessarin
