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

// A fetch reads at least this much, so that small fields do not each cost a read of the file.
constexpr std::size_t kReadAhead = std::size_t{1} << 20;
// Floats converted per fetch, and per step into their vector.
constexpr std::size_t kFloatsAside = std::size_t{1} << 16;
constexpr std::size_t kFloatsAtOnce = 1024;

std::string CodePoint(char32_t c) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    return code;
}

}  // namespace

// Appends count floats stored at `at` to values, through a small block that stays in the cache
// instead of a resize that would first fill them with zeros.
void TrackBuffer::AppendFloats(std::vector<float>& values, const std::uint8_t* at,
                               std::size_t count) {
    float block[kFloatsAtOnce];
    while (count > 0) {
        const std::size_t n = std::min(count, kFloatsAtOnce);
        for (std::size_t i = 0; i < n; ++i) {
            block[i] = std::bit_cast<float>(Load32(at + 4 * i));
        }
        values.insert(values.end(), block, block + n);
        at += 4 * n;
        count -= n;
    }
}

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
    return DecodeText({Take(count), count});
}

void TrackBuffer::ReadFloats(std::vector<float>& values, std::size_t count) {
    if (Remaining() / 4 < count) FailAtEnd();
    std::vector<std::uint8_t> aside;
    while (count > 0) {
        const std::size_t n = std::min(count, kFloatsAside);
        if (cursor + 4 * n <= ready_) {
            AppendFloats(values, image_.get() + cursor, n);
        } else {
            FetchAside(4 * n, aside);
            AppendFloats(values, aside.data(), n);
        }
        cursor += 4 * n;
        count -= n;
    }
}

void TrackBuffer::BeginReading(std::size_t fileSize, std::size_t extraZeros, FetchBytes fetch) {
    fileSize_ = fileSize;
    imageSize_ = fileSize + extraZeros;
    // Left as it comes: memory is only used where a fetch writes.
    image_ = std::make_unique_for_overwrite<std::uint8_t[]>(imageSize_);
    std::fill(image_.get() + fileSize_, image_.get() + imageSize_, 0);
    fetch_ = std::move(fetch);
    cursor = 0;
    ready_ = 0;
}

void TrackBuffer::Fetch(std::size_t count) {
    if (Remaining() < count) FailAtEnd();
    const std::size_t from = std::max(ready_, cursor);
    const std::size_t end = std::min(imageSize_, std::max(cursor + count, from + kReadAhead));
    const std::size_t fileEnd = std::min(end, fileSize_);
    if (from < fileEnd) {
        const std::size_t got = fetch_(image_.get() + from, from, fileEnd - from);
        if (got < fileEnd - from) {
            Shrink(from + got);
            ready_ = imageSize_;
            if (Remaining() < count) FailAtEnd();
            return;
        }
    }
    ready_ = end;
}

void TrackBuffer::FetchAside(std::size_t count, std::vector<std::uint8_t>& aside) {
    aside.resize(count);
    const std::size_t inImage = cursor < ready_ ? ready_ - cursor : 0;
    std::copy_n(image_.get() + cursor, inImage, aside.data());
    const std::size_t from = cursor + inImage;
    const std::size_t fileEnd = std::min(cursor + count, fileSize_);
    std::size_t filled = inImage;
    if (from < fileEnd) {
        const std::size_t got = fetch_(aside.data() + filled, from, fileEnd - from);
        if (got < fileEnd - from) {
            Shrink(from + got);
            if (Remaining() < count) FailAtEnd();
        }
        filled += got;
    }
    // The extra zeros behind the file.
    std::fill(aside.begin() + static_cast<std::ptrdiff_t>(filled), aside.end(), 0);
}

void TrackBuffer::Shrink(std::size_t fileSize) {
    const std::size_t extraZeros = imageSize_ - fileSize_;
    fileSize_ = fileSize;
    imageSize_ = fileSize + extraZeros;
    std::fill(image_.get() + fileSize_, image_.get() + imageSize_, 0);
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

// Between chunks there is no tag to name, only the place.
void TrackBuffer::Fail(const std::string& what) const {
    const std::string chunk = chunkTag.empty() ? "" : std::string(chunkTag) + " chunk ";
    throw FormatError(fileName + ": " + chunk + "at byte " + std::to_string(chunkOffset) + ": " +
                      what + ".");
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
