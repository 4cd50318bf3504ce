// The windows ask for the font "ＭＳ Ｐゴシック". Where it is not installed it is mapped, as a whole, to a
// Japanese font that is: otherwise Qt would mix fonts glyph by glyph or show empty boxes.
#pragma once

#include <QFont>
#include <QStringList>

namespace tessarin {

inline constexpr const char* kUiFontFamily = "ＭＳ Ｐゴシック";

// Point sizes of the windows: ordinary texts, buttons/tabs/grids, and the title banners.
inline constexpr double kPointSizeNormal = 9.0;
inline constexpr double kPointSizeControls = 11.25;
inline constexpr double kPointSizeBanner = 27.75;

// The families that stand in for kUiFontFamily, best first.
QStringList UiFontSubstitutes();

// Registers the substitutes for kUiFontFamily. Call once after the QApplication exists, before any window.
void InstallFontSubstitutions();

// kUiFontFamily at the given size.
QFont UiFont(double pointSize, bool bold = false);

}  // namespace tessarin
