// The program's one window: "Load Track", "Smooth it!" and "Save Track as" over the one track.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <exception>
#include <functional>

#include "track/TrackModel.h"

class QPlainTextEdit;
class QPushButton;

namespace railgrace {

// The two dialogs the commands ask, with the parameters of ShowOpenFileDialog and
// ShowSaveFileDialog. Tests hand in their own to run the commands without real dialogs.
struct FileDialogs {
    using OpenFunction = bool(QString& fileName, QString& fileTitle, bool fileMustExist,
                              bool& readOnly, bool hideReadOnly, QString& filter, int& filterIndex,
                              const QString& initialDir, const QString& title,
                              const QString& defaultExt, QWidget* ownerWindow, std::int32_t& flags);
    using SaveFunction = bool(QString& fileName, QString& fileTitle, bool overwritePrompt,
                              QString& filter, int& filterIndex, const QString& initialDir,
                              const QString& title, const QString& defaultExt, QWidget* ownerWindow,
                              std::int32_t& flags);

    std::function<OpenFunction> open;
    std::function<SaveFunction> save;
};

// The real dialogs of mFileDialog.
FileDialogs QtFileDialogs();

// The content of Text1: three lines, each ended by CR LF.
inline const QString kCreditsText = QStringLiteral(
    "Skyvault - Railgrace v1.1 for SV_v1.3 - Coded by Quillon\r\n"
    "If you find a bug, you can keep it. ...or report... ;)\r\n"
    "      \r\n");

class frmMain : public QWidget {
public:
    explicit frmMain(FileDialogs dialogs = QtFileDialogs(), QWidget* parent = nullptr);

    // Loads path as "Load Track" does once its dialog has been confirmed; for a track named on
    // the command line.
    void LoadTrackFile(const QString& path);

    // Places the window in the middle of the screen it is on.
    void CentreOnScreen();

    const QString& CurrentPath() const { return currentPath; }
    const TrackModel& Track() const { return track; }

private:
    void CreateControls();
    void LoadTrackCommand();
    void SmoothCommand();
    void SaveTrackAsCommand();

    // Shows an error that ended a command, in a box titled after the command.
    void ShowCommandError(const QString& command, const std::exception& error);

    FileDialogs dialogs;
    TrackModel track;
    QString currentPath;

    QPushButton* btnOpen = nullptr;
    QPushButton* btnModify = nullptr;
    QPushButton* btnSaveAs = nullptr;
    QPlainTextEdit* Text1 = nullptr;
};

}  // namespace railgrace
