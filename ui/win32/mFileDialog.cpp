#include "ui/win32/mFileDialog.h"

#include <commdlg.h>

#include <string>

#include "ui/win32/Utf16.h"

namespace railgrace {
namespace {

// The room of the dialog's name buffers, NUL included, as the request has always had it.
constexpr std::size_t kNameRoom = MAX_PATH;

// A name in a buffer of the dialog's room. A name that would not leave room for its NUL starts
// the dialog empty: cut short, it would name another file.
std::wstring NameBuffer(const std::string& utf8) {
    std::wstring name = Utf16(utf8);
    if (name.size() >= kNameRoom) name.clear();
    name.resize(kNameRoom, L'\0');
    return name;
}

std::string UpToNul(const std::wstring& buffer) {
    return Utf8(std::wstring_view(buffer.c_str()));
}

bool Show(FileDialogRequest& request, HWND ownerWindow) {
    request.filter = ConvertFilter(request.filter);
    request.flags = DialogFlags(request);
    const std::wstring filter = Utf16(request.filter);
    const std::wstring initialDir = Utf16(request.initialDir);
    const std::wstring title = Utf16(request.title);
    const std::wstring defaultExt = Utf16(request.defaultExt);
    std::wstring file = NameBuffer(request.fileName);
    std::wstring fileTitle = NameBuffer(request.fileTitle);

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = ownerWindow;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(request.filterIndex);
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = kNameRoom;
    dialog.lpstrFileTitle = fileTitle.data();
    dialog.nMaxFileTitle = kNameRoom;
    dialog.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
    dialog.lpstrTitle = title.c_str();
    dialog.Flags = static_cast<DWORD>(request.flags);
    dialog.lpstrDefExt = defaultExt.c_str();

    const bool confirmed =
        (request.save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog)) == TRUE;
    if (confirmed) {
        request.fileName = UpToNul(file);
        request.fileTitle = UpToNul(fileTitle);
        request.flags = static_cast<std::int32_t>(dialog.Flags);
        request.filterIndex = static_cast<std::int32_t>(dialog.nFilterIndex);
    }
    return FinishRequest(request, confirmed);
}

}  // namespace

bool ShowOpenFileDialog(FileDialogRequest& request, HWND ownerWindow) {
    request.save = false;
    return Show(request, ownerWindow);
}

bool ShowSaveFileDialog(FileDialogRequest& request, HWND ownerWindow) {
    request.save = true;
    return Show(request, ownerWindow);
}

}  // namespace railgrace
