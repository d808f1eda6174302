// Texts of a track file: one byte per character in Windows-1252.
//
// The five bytes that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the
// control characters U+0081, U+008D, U+008F, U+0090 and U+009D, so that every byte value has a
// character and every text reads and writes back unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace railgrace {

// A text in memory: its length is its character count.
using Text = std::u32string;

// The character that one file byte stands for.
char32_t CharFromByte(std::uint8_t byte);

// The file byte of one character, or nothing when a track file cannot hold that character.
std::optional<std::uint8_t> ByteFromChar(char32_t c);

Text DecodeText(std::span<const std::uint8_t> bytes);

// UTF-8 for output to people and programs (terminal, JSON, the window).
std::string ToUtf8(std::u32string_view text);

// From UTF-8 typed by people; invalid sequences become U+FFFD.
Text FromUtf8(std::string_view utf8);

// UTF-8 text made safe to show on a terminal: control characters (C0, DEL and C1) become
// escapes such as \n, \r, \t and \x1B, and bytes that are no UTF-8 become \xNN, so that a
// name or text from a file can neither break a line nor move the cursor or recolour the screen.
std::string EscapeControls(std::string_view utf8);

}  // namespace railgrace
