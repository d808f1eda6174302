// railgrace.exe: the window on Windows. "railgrace.exe FILE" starts with that track loaded, the
// way Explorer opens a track with it.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "ui/win32/Utf16.h"
#include "ui/win32/frmMain.h"

namespace {

// The first argument as a full path, or empty when there is none.
std::wstring TrackArgument() {
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::wstring path;
    if (arguments != nullptr && count > 1) {
        path.resize(::GetFullPathNameW(arguments[1], 0, nullptr, nullptr));
        path.resize(::GetFullPathNameW(arguments[1], static_cast<DWORD>(path.size()), path.data(),
                                       nullptr));
    }
    ::LocalFree(arguments);
    return path;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    // The themed buttons of the common controls the manifest asks for.
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&classes);

    railgrace::frmMain window;
    ::ShowWindow(window.Handle(), show);
    ::UpdateWindow(window.Handle());
    // After showing, so that an error box about the file has the window behind it.
    if (const std::wstring path = TrackArgument(); !path.empty())
        window.LoadTrackFile(railgrace::Utf8(path));

    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab, Shift+Tab, Return and the arrow keys as in a dialog.
        if (::IsDialogMessageW(window.Handle(), &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
