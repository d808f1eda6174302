// Texts of track files: one Windows-1252 byte per character, every byte value kept.
#include "track/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "TrackFiles.h"

namespace railgrace {
namespace {

using test::Cp1252Char;

// Every byte has the character of the code page and comes back; characters without a byte have
// none. U+0080 and U+009F are C1 controls that the code page gives no byte: 0x80 is the euro sign
// and 0x9F the capital Y with diaeresis.
TEST(Cp1252, EveryByteComesBackAndOtherCharactersHaveNone) {
    test::Bytes all;
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        all.push_back(byte);
        EXPECT_EQ(CharFromByte(byte), Cp1252Char(byte)) << "byte " << b;
        EXPECT_EQ(ByteFromChar(CharFromByte(byte)), byte) << "byte " << b;
    }
    EXPECT_EQ(DecodeText(all), test::Cp1252Text(all));
    for (char32_t c :
         std::initializer_list<char32_t>{0x80, 0x9F, 0x100, 0x4E00, 0xFFFD, 0x1F600, 0x110000}) {
        EXPECT_FALSE(ByteFromChar(c).has_value()) << "U+" << std::hex << std::uint32_t{c};
    }
    // A few characters of the code page, as a check on the table the tests compare against; the
    // undefined bytes stand for their control characters.
    const std::pair<std::uint8_t, char32_t> known[] = {
        {0x41, U'A'},   {0x00, 0},    {0x80, 0x20AC}, {0x81, 0x81}, {0x8A, 0x0160}, {0x8D, 0x8D},
        {0x96, 0x2013}, {0x9D, 0x9D}, {0x9F, 0x0178}, {0xA0, 0xA0}, {0xFF, 0xFF}};
    for (auto [byte, c] : known) EXPECT_EQ(Cp1252Char(byte), c) << int{byte};
}

TEST(Utf8, EncodesEveryLengthAndDecodesWhatItEncodes) {
    const std::pair<Text, std::string> texts[] = {{U"Hill", "Hill"},
                                                  {U"\u00E9\u0081", "\xC3\xA9\xC2\x81"},
                                                  {U"\u20AC", "\xE2\x82\xAC"},
                                                  {U"\U0001F600", "\xF0\x9F\x98\x80"},
                                                  {Text(1, U'\0'), std::string(1, '\0')},
                                                  {U"", ""}};
    for (const auto& [text, utf8] : texts) {
        EXPECT_EQ(ToUtf8(text), utf8);
        EXPECT_EQ(FromUtf8(utf8), text);
    }
    // Code points that are no characters have no UTF-8.
    EXPECT_EQ(ToUtf8(Text{0xD800, 0x110000}), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

// Invalid, cut-short, overlong and surrogate sequences become replacement characters (one, or
// one per byte) and never anything else.
TEST(Utf8, InvalidSequencesBecomeReplacementCharacters) {
    const std::pair<std::string, Text> sequences[] = {
        {"\xFF", U"\uFFFD"},     {"ab\xFF\x63", U"ab\uFFFDc"}, {"\xC3(", U"\uFFFD("},
        {"\x82", U"\uFFFD"},     {"x\xE2\x82", U"x\uFFFD"},    {"\xED\xA0\x80", U"\uFFFD"},
        {"\xC0\xAF", U"\uFFFD"}, {"\xE0\x80\xAF", U"\uFFFD"},  {"\xF4\x90\x80\x80", U"\uFFFD"}};
    for (const auto& [utf8, text] : sequences) {
        Text decoded = FromUtf8(utf8);
        const auto twice = [](char32_t a, char32_t b) { return a == b && a == 0xFFFD; };
        decoded.erase(std::unique(decoded.begin(), decoded.end(), twice), decoded.end());
        EXPECT_EQ(decoded, text) << utf8;
    }
}

}  // namespace
}  // namespace railgrace
