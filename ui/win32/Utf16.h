// Texts are UTF-8 in the program and UTF-16 at the wide system calls of the window.
#pragma once

#include <string>
#include <string_view>

namespace railgrace {

// Embedded NULs are kept, so a converted filter list crosses whole.
std::wstring Utf16(std::string_view utf8);
std::string Utf8(std::wstring_view utf16);

}  // namespace railgrace
