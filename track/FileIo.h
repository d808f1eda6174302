// Whole-file reading and safe replacement of files; the only code that touches the disk.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "track/FileCalls.h"

namespace railgrace {

// An open file and the system's number for what went wrong: a descriptor and errno on POSIX, a
// HANDLE and GetLastError() on Windows.
#ifdef _WIN32
using FileHandle = void*;
inline constexpr FileHandle kNoFile = nullptr;
using SystemError = unsigned long;
#else
using FileHandle = int;
inline constexpr FileHandle kNoFile = -1;
using SystemError = int;
#endif

// A regular file opened for reading, read piece by piece wherever the reader needs it. Throws
// FileError when the file cannot be opened or read, is no regular file, or holds more than
// maxBytes.
class FileReader {
public:
    FileReader(std::string path, std::size_t maxBytes);
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // The file's length when it was opened.
    std::size_t Size() const { return size_; }
    // Reads count bytes from offset into `into` and returns how many there were: fewer only
    // where the file ends, which happens when it has shrunk since it was opened.
    std::size_t ReadAt(std::uint8_t* into, std::size_t offset, std::size_t count);

private:
    // Closed when the reader ends, or when its constructor throws.
    struct Descriptor {
        FileHandle fd = kNoFile;
        ~Descriptor();
    };

    std::string path_;
    Descriptor file_;
    std::size_t size_ = 0;
};

// A file that replaces the one at path once it is complete. Its bytes go to a temporary file of
// a short name of its own in path's folder, written in the order given; Commit flushes it to disk
// and renames it over path. Until then path is left as it was, and a replacement that ends
// without Commit, by an error, by a signal that RemoveTemporaryFilesOnSignals handles, or
// otherwise, removes its temporary file. When path is a symbolic link, the file at the end of its
// links is replaced (or created, when the last link dangles) and the link stays. A replaced file
// keeps its mode, and its owner and group where the program may set them. A write-protected
// file (no write permission for its owner), a folder or another file that is not a regular one
// is refused before anything is written. Failures throw FileError naming path.
class FileReplacement {
public:
    explicit FileReplacement(std::string path, const FileCalls& calls = {});
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    void Write(std::span<const std::uint8_t> bytes);
    void Commit();

private:
    // Closes and removes the temporary file unless it has become path.
    void Discard();
    [[noreturn]] void Fail(SystemError error) const;

    std::string path_;
    std::string target_;  // path_, or the file at the end of its links
    FileCalls calls_;
    std::string temporary_;
    FileHandle fd_ = kNoFile;
    std::uint64_t written_ = 0;
    bool committed_ = false;
};

// Replaces the file at path with bytes, as FileReplacement does.
inline void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes,
                        const FileCalls& calls = {}) {
    FileReplacement file(path, calls);
    file.Write(bytes);
    file.Commit();
}

// Puts /dev/null, opened for reading only, wherever standard input, output or error is closed.
// A program started with one of them closed would otherwise hand that descriptor to the next
// file it opens, and text meant for the terminal would land in a track or a picture; this way a
// write to a closed output fails, as it should.
void GuardStandardStreams();

#ifndef _WIN32
// Makes SIGINT, SIGTERM, SIGHUP and SIGQUIT remove the temporary files of unfinished
// replacements before the program ends by the signal as it would have without this. A signal
// that the program was started to ignore (nohup, a background job) stays ignored. Programs call
// it once at their start; without it, such a signal leaves the temporary file behind.
void RemoveTemporaryFilesOnSignals();
#endif

}  // namespace railgrace
