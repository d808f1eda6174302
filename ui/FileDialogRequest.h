// What the window's commands ask of a file dialog, whatever toolkit shows it: the arguments of
// ShowOpenFileDialog and ShowSaveFileDialog in the shape of the classic common-dialog request (a
// filter text with "|" separators, option bits, in/out values), with texts in UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace railgrace {

// The published option bits of the common-dialog request, as far as they matter here.
inline constexpr std::int32_t OFN_READONLY = 0x1;
inline constexpr std::int32_t OFN_OVERWRITEPROMPT = 0x2;
inline constexpr std::int32_t OFN_HIDEREADONLY = 0x4;
inline constexpr std::int32_t OFN_ENABLEHOOK = 0x20;
inline constexpr std::int32_t OFN_ENABLETEMPLATE = 0x40;
inline constexpr std::int32_t OFN_FILEMUSTEXIST = 0x1000;

// The file type list of both track dialogs.
inline constexpr std::string_view kTrackFilter = "Skyvault Tracks (*.svtrack)|*.svtrack";

struct FileDialogRequest {
    bool save = false;             // the save dialog; otherwise the open dialog
    std::string fileName{};        // in: the name to start with; out: the chosen full path
    std::string fileTitle{};       // in: the title to start with; out: the chosen name alone
    bool fileMustExist = false;    // open only
    bool readOnly = false;         // open only; out: true when the user ticked the check box
    bool hideReadOnly = false;     // open only
    bool overwritePrompt = false;  // save only
    std::string filter{};          // converted in place (ConvertFilter)
    std::int32_t filterIndex = 1;  // 1-based; out: the file type in use at the end
    std::string initialDir{};      // none when empty
    std::string title{};
    std::string defaultExt{};  // without the dot
    std::int32_t flags = 0;    // in: further option bits; out: the bits as the dialog left them

    bool operator==(const FileDialogRequest&) const = default;
};

// Every "|" and ":" becomes a NUL, and two NULs end the list: description, pattern,
// description, pattern, ..., as the request expects. Safe on UTF-8: neither byte occurs inside
// a longer character.
std::string ConvertFilter(std::string_view filter);

// The option bits of a request. The caller's hook and template bits are dropped: no hook or
// template is ever supplied. The save dialog never shows a read-only check box.
std::int32_t OpenDialogFlags(bool fileMustExist, bool readOnly, bool hideReadOnly,
                             std::int32_t flags);
std::int32_t SaveDialogFlags(bool overwritePrompt, std::int32_t flags);
std::int32_t DialogFlags(const FileDialogRequest& request);

// How a dialog that the user confirmed or cancelled leaves the request: on a cancel the names
// are emptied and the flags cleared; on confirmation the open dialog hands back the read-only
// check box from the returned flags. Returns confirmed.
bool FinishRequest(FileDialogRequest& request, bool confirmed);

}  // namespace railgrace
