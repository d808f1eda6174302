// The open and save dialogs of "Load Track" and "Save Track as" on Windows: the system's own
// common dialogs, so that the read-only check box, the warning about a missing file and the
// question before a file is replaced are the ones every Windows program shows.
#pragma once

#include <windows.h>

#include "ui/FileDialogRequest.h"

namespace railgrace {

// Shows the modal dialog of the request, owned by ownerWindow (null for none). True when the
// user confirmed a file; the request then holds its full path and name, the option bits as the
// dialog left them and the 1-based file type in use. On false the names are empty and the bits
// 0. The filter is converted in place (ConvertFilter).
bool ShowOpenFileDialog(FileDialogRequest& request, HWND ownerWindow);
bool ShowSaveFileDialog(FileDialogRequest& request, HWND ownerWindow);

}  // namespace railgrace
