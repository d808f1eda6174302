// The window as it was drawn, in twips, for every toolkit that shows it: caption, client area,
// the controls in tab order, and the credits.
#pragma once

#include <array>
#include <string_view>

namespace railgrace {

inline constexpr std::string_view kWindowCaption = "Skyvault Railgrace V1.1";

// The commands, which are also the captions of their buttons and the titles of their error boxes.
inline constexpr std::string_view kLoadCommand = "Load Track";
inline constexpr std::string_view kSmoothCommand = "Smooth it!";
inline constexpr std::string_view kSaveCommand = "Save Track as";

// The content of Text1: three lines, each ended by CR LF.
inline constexpr std::string_view kCreditsText =
    "Skyvault - Railgrace v1.1 for SV_v1.3 - Coded by Quillon\r\n"
    "If you find a bug, you can keep it. ...or report... ;)\r\n"
    "      \r\n";

inline constexpr int kClientWidth = 5070;
inline constexpr int kClientHeight = 1080;

struct ControlLayout {
    std::string_view name;
    std::string_view caption;
    int left, top, width, height;
    bool enabledAtStart;
};

// In tab order.
inline constexpr std::array<ControlLayout, 4> kControls{{
    {"btnOpen", kLoadCommand, 120, 120, 1455, 315, true},
    {"btnModify", kSmoothCommand, 1800, 120, 1455, 315, false},
    {"btnSaveAs", kSaveCommand, 3480, 120, 1455, 315, false},
    {"Text1", kCreditsText, 120, 480, 4815, 495, true},
}};

// Twips to pixels at dotsPerInch, rounded to the nearest pixel: 1440 twips make an inch, so 15
// make a pixel at 96 dots per inch.
constexpr int TwipsToPixels(int twips, int dotsPerInch) {
    return (twips * dotsPerInch + 720) / 1440;
}

}  // namespace railgrace
