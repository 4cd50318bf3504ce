// What the main window's status bar shows of the link: the lamp pictures (looked up in the folder 画像
// beside the program), the panel numbers and the link texts.
#pragma once

namespace tessarin {

inline constexpr const char* kLampOnRed = "LANP_ON_RED.bmp";
inline constexpr const char* kLampOffRed = "LANP_OFF_RED.bmp";
inline constexpr const char* kLampOnGreen = "LANP_ON_GREEN.bmp";
inline constexpr const char* kLampOffGreen = "LANP_OFF_GREEN.bmp";

// Status-bar panels (numbered from 1 as the operator sees them).
inline constexpr int kPanelLinkText = 1;
inline constexpr int kPanelSendLamp = 2;
inline constexpr int kPanelReceiveLamp = 3;

inline constexpr const char* kOnLine = "ON LINE";
inline constexpr const char* kOffLine = "OFF LINE";

}  // namespace tessarin
