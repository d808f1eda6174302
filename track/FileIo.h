// Whole-file reading and safe replacement of files; the only code that touches the disk.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "track/FileCalls.h"

namespace railgrace {

// The bytes of the regular file at path followed by extra zero bytes, read in one piece. Throws
// FileError when the file cannot be read, is no regular file, or holds more than maxBytes.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::size_t extraZeros,
                                        std::size_t maxBytes);

// A file that replaces the one at path once it is complete. Its bytes go to a temporary file in
// path's folder, written in the order given; Commit flushes it to disk and renames it over path.
// Until then path is left as it was, and a replacement that ends without Commit, by an error or
// otherwise, removes its temporary file. Failures throw FileError naming path.
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
    [[noreturn]] void Fail(int error) const;

    std::string path_;
    FileCalls calls_;
    std::string temporary_;
    int fd_ = -1;
    std::uint64_t written_ = 0;
    bool committed_ = false;
};

// Replaces the file at path with bytes, as FileReplacement does.
void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes,
                 const FileCalls& calls = {});

}  // namespace railgrace
