// The system calls through which ReplaceFile writes a file. Tests hand in calls that fail as a
// full or failing disk would; everything else uses ReplaceFile of FileIo.h, which takes the
// system's own.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <span>
#include <string>

namespace railgrace {

struct FileCalls {
    int (*makeTemporary)(char* pattern) = ::mkstemp;
    ssize_t (*write)(int fd, const void* data, size_t count) = ::write;
    int (*flush)(int fd) = ::fsync;
    int (*close)(int fd) = ::close;
    int (*rename)(const char* from, const char* to) = ::rename;
};

void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes,
                 const FileCalls& calls);

}  // namespace railgrace
