#include "ui/win32/frmMain.h"

#include "ui/WindowLayout.h"
#include "ui/win32/Utf16.h"
#include "ui/win32/mFileDialog.h"

namespace railgrace {
namespace {

constexpr wchar_t kClassName[] = L"RailgraceMainWindow";
// A fixed border with a minimise button and no maximise button.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// Lets the dialog manager walk the controls with Tab.
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
// Control identifiers from 101 on: 1 and 2 are what Return and Escape send in a dialog.
constexpr int kFirstId = 101;

constexpr std::size_t kOpen = 0, kModify = 1, kSaveAs = 2, kText = 3;

void RegisterWindowClass(HINSTANCE instance, WNDPROC windowProc) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    // The program's icon, where the program has one, drawn at each size from its own picture.
    const auto icon = [instance](int width, int height) {
        return static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                               ::GetSystemMetrics(width),
                                               ::GetSystemMetrics(height), LR_SHARED));
    };
    windowClass.hIcon = icon(SM_CXICON, SM_CYICON);
    windowClass.hIconSm = icon(SM_CXSMICON, SM_CYSMICON);
    ::RegisterClassExW(&windowClass);
}

// The system's message font at dpi: what dialogs and message boxes are written in.
HFONT MessageFont(UINT dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0, dpi))
        return ::CreateFontIndirectW(&metrics.lfMessageFont);
    return nullptr;
}

int Px(int twips, UINT dpi) {
    return TwipsToPixels(twips, static_cast<int>(dpi));
}

}  // namespace

frmMain::frmMain(FileDialogs dialogs, ErrorBox showError)
    : commands(MakeShell(std::move(dialogs), std::move(showError))) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    RegisterWindowClass(instance, &WindowProc);
    // On the primary screen, where CentreInWorkArea finds it.
    window = ::CreateWindowExW(kExStyle, kClassName, Utf16(kWindowCaption).c_str(), kStyle, 0, 0, 0,
                               0, nullptr, nullptr, instance, this);
    CreateControls();
    Layout(::GetDpiForWindow(window));
    CentreInWorkArea();
    focus = controls[kOpen];
}

frmMain::~frmMain() {
    if (::IsWindow(window)) ::DestroyWindow(window);
    if (font != nullptr) ::DeleteObject(font);
}

WindowCommands::Shell frmMain::MakeShell(FileDialogs dialogs, ErrorBox showError) {
    if (!dialogs) {
        dialogs = [](FileDialogRequest& request, HWND owner) {
            return request.save ? ShowSaveFileDialog(request, owner)
                                : ShowOpenFileDialog(request, owner);
        };
    }
    if (!showError) {
        showError = [this](std::string_view command, std::string_view message) {
            ::MessageBoxW(window, Utf16(message).c_str(), Utf16(command).c_str(),
                          MB_ICONERROR | MB_OK);
        };
    }
    return {[this, dialogs = std::move(dialogs)](FileDialogRequest& request) {
                return dialogs(request, window);
            },
            std::move(showError)};
}

void frmMain::CreateControls() {
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ControlLayout& layout = kControls[i];
        // The credits can be edited but never scroll; the lines are not wrapped.
        const bool text = i == kText;
        const DWORD style =
            WS_CHILD | WS_VISIBLE | WS_TABSTOP | (layout.enabledAtStart ? 0 : WS_DISABLED) |
            (text ? ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_WANTRETURN : BS_PUSHBUTTON);
        controls[i] = ::CreateWindowExW(
            text ? WS_EX_CLIENTEDGE : 0, text ? L"EDIT" : L"BUTTON", Utf16(layout.caption).c_str(),
            style, 0, 0, 0, 0, window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstId + static_cast<int>(i))),
            ::GetModuleHandleW(nullptr), nullptr);
    }
}

void frmMain::Layout(UINT dpi) {
    HFONT old = font;
    font = MessageFont(dpi);
    const HFONT shown = Font();
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ControlLayout& layout = kControls[i];
        ::SetWindowPos(controls[i], nullptr, Px(layout.left, dpi), Px(layout.top, dpi),
                       Px(layout.width, dpi), Px(layout.height, dpi),
                       SWP_NOZORDER | SWP_NOACTIVATE);
        ::SendMessageW(controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(shown), TRUE);
    }
    if (old != nullptr) ::DeleteObject(old);
    RECT frame{0, 0, Px(kClientWidth, dpi), Px(kClientHeight, dpi)};
    ::AdjustWindowRectExForDpi(&frame, kStyle, FALSE, kExStyle, dpi);
    ::SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HFONT frmMain::Font() const {
    return font != nullptr ? font : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

void frmMain::CentreInWorkArea() {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    RECT frame{};
    ::GetWindowRect(window, &frame);
    const RECT& work = monitor.rcWork;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    ::SetWindowPos(window, nullptr, work.left + (work.right - work.left - width) / 2,
                   work.top + (work.bottom - work.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK frmMain::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<frmMain*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<frmMain*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    return self->OnMessage(message, wParam, lParam);
}

LRESULT frmMain::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) OnCommand(LOWORD(wParam));
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(Font());
        case WM_NEXTDLGCTL: {
            // A multi-line box inside a dialog loop passes Tab on to its parent.
            const HWND next = LOWORD(lParam) != 0
                                  ? reinterpret_cast<HWND>(wParam)
                                  : ::GetNextDlgTabItem(window, ::GetFocus(), wParam != 0);
            if (next != nullptr) ::SetFocus(next);
            return 0;
        }
        case WM_ACTIVATE:
            // The focus leaves for the dialogs and comes back to the control that had it.
            if (LOWORD(wParam) == WA_INACTIVE) {
                if (const HWND had = ::GetFocus(); ::IsChild(window, had)) focus = had;
            } else if (::IsWindowEnabled(focus)) {
                ::SetFocus(focus);
                return 0;
            }
            return ::DefWindowProcW(window, message, wParam, lParam);
        case WM_DPICHANGED: {
            Layout(HIWORD(wParam));
            const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
            ::SetWindowPos(window, nullptr, suggested.left, suggested.top,
                           suggested.right - suggested.left, suggested.bottom - suggested.top,
                           SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_DESTROY:
            // Closing the window ends the program.
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

void frmMain::OnCommand(int id) {
    // Return in the dialog loop asks for IDOK: it presses the button with the focus, as in a
    // dialog.
    if (const HWND focused = ::GetFocus(); id == IDOK && ::IsChild(window, focused)) {
        ::SendMessageW(focused, BM_CLICK, 0, 0);
        return;
    }
    switch (id - kFirstId) {
        case kOpen:
            commands.LoadTrackCommand();
            break;
        case kModify:
            commands.SmoothCommand();
            break;
        case kSaveAs:
            commands.SaveTrackAsCommand();
            break;
        default:
            return;
    }
    ShowButtons();
}

void frmMain::ShowButtons() {
    ::EnableWindow(controls[kModify], commands.SmoothEnabled());
    ::EnableWindow(controls[kSaveAs], commands.SaveEnabled());
}

void frmMain::LoadTrackFile(const std::string& path) {
    commands.LoadTrackFile(path);
    ShowButtons();
}

}  // namespace railgrace
