#include "track/TrackBuffer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>

namespace railgrace {
namespace {

std::string Place(const RecordPlace& record) {
    return std::string(record.name) + " " + std::to_string(record.index) + " of " +
           std::to_string(record.count);
}

std::string CodePoint(char32_t c) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    return code;
}

}  // namespace

std::string TrackBuffer::ReadTag() {
    const std::uint8_t* at = Take(4);
    std::string tag;
    for (const std::uint8_t byte : std::span(at, 4)) {
        if (byte >= 0x20 && byte < 0x7F) {
            tag += static_cast<char>(std::toupper(byte));
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned>(byte));
            tag += code;
        }
    }
    return tag;
}

Text TrackBuffer::ReadText(std::int32_t length) {
    if (length <= 0) return {};
    const auto count = static_cast<std::size_t>(length);
    if (Remaining() < count) {
        Fail("the file ends inside a text of " + std::to_string(length) + " characters" +
             (record.name ? " in " + Place(record) : std::string()));
    }
    Text text = DecodeText({bytes.data() + cursor, count});
    cursor += count;
    return text;
}

// Through a small block that stays in the cache: the values go into values once, unlike a
// resize that would first fill them with zeros.
void TrackBuffer::ReadFloats(std::vector<float>& values, std::size_t count) {
    const std::uint8_t* at = Take(count * 4);
    float block[1024];
    while (count > 0) {
        const std::size_t n = std::min(count, std::size(block));
        for (std::size_t i = 0; i < n; ++i) block[i] = std::bit_cast<float>(Load32(at + 4 * i));
        values.insert(values.end(), block, block + n);
        at += 4 * n;
        count -= n;
    }
}

void TrackBuffer::CheckCount(std::int32_t count, std::size_t minBytes, const char* name,
                             const char* plural) {
    const std::string where = record.name ? Place(record) + ": " : std::string();
    if (count < 0) {
        Fail(where + "the number of " + std::string(plural) + " is negative (" +
             std::to_string(count) + ")");
    }
    const std::size_t fit = Remaining() / minBytes;
    if (static_cast<std::size_t>(count) > fit) {
        Fail(where + "the file ends inside " + std::string(name) + " " + std::to_string(fit) +
             " of " + std::to_string(count));
    }
}

void TrackBuffer::Fail(const std::string& what) const {
    throw FormatError(fileName + ": " + std::string(chunkTag) + " chunk at byte " +
                      std::to_string(chunkOffset) + ": " + what + ".");
}

void TrackBuffer::FailAtEnd() const {
    if (record.name) Fail("the file ends inside " + Place(record));
    Fail("the file ends inside the chunk");
}

void TrackBuffer::WriteText(const Text& text) {
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        throw SaveError("The track is too large to save: a text of the " + std::string(chunkTag) +
                        " chunk is longer than a track file can hold.");
    }
    WriteInt32(static_cast<std::int32_t>(text.size()));
    for (char32_t c : text) {
        const auto byte = ByteFromChar(c);
        if (!byte) {
            throw SaveError("The track cannot be saved: a text of the " + std::string(chunkTag) +
                            " chunk holds the character " + CodePoint(c) +
                            ", which a track file cannot hold.");
        }
        bytes.push_back(*byte);
    }
}

void TrackBuffer::Drain() {
    if (drain) {
        drain(bytes);
        bytes.clear();
    }
}

// In pieces of a megabyte, each handed over as soon as it is written when drain is set.
void TrackBuffer::WriteFloats(std::span<const float> values) {
    constexpr std::size_t kPieceFloats = std::size_t{1} << 18;
    while (!values.empty()) {
        const std::size_t n = std::min(values.size(), kPieceFloats);
        const std::size_t at = bytes.size();
        bytes.resize(at + n * 4);
        std::uint8_t* out = bytes.data() + at;
        for (const float value : values.first(n)) {
            const auto bits = std::bit_cast<std::uint32_t>(value);
            out[0] = static_cast<std::uint8_t>(bits >> 24);
            out[1] = static_cast<std::uint8_t>(bits >> 16);
            out[2] = static_cast<std::uint8_t>(bits >> 8);
            out[3] = static_cast<std::uint8_t>(bits);
            out += 4;
        }
        values = values.subspan(n);
        Drain();
    }
}

}  // namespace railgrace
