// Paths are UTF-8 strings throughout the program. std::filesystem::path reads a std::string in
// the system's narrow encoding, which on Windows is the ANSI code page, so every conversion
// between the two goes through these.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace railgrace {

inline std::filesystem::path Utf8Path(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8String(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

}  // namespace railgrace
