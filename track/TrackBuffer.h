// The byte image of one track file and the primitives that read and write it. Nothing else in
// the track module touches file bytes. The format is big-endian throughout.
#pragma once

#include <bit>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "track/Errors.h"
#include "track/Text.h"
#include "track/TrackModel.h"

namespace railgrace {

// The record that a reader is inside, for messages: "vertex 12 of 40".
struct RecordPlace {
    const char* name = nullptr;  // null outside the records
    std::int64_t index = 0;
    std::int64_t count = 0;
};

// Where a buffer being read gets its bytes: copies count bytes from offset `from` of the file
// into `into` and returns how many there were, fewer only where the file ends.
using FetchBytes =
    std::function<std::size_t(std::uint8_t* into, std::size_t from, std::size_t count)>;

class TrackBuffer {
public:
    // The image being written.
    std::vector<std::uint8_t> bytes;
    // Where the next read happens. Reserved runs are skipped by moving it past the end
    // unchecked; the next read then fails.
    std::size_t cursor = 0;

    // For messages: the file, and the chunk and record being read or written.
    std::string fileName;
    std::string_view chunkTag;
    std::size_t chunkOffset = 0;
    RecordPlace record;

    // Reading ------------------------------------------------------------------------------

    // Starts reading a file of fileSize bytes and extraZeros zero bytes behind them, which the
    // read primitives treat like any other byte. The bytes are fetched as the reading reaches
    // them, so that parts it steps over or converts on the way are never held twice.
    void BeginReading(std::size_t fileSize, std::size_t extraZeros, FetchBytes fetch);

    std::uint8_t ReadByte() { return *Take(1); }
    bool ReadFlag() { return ReadByte() != 0; }
    std::int32_t ReadInt32() { return static_cast<std::int32_t>(Load32(Take(4))); }
    float ReadFloat() { return std::bit_cast<float>(Load32(Take(4))); }
    // The first byte is not looked at.
    UInt24 ReadUInt24() { return static_cast<UInt24>(Load32(Take(4)) & 0xFFFFFFu); }
    // Upper-cased. Tags end up in messages and listings, so a byte that is not printable comes
    // as its number ("\x00"), and no such tag can equal a known one.
    std::string ReadTag();
    // length <= 0 gives the empty text and reads nothing; callers for whom a negative length
    // is damage check it first.
    Text ReadText(std::int32_t length);
    // Appends count floats to values.
    void ReadFloats(std::vector<float>& values, std::size_t count);
    void Skip(std::size_t count) { cursor += count; }

    // Bytes from the cursor to the end of the image; 0 when the cursor is past it.
    std::size_t Remaining() const { return cursor < imageSize_ ? imageSize_ - cursor : 0; }

    // Checks a record count read at the cursor before anything is allocated for it: count
    // records of at least minBytes each must fit in the remaining image.
    void CheckCount(std::int32_t count, std::size_t minBytes, const char* name, const char* plural);

    [[noreturn]] void Fail(const std::string& what) const;

    // Writing -------------------------------------------------------------------------------

    // When set, long runs of floats are handed over in pieces as they are written (the saver
    // passes them on to the file), so that a large image is never held whole. Drain hands
    // over everything written so far and empties the image.
    std::function<void(std::span<const std::uint8_t>)> drain;
    void Drain();

    void WriteByte(std::uint8_t value) { bytes.push_back(value); }
    void WriteFlag(bool value) { WriteByte(value ? 0xFF : 0x00); }
    void WriteInt32(std::int32_t value) { Store32(static_cast<std::uint32_t>(value)); }
    void WriteFloat(float value) { Store32(std::bit_cast<std::uint32_t>(value)); }
    void WriteUInt24(UInt24 value) { Store32(static_cast<std::uint32_t>(value) & 0xFFFFFFu); }
    void WriteTag(std::string_view tag) { bytes.insert(bytes.end(), tag.begin(), tag.end()); }
    // The length goes in front, as an int32; the characters follow, one byte each.
    void WriteText(const Text& text);
    void WriteZeros(std::size_t count) { bytes.resize(bytes.size() + count, 0); }
    void WriteFloats(std::span<const float> values);

private:
    const std::uint8_t* Take(std::size_t count) {
        if (cursor + count > ready_) Fetch(count);
        const std::uint8_t* at = image_.get() + cursor;
        cursor += count;
        return at;
    }
    // Makes the count bytes at the cursor ready in the image, or fails.
    void Fetch(std::size_t count);
    // Copies the count bytes at the cursor from the file into `aside`, not into the image.
    void FetchAside(std::size_t count, std::vector<std::uint8_t>& aside);
    // The file has shrunk to fileSize bytes since reading began.
    void Shrink(std::size_t fileSize);
    static void AppendFloats(std::vector<float>& values, const std::uint8_t* at, std::size_t count);
    static std::uint32_t Load32(const std::uint8_t* at) {
        return std::uint32_t{at[0]} << 24 | std::uint32_t{at[1]} << 16 | std::uint32_t{at[2]} << 8 |
               std::uint32_t{at[3]};
    }
    void Store32(std::uint32_t value) {
        const std::uint8_t out[4] = {
            static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
        bytes.insert(bytes.end(), out, out + 4);
    }
    [[noreturn]] void FailAtEnd() const;

    // The image read: the file's bytes, then the extra zeros. Bytes [cursor, ready_) are in
    // memory; bytes before the cursor may not be, and are never needed again.
    std::unique_ptr<std::uint8_t[]> image_;
    std::size_t fileSize_ = 0;
    std::size_t imageSize_ = 0;
    std::size_t ready_ = 0;
    FetchBytes fetch_;
};

}  // namespace railgrace
