// The window on Windows, checked through the system's own calls: what it looks like at the
// screen's density, and real button clicks with fake file dialogs and a fake error box (the
// command flow itself is tested without a window).
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "ui/WindowLayout.h"
#include "ui/win32/Utf16.h"
#include "ui/win32/frmMain.h"

namespace railgrace {
namespace {

std::string Text(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return Utf8(text);
}

std::string ClassName(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return Utf8(name);
}

// The controls in the order the window holds them, which is the Tab order.
std::vector<HWND> Children(HWND window) {
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

class Win32Window : public testing::Test {
protected:
    void SetUp() override {
        ::ShowWindow(window.Handle(), SW_SHOWNOACTIVATE);
        ASSERT_EQ(controls.size(), kControls.size());
        const auto folder = std::filesystem::temp_directory_path() / "railgrace-win32-window";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        dir = Utf8(folder.wstring()) + "\\";
        std::ofstream(folder / "damaged.svtrack", std::ios::binary) << "SKYV\x01";
    }

    // Clicks a button as a person would, the dialog answering path (nullopt cancels).
    void Click(std::size_t button, std::optional<std::string> path = std::nullopt) {
        answer = std::move(path);
        ::SendMessageW(controls[button], BM_CLICK, 0, 0);
    }

    std::string dir;
    std::optional<std::string> answer;
    std::vector<HWND> owners;
    std::vector<std::string> errors;
    frmMain window{
        [this](FileDialogRequest& request, HWND owner) {
            owners.push_back(owner);
            request.fileName = answer.value_or("");
            return answer.has_value();
        },
        [this](std::string_view command, std::string_view) { errors.emplace_back(command); }};
    std::vector<HWND> controls = Children(window.Handle());
};

TEST_F(Win32Window, LooksAsDrawnAtTheScreensDensity) {
    const HWND main = window.Handle();
    const int dpi = static_cast<int>(::GetDpiForWindow(main));
    const auto px = [dpi](int twips) { return TwipsToPixels(twips, dpi); };
    EXPECT_EQ(Text(main), kWindowCaption);
    const auto style = static_cast<DWORD>(::GetWindowLongW(main, GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME),
              static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
    RECT client{};
    ::GetClientRect(main, &client);
    EXPECT_EQ(client.right, px(kClientWidth));
    EXPECT_EQ(client.bottom, px(kClientHeight));

    const auto font = reinterpret_cast<HFONT>(::SendMessageW(main, WM_GETFONT, 0, 0));
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0,
                                             static_cast<UINT>(dpi)));
    LOGFONTW shown{};
    ASSERT_EQ(::GetObjectW(font, sizeof shown, &shown), static_cast<int>(sizeof shown));
    EXPECT_EQ(shown.lfHeight, metrics.lfMessageFont.lfHeight);
    EXPECT_STREQ(shown.lfFaceName, metrics.lfMessageFont.lfFaceName);

    const std::array<std::string, 4> classes{"Button", "Button", "Button", "Edit"};
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ControlLayout& layout = kControls[i];
        SCOPED_TRACE(layout.name);
        EXPECT_EQ(ClassName(controls[i]), classes[i]);
        EXPECT_EQ(Text(controls[i]), layout.caption);
        RECT box{};
        ::GetWindowRect(controls[i], &box);
        ::MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&box), 2);
        EXPECT_EQ(box.left, px(layout.left));
        EXPECT_EQ(box.top, px(layout.top));
        EXPECT_EQ(box.right - box.left, px(layout.width));
        EXPECT_EQ(box.bottom - box.top, px(layout.height));
        EXPECT_EQ(::IsWindowEnabled(controls[i]) != FALSE, layout.enabledAtStart);
        EXPECT_NE(::GetWindowLongW(controls[i], GWL_STYLE) & WS_TABSTOP, 0);
        EXPECT_EQ(::SendMessageW(controls[i], WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(font));
    }
    EXPECT_EQ(::GetWindowLongW(controls[3], GWL_STYLE) & (ES_MULTILINE | WS_HSCROLL | WS_VSCROLL),
              ES_MULTILINE);

    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(main, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT frame{};
    ::GetWindowRect(main, &frame);
    const RECT& work = monitor.rcWork;
    EXPECT_LE(std::abs((frame.left + frame.right) - (work.left + work.right)), 1);
    EXPECT_LE(std::abs((frame.top + frame.bottom) - (work.top + work.bottom)), 1);
}

TEST_F(Win32Window, ClicksRunTheCommandsAndShowTheirOutcome) {
    enum : std::size_t { kOpen, kModify, kSaveAs };
    struct Step {
        std::size_t button;
        std::optional<std::string> answer;  // relative to the test's folder; nullopt cancels
        bool smooth, save;                  // enabled afterwards
        const char* error;                  // the title of the error box, if any
    };
    const std::string sample = RAILGRACE_SAMPLE;
    for (const Step& step : {
             Step{kOpen, std::nullopt, false, false, nullptr},
             Step{kOpen, "..\\missing.svtrack", false, false, nullptr},
             Step{kOpen, sample, true, false, nullptr},
             Step{kModify, {}, true, true, nullptr},
             Step{kOpen, dir + "damaged.svtrack", true, true, "Load Track"},
             Step{kSaveAs, dir + "smoothed", true, true, nullptr},
             Step{kSaveAs, dir + "no such folder\\x", true, true, "Save Track as"},
             Step{kOpen, dir + "smoothed.txt", false, true, nullptr},
         }) {
        SCOPED_TRACE(testing::Message()
                     << "button " << step.button << " answer " << step.answer.value_or("(cancel)"));
        errors.clear();
        const std::size_t dialogs = owners.size();
        Click(step.button, step.answer);
        EXPECT_EQ(owners.size(), dialogs + (step.button == kModify ? 0 : 1));
        EXPECT_EQ(::IsWindowEnabled(controls[kModify]) != FALSE, step.smooth);
        EXPECT_EQ(::IsWindowEnabled(controls[kSaveAs]) != FALSE, step.save);
        EXPECT_EQ(errors,
                  step.error ? std::vector<std::string>{step.error} : std::vector<std::string>{});
    }
    for (HWND owner : owners) EXPECT_EQ(owner, window.Handle());
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(Utf16(dir + "smoothed.svtrack"))));

    // Tab goes round the enabled controls in their order.
    std::vector<HWND> enabled;
    for (HWND control : controls)
        if (::IsWindowEnabled(control)) enabled.push_back(control);
    ASSERT_EQ(enabled.size(), 3u);
    for (std::size_t i = 0; i < enabled.size(); ++i)
        EXPECT_EQ(::GetNextDlgTabItem(window.Handle(), enabled[i], FALSE),
                  enabled[(i + 1) % enabled.size()]);
}

}  // namespace
}  // namespace railgrace
