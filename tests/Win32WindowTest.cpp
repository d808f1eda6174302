// The window on Windows, checked through the system's own calls: what it looks like at the
// screen's density, and real button clicks with fake file dialogs and a fake error box (the
// command flow itself is tested without a window).
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

// The layout at the screen's density, then real clicks on the buttons.
TEST(Win32Window, LooksAsDrawnAndClicksRunTheCommandsAndShowTheirOutcome) {
    std::string answer;  // of the file dialog, which is always confirmed
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

    // Only the outcomes of clicks; win32-window.sh loads, smooths and saves as a person would.
    test::TempFolder folder;
    const std::string damaged = folder.Write("damaged.svtrack", {'S', 'K', 'Y', 'V', 1});
    enum : std::size_t { kOpen, kModify, kSaveAs };
    // The button, the dialog's answer, whether "Smooth it!" and "Save Track as" are enabled
    // afterwards, and the title of the error box shown, if any.
    using Step = std::tuple<std::size_t, std::string, bool, bool, const char*>;
    for (const auto& [button, path, smooth, save, error] : {
             Step{kOpen, RAILGRACE_SAMPLE, true, false, nullptr},
             Step{kModify, "", true, true, nullptr}, Step{kOpen, damaged, true, true, "Load Track"},
             Step{kSaveAs, folder / "no such folder/x", true, true, "Save Track as"},
             Step{kOpen, folder / "missing.svtrack", false, true, nullptr},  // refused
         }) {
        SCOPED_TRACE(testing::Message() << "button " << button << " answer " << path);
        answer = path;
        ::SendMessageW(controls[button], BM_CLICK, 0, 0);
        // Each dialog is owned by the window.
        EXPECT_EQ(std::exchange(owners, {}), std::vector<HWND>(button == kModify ? 0 : 1, main));
        EXPECT_EQ(::IsWindowEnabled(controls[kModify]) != FALSE, smooth);
        EXPECT_EQ(::IsWindowEnabled(controls[kSaveAs]) != FALSE, save);
        EXPECT_EQ(std::exchange(errors, {}),
                  error ? std::vector<std::string>{error} : std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace railgrace
