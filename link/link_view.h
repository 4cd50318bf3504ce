// How the link tells the window what to show. The window implements it; tests record the calls.
#pragma once

#include <string>

namespace tessarin {

// Lamp pictures, looked up by the window in the folder "画像" beside the program.
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

class LinkView {
  public:
    LinkView() = default;
    LinkView(const LinkView&) = delete;
    LinkView& operator=(const LinkView&) = delete;
    LinkView(LinkView&&) = delete;
    LinkView& operator=(LinkView&&) = delete;
    virtual ~LinkView() = default;

    virtual void ShowPanelText(int panel, const std::string& text) = 0;
    virtual void ShowPanelPicture(int panel, const std::string& pictureName) = 0;
};

}  // namespace tessarin
