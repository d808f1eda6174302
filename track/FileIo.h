// Whole-file reading and safe replacement of files; the only code that touches the disk.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace railgrace {

// The bytes of the regular file at path followed by extra zero bytes, read in one piece. Throws
// FileError when the file cannot be read, is no regular file, or holds more than maxBytes.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::size_t extraZeros,
                                        std::size_t maxBytes);

// Writes bytes to a temporary file in path's folder, flushes it to disk and renames it over
// path. On any failure the temporary file is removed, an existing file at path is left as it
// was, and FileError is thrown.
void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace railgrace
