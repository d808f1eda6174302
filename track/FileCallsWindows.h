// The Windows calls through which a file is replaced, injectable as the POSIX ones are: tests
// hand in calls that fail as a full or failing disk, or a file held open by another program,
// would; everything else takes the system's own, the defaults.
#pragma once

#include <windows.h>

// Relics of 16-bit Windows, empty macros that would swallow every variable of these names in the
// code that includes this header through FileIo.h.
#undef near
#undef far

namespace railgrace {

// Each the system's own function's type, so a test's replacement must match it exactly.
struct FileCalls {
    decltype(&::CreateFileW) create = ::CreateFileW;
    decltype(&::WriteFile) write = ::WriteFile;
    decltype(&::FlushFileBuffers) flush = ::FlushFileBuffers;
    decltype(&::CloseHandle) close = ::CloseHandle;
    decltype(&::MoveFileExW) rename = ::MoveFileExW;
    decltype(&::SetFileInformationByHandle) dispose = ::SetFileInformationByHandle;
};

}  // namespace railgrace
