// Hostile track files: however a file lies about its counts, sizes and lengths, a load ends
// quickly with a FormatError or a track, takes memory in proportion to the file's size, writes
// nothing, and leaves the caller's track as it was when it fails.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "ByteBuilder.h"
#include "track/Errors.h"
#include "track/TrackBuffer.h"
#include "track/TrackIo.h"

// Every allocation of this program goes through here, so a test can see how much memory a load
// took at its peak. An allocation beyond the ceiling fails at once rather than take the machine.
namespace {

struct Heap {
    std::int64_t live = 0;
    std::int64_t peak = 0;
};
Heap heap;
constexpr std::int64_t kCeiling = std::int64_t{1} << 30;
constexpr std::size_t kHeader = 16;  // keeps malloc's alignment

void* Allocate(std::size_t size) {
    if (static_cast<std::int64_t>(size) > kCeiling - heap.live) throw std::bad_alloc();
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (!block) throw std::bad_alloc();
    *reinterpret_cast<std::size_t*>(block) = size;
    heap.live += static_cast<std::int64_t>(size);
    if (heap.live > heap.peak) heap.peak = heap.live;
    return block + kHeader;
}

void Release(void* p) noexcept {
    if (!p) return;
    unsigned char* block = static_cast<unsigned char*>(p) - kHeader;
    heap.live -= static_cast<std::int64_t>(*reinterpret_cast<std::size_t*>(block));
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}

namespace railgrace {
namespace {

using namespace test;

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
const std::string kName = "hill.svtrack";

// The model holds at most about nine bytes per file byte (a 4-byte RASC record becomes a 32-byte
// entry), and the load holds the file's bytes besides.
std::int64_t MemoryBound(std::size_t fileBytes) {
    return 12 * static_cast<std::int64_t>(fileBytes) + 64 * 1024;
}

enum class Outcome { kLoaded, kRefused, kDamaged };

// Parses image into a copy of before. Fails the test on any exception but FormatError, on a
// failed load that changed the track, on a message that is not plain printable text, and on a
// load whose memory the file's size cannot justify. message receives the FormatError's text.
Outcome Parse(const Bytes& image, const TrackModel& before, std::string* message = nullptr) {
    TrackModel model = before;
    const std::int64_t start = heap.live;
    heap.peak = heap.live;
    Outcome outcome = Outcome::kLoaded;
    try {
        if (!ParseTrack(model, image, kName)) outcome = Outcome::kRefused;
    } catch (const FormatError& e) {
        outcome = Outcome::kDamaged;
        const std::string what = e.what();
        EXPECT_TRUE(std::all_of(what.begin(), what.end(), [](char c) {
            return c >= 0x20 && c < 0x7F;
        })) << what;
        EXPECT_EQ(what.back(), '.') << what;
        if (message) *message = what;
    }
    EXPECT_LE(heap.peak - start, MemoryBound(image.size())) << image.size() << " bytes";
    if (outcome != Outcome::kLoaded) {
        EXPECT_EQ(model, before);
    }
    return outcome;
}

class HostileFile : public ::testing::Test {
protected:
    const TrackModel before_ = RichModel();
};

// Every four bytes of a file with one record of each kind, read as a count, a size, a length, a
// grid dimension or a child count, in turn.
TEST_F(HostileFile, AnyInt32FieldSetToAnExtremeValue) {
    const Bytes image = SavedImage(ExampleModel());
    int damaged = 0;
    for (std::size_t at = 0; at + 4 <= image.size(); ++at) {
        for (std::int32_t value : {kMax, kMin, -1, -5, -8, 0x10000000, 65536}) {
            Bytes patched = image;
            PatchInt32(patched, at, value);
            if (Parse(patched, before_) == Outcome::kDamaged) ++damaged;
            if (HasFailure()) FAIL() << value << " at byte " << at;
        }
    }
    EXPECT_GT(damaged, 1000);
}

// Counts that fit the rest of a long file only if records took fewer bytes than they do: the
// loader must not allocate for more records than the bytes behind the count can hold.
TEST_F(HostileFile, CountsAsLargeAsTheRestOfTheFile) {
    TrackModel big = ExampleModel();
    big.terrainColumns = big.terrainRows = 256;
    big.terrainGrid.assign(256 * 256, 1.5f);
    std::vector<ChunkPlace> places;
    const Bytes image = Image(FileTree(big), {}, &places);
    const std::vector<std::pair<std::string, std::size_t>> countAt = {
        {"TRCK", 12}, {"INFO", 24}, {"BEZR", 24}, {"SEGM", 8},  {"FUND", 24}, {"RASC", 24},
        {"RASC", 28}, {"FREN", 24}, {"TUBE", 24}, {"CATW", 24}, {"SCEN", 24}, {"SCOB", 24}};
    for (const auto& [tag, field] : countAt) {
        const std::size_t at = OffsetOf(places, tag) + field;
        for (std::size_t bytesPerRecord : {1, 2, 3, 4, 8, 24, 28, 33, 60, 88}) {
            Bytes patched = image;
            PatchInt32(patched, at,
                       static_cast<std::int32_t>((image.size() - at) / bytesPerRecord));
            Parse(patched, before_);
            if (HasFailure()) FAIL() << tag << " count for " << bytesPerRecord << " bytes each";
        }
    }
}

// Chunks that take no more than their tag and size (unknown ones of the sizes -4 to 0 that step
// forward), with ever more promised by the child counts: the walk ends with the file.
TEST_F(HostileFile, WalkOverEndlesslyPromisedChunksEndsWithTheFile) {
    Chunk root = MakeChunk("SKYV", RootContent({1, 3, 0, 0}));
    root.childCount = kMax;
    for (std::int32_t size : {-4, -1, 0}) {
        Chunk empty = MakeChunk("JUNK", Bytes(static_cast<std::size_t>(size + 4), 0x20));
        empty.size = size;
        empty.bare = true;
        Chunk info = MakeChunk("INFO", InfoContent(U""));
        info.childCount = kMax;
        root.children = std::vector<Chunk>(2000, empty);
        root.children.push_back(info);
        root.children.insert(root.children.end(), 2000, empty);
        std::string message;
        EXPECT_EQ(Parse(Image(root), before_, &message), Outcome::kDamaged);
        EXPECT_NE(message.find("the file ends where another chunk should begin"), std::string::npos)
            << message;
    }
}

// Tags reach messages and chunk listings; bytes that are not printable must not go with them.
TEST_F(HostileFile, TagBytesThatAreNoTextAreShownByNumber) {
    Chunk root = MakeChunk("SKYV", RootContent({1, 3, 0, 0}));
    Chunk odd = MakeChunk(std::string("\xFFj\0k", 4), {});
    odd.size = -4;
    odd.bare = true;
    root.children = {odd};
    TrackModel model;
    std::vector<WalkEntry> walk;
    ASSERT_TRUE(ParseTrack(model, Image(root), kName, &walk));
    ASSERT_EQ(walk.size(), 2u);
    EXPECT_EQ(walk[1].tag, "\\xFFJ\\x00K");
    root.children.push_back(odd);
    root.children.back().size = -5;
    std::string message;
    EXPECT_EQ(Parse(Image(root), before_, &message), Outcome::kDamaged);
    EXPECT_NE(message.find(": \\xFFJ\\x00K chunk at byte 40: "), std::string::npos) << message;
}

// The sample cut short at every byte: at every chunk boundary and inside records of every kind.
TEST_F(HostileFile, SampleCutShortAnywhere) {
    const Bytes sample = ReadFile(RAILGRACE_SAMPLE);
    ASSERT_GT(sample.size(), 10000u);
    std::set<std::string> where;
    for (std::size_t cut = 4; cut + 1 < sample.size(); ++cut) {
        std::string message;
        const Bytes prefix(sample.begin(), sample.begin() + static_cast<long>(cut));
        // Cut inside the root's child count, the zero behind the file's bytes completes a count
        // of no chunks, and the file loads as an empty track.
        if (Parse(prefix, before_, &message) == Outcome::kLoaded) {
            EXPECT_EQ(cut, 31u);
            continue;
        }
        const std::size_t chunk = message.find(" chunk at byte ");
        const std::size_t inside = message.find("the file ends inside ");
        ASSERT_NE(chunk, std::string::npos) << message;
        where.insert(message.substr(chunk - 4, 4));
        if (inside != std::string::npos) {
            const std::size_t name = inside + 21;
            where.insert(message.substr(name, message.find_first_of("0123456789", name) - name));
        }
        if (HasFailure()) FAIL() << "cut at " << cut;
    }
    const std::set<std::string> expected = {"SKYV",
                                            "TRCK",
                                            "INFO",
                                            "BEZR",
                                            "SEGM",
                                            "SUPP",
                                            "FUND",
                                            "RASC",
                                            "FREN",
                                            "TUBE",
                                            "CATW",
                                            "SCEN",
                                            "SCOB",
                                            "TERA",
                                            "entry ",
                                            "vertex ",
                                            "segment ",
                                            "record ",
                                            "item ",
                                            "tube ",
                                            "catwalk ",
                                            "scenery entry ",
                                            "scenery object ",
                                            "the chunk."};
    for (const std::string& kind : expected) EXPECT_TRUE(where.count(kind)) << kind;
}

// A file longer than any track file (made sparse, so it takes no disk) is refused before a byte
// of it is read; a named pipe is refused instead of waiting for a writer forever. Nothing is
// written either way.
TEST_F(HostileFile, TooLongFilesAndPipesAreRefusedBeforeReading) {
    const TempFolder dir;
    const std::string huge = dir.Write("huge.svtrack", SavedImage(ExampleModel()));
    std::filesystem::resize_file(huge, kMaxTrackFileBytes + 1);
    const std::string pipe = dir / "pipe.svtrack";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const auto& [path, reason] : {std::pair{huge, std::string("2147483664 bytes")},
                                       std::pair{pipe, std::string("not a regular file")}}) {
        TrackModel model = before_;
        heap.peak = heap.live;
        const std::int64_t start = heap.live;
        try {
            LoadTrack(model, path);
            ADD_FAILURE() << "no error for " << path;
        } catch (const FileError& e) {
            EXPECT_NE(std::string(e.what()).find(path + ": it "), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
        EXPECT_LE(heap.peak - start, MemoryBound(0));
        EXPECT_EQ(model, before_);
    }
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"huge.svtrack", "pipe.svtrack"}));
    EXPECT_EQ(std::filesystem::file_size(huge), kMaxTrackFileBytes + 1);
}

// A file is read piece by piece as the loader reaches its parts, so another program may shorten
// it in between. The reading then ends where the file now ends, with the one zero byte behind
// it as always, and fails like any file cut short.
class ShrinkingFile {
public:
    // A file of size bytes 0, 1, 2, ... that holds only its first shrunkSize after its first read.
    ShrinkingFile(std::size_t size, std::size_t shrunkSize)
        : bytes_(size), shrunkSize_(shrunkSize) {
        for (std::size_t i = 0; i < size; ++i) bytes_[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    FetchBytes Fetch() {
        return [this](std::uint8_t* into, std::size_t from, std::size_t count) {
            const std::size_t end =
                std::min(from + count, reads_++ == 0 ? bytes_.size() : shrunkSize_);
            const std::size_t got = from < end ? end - from : 0;
            std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(from), got, into);
            return got;
        };
    }
    std::uint32_t Int32At(std::size_t at, std::size_t fileSize) const {
        std::uint32_t value = 0;
        for (std::size_t i = at; i < at + 4; ++i)
            value = value << 8 | (i < fileSize ? bytes_[i] : 0);
        return value;
    }
    std::size_t reads() const { return static_cast<std::size_t>(reads_); }

private:
    Bytes bytes_;
    std::size_t shrunkSize_;
    int reads_ = 0;
};

TEST(ShrinkingFile, ReadingEndsWhereTheFileNowEnds) {
    constexpr std::size_t kSize = 3 << 20;  // more than one piece
    constexpr std::size_t kShrunk = (2 << 20) + 2;
    // Fields: read up to the new end, the extra zero behind it, then the end.
    {
        ShrinkingFile file(kSize, kShrunk);
        TrackBuffer buffer;
        buffer.fileName = "hill.svtrack";
        buffer.chunkTag = "TERA";
        buffer.BeginReading(kSize, 1, file.Fetch());
        EXPECT_EQ(static_cast<std::uint32_t>(buffer.ReadInt32()), file.Int32At(0, kSize));
        buffer.Skip(kShrunk - 3 - 4);
        EXPECT_EQ(static_cast<std::uint32_t>(buffer.ReadInt32()),
                  file.Int32At(kShrunk - 3, kShrunk));
        EXPECT_EQ(buffer.Remaining(), 0u);
        EXPECT_THROW(buffer.ReadByte(), FormatError);
        EXPECT_EQ(file.reads(), 2u);
    }
    // Floats: those that were read stay as they were; the run that goes past the end fails.
    {
        ShrinkingFile file(kSize, kShrunk);
        TrackBuffer buffer;
        buffer.fileName = "hill.svtrack";
        buffer.BeginReading(kSize, 1, file.Fetch());
        std::vector<float> values;
        buffer.ReadFloats(values, 1000);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(values[999]), file.Int32At(3996, kSize));
        try {
            buffer.ReadFloats(values, (kSize - 4000) / 4);
            ADD_FAILURE() << "no error";
        } catch (const FormatError& e) {
            EXPECT_STREQ(e.what(),
                         "hill.svtrack:  chunk at byte 0: the file ends inside the chunk.");
        }
    }
}

// A run of floats longer than a piece, of which the last byte is the zero behind the file.
TEST(ShrinkingFile, FloatsOverManyPiecesUpToTheExtraZero) {
    constexpr std::size_t kSize = (3 << 20) + 3;
    ShrinkingFile file(kSize, kSize);
    TrackBuffer buffer;
    buffer.BeginReading(kSize, 1, file.Fetch());
    EXPECT_EQ(buffer.ReadInt32(), static_cast<std::int32_t>(file.Int32At(0, kSize)));
    std::vector<float> values;
    buffer.ReadFloats(values, (kSize - 3) / 4);
    ASSERT_EQ(values.size(), (kSize - 3) / 4);
    for (std::size_t i = 0; i < values.size(); i += 4099) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(values[i]), file.Int32At(4 + 4 * i, kSize)) << i;
    }
    EXPECT_EQ(std::bit_cast<std::uint32_t>(values.back()), file.Int32At(kSize - 3, kSize));
    EXPECT_EQ(buffer.Remaining(), 0u);
    EXPECT_GT(file.reads(), 3u);
}

}  // namespace
}  // namespace railgrace
