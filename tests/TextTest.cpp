// Texts of track files: one Windows-1252 byte per character, every byte value kept.
#include "track/Text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ByteBuilder.h"

namespace railgrace {
namespace {

using test::Cp1252Char;

TEST(Cp1252, EveryByteHasTheCharacterOfTheCodePage) {
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        EXPECT_EQ(CharFromByte(byte), Cp1252Char(byte)) << "byte " << b;
    }
}

TEST(Cp1252, KnownCharacters) {
    EXPECT_EQ(CharFromByte(0x41), U'A');
    EXPECT_EQ(CharFromByte(0x00), U'\0');
    EXPECT_EQ(CharFromByte(0x7F), char32_t{0x7F});
    EXPECT_EQ(CharFromByte(0x80), char32_t{0x20AC});
    EXPECT_EQ(CharFromByte(0x8A), char32_t{0x0160});
    EXPECT_EQ(CharFromByte(0x96), char32_t{0x2013});
    EXPECT_EQ(CharFromByte(0x9F), char32_t{0x0178});
    EXPECT_EQ(CharFromByte(0xA0), char32_t{0x00A0});
    EXPECT_EQ(CharFromByte(0xE9), char32_t{0x00E9});
    EXPECT_EQ(CharFromByte(0xFF), char32_t{0x00FF});
}

TEST(Cp1252, UndefinedBytesStandForTheirControlCharacters) {
    for (std::uint8_t b : std::vector<std::uint8_t>{0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_EQ(CharFromByte(b), char32_t{b});
        EXPECT_EQ(ByteFromChar(char32_t{b}), b);
    }
}

TEST(Cp1252, EveryByteComesBackUnchanged) {
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        EXPECT_EQ(ByteFromChar(CharFromByte(byte)), byte) << "byte " << b;
    }
}

TEST(Cp1252, CharactersWithoutAByteHaveNone) {
    // U+0080 and U+009F are C1 controls that the code page gives no byte: 0x80 is the euro sign
    // and 0x9F the capital Y with diaeresis.
    for (char32_t c : {char32_t{0x80}, char32_t{0x9F}, char32_t{0x100}, char32_t{0x4E00},
                       char32_t{0xFFFD}, char32_t{0x1F600}, char32_t{0x110000}}) {
        EXPECT_FALSE(ByteFromChar(c).has_value()) << "U+" << std::hex << std::uint32_t{c};
    }
}

TEST(Cp1252, DecodeTextKeepsOneCharacterPerByte) {
    std::vector<std::uint8_t> all(256);
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint8_t>(i);
    const Text text = DecodeText(all);
    ASSERT_EQ(text.size(), 256u);
    EXPECT_EQ(text, test::Cp1252Text(all));
    EXPECT_EQ(DecodeText({}), Text{});
}

TEST(Utf8, EncodesEveryLength) {
    EXPECT_EQ(ToUtf8(U"Hill"), "Hill");
    EXPECT_EQ(ToUtf8(U"\u00E9"), "\xC3\xA9");
    EXPECT_EQ(ToUtf8(U"\u0081"), "\xC2\x81");
    EXPECT_EQ(ToUtf8(U"\u20AC"), "\xE2\x82\xAC");
    EXPECT_EQ(ToUtf8(U"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(ToUtf8(std::u32string(1, U'\0')), std::string(1, '\0'));
}

TEST(Utf8, DecodesWhatItEncodes) {
    const Text text = U"a\u00E9\u20AC\u0178\u009D\U0001F600";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(FromUtf8(""), Text{});
}

TEST(Utf8, InvalidSequencesBecomeReplacementCharacters) {
    EXPECT_EQ(FromUtf8("\xFF"), U"\uFFFD");
    EXPECT_EQ(FromUtf8("ab\xFF"
                       "cd"),
              U"ab\uFFFDcd");
    EXPECT_EQ(FromUtf8("\xC3("), U"\uFFFD(");
    EXPECT_EQ(FromUtf8("\x82"), U"\uFFFD");
    // A sequence cut short: one replacement or one per byte, but nothing else.
    const Text cut = FromUtf8("x\xE2\x82");
    ASSERT_GE(cut.size(), 2u);
    EXPECT_EQ(cut[0], U'x');
    for (std::size_t i = 1; i < cut.size(); ++i) EXPECT_EQ(cut[i], char32_t{0xFFFD});
}

TEST(Utf8, NeverYieldsSurrogatesOrOverlongCharacters) {
    for (const char* bad : {"\xED\xA0\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xF4\x90\x80\x80"}) {
        const Text text = FromUtf8(bad);
        ASSERT_FALSE(text.empty()) << bad;
        for (char32_t c : text) {
            EXPECT_FALSE(c >= 0xD800 && c <= 0xDFFF);
            EXPECT_NE(c, U'/');
            EXPECT_LE(c, char32_t{0x10FFFF});
        }
    }
}

}  // namespace
}  // namespace railgrace
