// The window on Windows, checked through the system's own calls: what it looks like at the
// screen's density, and real clicks on Load Track with a fake file dialog and a fake error box
// (the command flow itself is tested without a window).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TrackFiles.h"
#include "ui/WindowLayout.h"
#include "ui/win32/frmMain.h"

namespace railgrace {
namespace {

// A window's text or, with GetClassNameA, its class; every text here is ASCII.
std::string Text(HWND window, int(WINAPI* get)(HWND, LPSTR, int) = ::GetWindowTextA) {
    char text[256] = {};
    get(window, text, static_cast<int>(sizeof text));
    return text;
}

// The layout at the screen's density, then real clicks on Load Track.
TEST(Win32Window, LooksAsDrawnAndLoadClicksShowTheirOutcome) {
    std::string answer;  // of the open dialog, which is always confirmed
    std::vector<HWND> owners;
    std::vector<std::string> errors;
    frmMain window{
        [&](FileDialogRequest& request, HWND owner) {
            owners.push_back(owner);
            request.fileName = answer;
            return true;
        },
        [&](std::string_view command, std::string_view) { errors.emplace_back(command); }};
    const HWND main = window.Handle();
    ::ShowWindow(main, SW_SHOWNOACTIVATE);
    std::vector<HWND> controls;  // in the order the window holds them, which is the Tab order
    for (HWND child = ::GetWindow(main, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        controls.push_back(child);
    ASSERT_EQ(controls.size(), kControls.size());
    const int dpi = static_cast<int>(::GetDpiForWindow(main));
    const auto px = [dpi](int twips) -> LONG { return TwipsToPixels(twips, dpi); };
    EXPECT_EQ(Text(main), kWindowCaption);
    const auto style = static_cast<DWORD>(::GetWindowLongW(main, GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME),
              static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
    RECT client{};
    ::GetClientRect(main, &client);
    EXPECT_EQ(std::pair(client.right, client.bottom),
              std::pair(px(kClientWidth), px(kClientHeight)));

    // The system's message font at the window's density, in every control.
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(main, WM_GETFONT, 0, 0));
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0,
                                             static_cast<UINT>(dpi)));
    LOGFONTW shown{};
    ASSERT_EQ(::GetObjectW(font, sizeof shown, &shown), static_cast<int>(sizeof shown));
    EXPECT_EQ(
        std::pair(shown.lfHeight, std::wstring(shown.lfFaceName)),
        std::pair(metrics.lfMessageFont.lfHeight, std::wstring(metrics.lfMessageFont.lfFaceName)));

    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ControlLayout& layout = kControls[i];
        SCOPED_TRACE(layout.name);
        EXPECT_EQ(Text(controls[i], ::GetClassNameA), i < 3 ? "Button" : "Edit");
        EXPECT_EQ(Text(controls[i]), layout.caption);
        RECT box{};
        ::GetWindowRect(controls[i], &box);
        ::MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&box), 2);
        EXPECT_EQ(
            (std::array{box.left, box.top, box.right - box.left, box.bottom - box.top}),
            (std::array{px(layout.left), px(layout.top), px(layout.width), px(layout.height)}));
        EXPECT_EQ(::IsWindowEnabled(controls[i]) != FALSE, layout.enabledAtStart);
        EXPECT_NE(::GetWindowLongW(controls[i], GWL_STYLE) & WS_TABSTOP, 0);
        EXPECT_EQ(::SendMessageW(controls[i], WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(font));
    }
    EXPECT_EQ(::GetWindowLongW(controls[3], GWL_STYLE) & (ES_MULTILINE | WS_HSCROLL | WS_VSCROLL),
              ES_MULTILINE);

    RECT frame{}, work{};  // centred in the work area
    ::GetWindowRect(main, &frame);
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_LE(std::abs((frame.left + frame.right) - (work.left + work.right)), 1);
    EXPECT_LE(std::abs((frame.top + frame.bottom) - (work.top + work.bottom)), 1);

    // Loads that fail, succeed and are refused (win32-window.sh clicks the rest through as a
    // person would): the error box shown, if any, and whether "Smooth it!" is enabled afterwards.
    test::TempFolder folder;
    using Step = std::tuple<std::string, std::vector<std::string>, bool>;
    for (const auto& [path, error, smooth] : {
             Step{folder.Write("damaged.svtrack", {'S', 'K', 'Y', 'V', 1}), {"Load Track"}, false},
             Step{RAILGRACE_SAMPLE, {}, true},
             Step{folder / "missing.svtrack", {}, false},
         }) {
        SCOPED_TRACE(path);
        answer = path;
        ::SendMessageW(controls[0], BM_CLICK, 0, 0);
        EXPECT_EQ(std::exchange(owners, {}), std::vector<HWND>{main});  // owned by the window
        EXPECT_EQ(std::exchange(errors, {}), error);
        EXPECT_EQ(::IsWindowEnabled(controls[1]) != FALSE, smooth);
    }
}

}  // namespace
}  // namespace railgrace
