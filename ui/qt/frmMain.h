// The program's one window on Qt: "Load Track", "Smooth it!" and "Save Track as" over the one
// track, a thin shell around the window's commands.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

#include "ui/WindowCommands.h"

class QPlainTextEdit;
class QPushButton;

namespace railgrace {

class frmMain : public QWidget {
public:
    // Shows the file dialogs of the commands; tests hand in their own. Empty: Qt's dialogs.
    using FileDialogs = std::function<bool(FileDialogRequest& request)>;

    explicit frmMain(FileDialogs dialogs = {}, QWidget* parent = nullptr);

    // Loads path as "Load Track" does once its dialog has been confirmed; for a track named on
    // the command line.
    void LoadTrackFile(const QString& path);

    // Places the window in the middle of the screen it is on.
    void CentreOnScreen();

    const WindowCommands& Commands() const { return commands; }

private:
    WindowCommands::Shell MakeShell(FileDialogs dialogs);
    void CreateControls();
    // Runs a command, then shows the buttons enabled as the commands say.
    void Run(void (WindowCommands::*command)());
    void ShowButtons();

    WindowCommands commands;
    QPushButton* btnOpen = nullptr;
    QPushButton* btnModify = nullptr;
    QPushButton* btnSaveAs = nullptr;
    QPlainTextEdit* Text1 = nullptr;
};

}  // namespace railgrace
