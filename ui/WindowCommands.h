// The window's three commands over the one track, written once for every toolkit. A window is a
// thin shell around them: it shows the file dialogs and error boxes that they ask for, runs a
// command when its button is clicked, and then shows the buttons enabled as they say.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "track/TrackModel.h"
#include "ui/FileDialogRequest.h"

namespace railgrace {

class WindowCommands {
public:
    // What the commands need of the window. Paths are as LoadTrack and SaveTrack take them.
    struct Shell {
        // Shows the open or the save dialog for the request (request.save), modal to the window,
        // and returns whether the user confirmed a file; the request comes back filled in.
        std::function<bool(FileDialogRequest& request)> showFileDialog;
        // Shows an error that ended a command, modal to the window, in a box titled after it.
        std::function<void(std::string_view command, std::string_view message)> showError;
    };

    explicit WindowCommands(Shell shell);

    void LoadTrackCommand();
    // The part of "Load Track" after its dialog: for a track named on the command line.
    void LoadTrackFile(const std::string& path);
    void SmoothCommand();
    void SaveTrackAsCommand();

    // The enabled states of "Smooth it!" and "Save Track as"; "Load Track" is always enabled.
    bool SmoothEnabled() const { return smoothEnabled_; }
    bool SaveEnabled() const { return saveEnabled_; }
    const std::string& CurrentPath() const { return currentPath; }
    const TrackModel& Track() const { return track; }

    // The requests of "Load Track" and "Save Track as", starting from currentPath.
    FileDialogRequest OpenRequest() const;
    FileDialogRequest SaveRequest() const;

private:
    // Runs step and shows what it throws in a box titled after command.
    void Run(std::string_view command, const std::function<void()>& step);

    Shell shell_;
    TrackModel track;
    std::string currentPath;
    bool smoothEnabled_ = false;
    bool saveEnabled_ = false;
};

}  // namespace railgrace
