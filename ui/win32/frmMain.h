// The program's one window on Windows: "Load Track", "Smooth it!" and "Save Track as" over the
// one track, a thin native shell around the window's commands. Laid out from the twips of the
// window's drawing at the real density of the screen it is on, in the system's message font.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "ui/WindowCommands.h"

namespace railgrace {

class frmMain {
public:
    // Shows the file dialogs of the commands; tests hand in their own. Empty: the system's.
    using FileDialogs = std::function<bool(FileDialogRequest& request, HWND owner)>;
    // Shows an error that ended a command; tests hand in their own. Empty: a message box.
    using ErrorBox = std::function<void(std::string_view command, std::string_view message)>;

    // Creates the window hidden, centred in the work area of its screen.
    explicit frmMain(FileDialogs dialogs = {}, ErrorBox showError = {});
    ~frmMain();
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Loads path as "Load Track" does once its dialog has been confirmed; for a track named on
    // the command line.
    void LoadTrackFile(const std::string& path);

    HWND Handle() const { return window; }
    const WindowCommands& Commands() const { return commands; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    WindowCommands::Shell MakeShell(FileDialogs dialogs, ErrorBox showError);
    void CreateControls();
    // Places the window's client area and its controls, and picks the font, for dpi.
    void Layout(UINT dpi);
    void CentreInWorkArea();
    // The message font, or where the system has none to give the old default GUI font.
    HFONT Font() const;
    void OnCommand(int id);
    void ShowButtons();

    HWND window = nullptr;
    // The controls in tab order, as the layout lists them.
    std::array<HWND, 4> controls{};
    HFONT font = nullptr;
    // The control that had the focus when the window was last deactivated.
    HWND focus = nullptr;
    WindowCommands commands;
};

}  // namespace railgrace
