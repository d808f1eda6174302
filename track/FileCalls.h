// The system calls through which a file is replaced. Tests hand in calls that fail as a full or
// failing disk would; everything else takes the system's own, the defaults.
#pragma once

#ifdef _WIN32
#include "track/FileCallsWindows.h"
#else

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

namespace railgrace {

struct FileCalls {
    int (*makeTemporary)(char* pattern) = ::mkstemp;
    ssize_t (*write)(int fd, const void* data, size_t count) = ::write;
    int (*flush)(int fd) = ::fsync;
    int (*close)(int fd) = ::close;
    int (*rename)(const char* from, const char* to) = ::rename;
};

}  // namespace railgrace

#endif
