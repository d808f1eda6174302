#include "ui/WindowCommands.h"

#include <exception>

#include "smooth/Smooth.h"
#include "track/TrackIo.h"
#include "ui/WindowLayout.h"

namespace railgrace {

WindowCommands::WindowCommands(Shell shell) : shell_(std::move(shell)) {}

FileDialogRequest WindowCommands::OpenRequest() const {
    return {.fileName = currentPath,
            .fileMustExist = true,
            .hideReadOnly = true,
            .filter = std::string(kTrackFilter),
            .title = "Open Track...",
            .defaultExt = "svtrack"};
}

FileDialogRequest WindowCommands::SaveRequest() const {
    return {.save = true,
            .fileName = currentPath,
            .overwritePrompt = true,
            .filter = std::string(kTrackFilter),
            .title = "Save Track As...",
            .defaultExt = "svtrack"};
}

void WindowCommands::Run(std::string_view command, const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception& error) {
        shell_.showError(command, error.what());
    }
}

void WindowCommands::LoadTrackCommand() {
    FileDialogRequest request = OpenRequest();
    if (shell_.showFileDialog(request)) LoadTrackFile(request.fileName);
}

void WindowCommands::LoadTrackFile(const std::string& path) {
    Run(kLoadCommand, [&] {
        // A damaged file throws and leaves track, currentPath and the buttons as they were.
        smoothEnabled_ = LoadTrack(track, path);
        if (smoothEnabled_) currentPath = path;
    });
}

void WindowCommands::SmoothCommand() {
    Run(kSmoothCommand, [&] {
        SmoothTrack(track);
        saveEnabled_ = true;
    });
}

void WindowCommands::SaveTrackAsCommand() {
    FileDialogRequest request = SaveRequest();
    if (!shell_.showFileDialog(request)) return;
    // The name is taken even when the save then fails, as the next dialog shows.
    currentPath = request.fileName;
    Run(kSaveCommand, [&] { SaveTrack(track, currentPath); });
}

}  // namespace railgrace
