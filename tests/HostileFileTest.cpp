// Hostile track files: however a file lies about its counts, sizes and lengths, a load ends
// quickly with a FormatError or a track, takes memory in proportion to the file's size, writes
// nothing, and leaves the caller's track as it was when it fails.
#include <gtest/gtest.h>
#include <malloc.h>
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

std::int64_t live = 0, peak = 0;
constexpr std::int64_t kCeiling = std::int64_t{1} << 30;

void* Allocate(std::size_t size) {
    void* p = static_cast<std::int64_t>(size) > kCeiling - live ? nullptr : std::malloc(size);
    if (!p) throw std::bad_alloc();
    live += static_cast<std::int64_t>(malloc_usable_size(p));
    peak = std::max(peak, live);
    return p;
}

void Release(void* p) noexcept {
    live -= static_cast<std::int64_t>(malloc_usable_size(p));
    std::free(p);
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

// The model holds at most about nine bytes per file byte (a 4-byte RASC record becomes a 32-byte
// entry), and the load holds the file's bytes besides.
std::int64_t MemoryBound(std::size_t fileBytes) {
    return 12 * static_cast<std::int64_t>(fileBytes) + 64 * 1024;
}

enum class Outcome { kLoaded, kRefused, kDamaged };

// Parses image into a copy of RichModel(). Fails the test on any exception but FormatError, on
// a failed load that changed the track, on a message that is not one printable sentence, and on
// a load whose memory the file's size cannot justify. message receives the FormatError's text.
Outcome Parse(const Bytes& image, std::string* message = nullptr) {
    const TrackModel before = RichModel();
    TrackModel model = before;
    const std::int64_t start = peak = live;
    Outcome outcome = Outcome::kLoaded;
    try {
        if (!ParseTrack(model, image, "hill.svtrack")) outcome = Outcome::kRefused;
    } catch (const FormatError& e) {
        outcome = Outcome::kDamaged;
        const std::string what = e.what();
        EXPECT_TRUE(
            std::all_of(what.begin(), what.end(), [](char c) { return c >= ' ' && c <= '~'; }) &&
            what.ends_with('.'))
            << what;
        if (message) *message = what;
    }
    EXPECT_LE(peak - start, MemoryBound(image.size())) << image.size() << " bytes";
    EXPECT_TRUE(outcome == Outcome::kLoaded || model == before);
    return outcome;
}

// Every four bytes of a file with one record of each kind, before its terrain grid, read as a
// count, a size, a length, a grid dimension or a child count, in turn: extreme values, and counts
// that the bytes behind them could hold only if records took fewer bytes than they do, for which
// the loader must not allocate.
TEST(HostileFile, AnyInt32FieldSetToAnExtremeValue) {
    TrackModel model = ExampleModel();
    model.terrainColumns = model.terrainRows = 128;
    model.terrainGrid.assign(128 * 128, 1.5f);
    const Bytes image = SavedImage(model);
    int damaged = 0;
    for (std::size_t at = 0; at + 4 <= image.size() - 4 * 128 * 128; ++at) {
        std::vector<std::int32_t> values = {kMax, kMin, -1, -5, -8, 0x10000000, 65536};
        for (std::size_t bytesPerRecord : {1u, 2u, 3u, 4u, 8u, 24u, 28u, 33u, 60u, 88u})
            values.push_back(static_cast<std::int32_t>((image.size() - at - 4) / bytesPerRecord));
        for (std::int32_t value : values) {
            Bytes patched = image;
            PatchInt32(patched, at, value);
            if (Parse(patched) == Outcome::kDamaged) ++damaged;
            if (::testing::Test::HasFailure()) FAIL() << value << " at byte " << at;
        }
    }
    EXPECT_GT(damaged, 1000);
}

// Chunks that take no more than their tag and size (unknown ones of the sizes -4 to 0 that step
// forward), with ever more promised by the child counts: the walk ends with the file. Tags that
// are no text are shown by number, and a size that would step backwards is damage.
TEST(HostileFile, EndlessChunksAndUnprintableTags) {
    Chunk root = MakeChunk("SKYV", RootContent({1, 3, 0, 0}));
    root.childCount = kMax;
    for (std::int32_t size : {-4, -1, 0}) {
        Chunk empty = MakeChunk("JUNK", Bytes(static_cast<std::size_t>(size + 4), 0x20));
        empty.size = size;
        empty.bare = true;
        Chunk info = MakeChunk("INFO", InfoContent(U""));
        info.childCount = root.childCount;
        root.children = std::vector<Chunk>(2000, empty);
        root.children.push_back(info);
        root.children.insert(root.children.end(), 2000, empty);
        std::string message;
        EXPECT_EQ(Parse(Image(root), &message), Outcome::kDamaged);
        EXPECT_NE(message.find("the file ends where another chunk should begin"), std::string::npos)
            << message;
    }
    Chunk odd = MakeChunk(std::string("\xFFj\0k", 4), {});
    odd.size = -4;
    odd.bare = true;
    root.children = {odd};
    root.childCount.reset();
    TrackModel model;
    std::vector<WalkEntry> walk;
    ASSERT_TRUE(ParseTrack(model, Image(root), "hill.svtrack", &walk));
    ASSERT_EQ(walk.size(), 2u);
    EXPECT_EQ(walk[1].tag, "\\xFFJ\\x00K");
    root.children.push_back(odd);
    root.children.back().size = -5;
    std::string message;
    EXPECT_EQ(Parse(Image(root), &message), Outcome::kDamaged);
    EXPECT_NE(message.find("hill.svtrack: \\xFFJ\\x00K chunk at byte 40: its size -5"),
              std::string::npos)
        << message;
}

// The sample cut short at every byte: at every chunk boundary and inside records of every kind.
TEST(HostileFile, SampleCutShortAnywhere) {
    const Bytes sample = ReadFile(RAILGRACE_SAMPLE);
    ASSERT_GT(sample.size(), 10000u);
    // The chunks named, and the record kinds or texts that the file ends inside.
    std::set<std::string> where;
    for (std::size_t cut = 4; cut + 1 < sample.size(); ++cut) {
        std::string message;
        // Cut inside the root's child count, the zero behind the file's bytes completes a count
        // of no chunks, and the file loads as an empty track.
        if (Parse(Bytes(sample.begin(), sample.begin() + static_cast<long>(cut)), &message) ==
            Outcome::kLoaded) {
            EXPECT_EQ(cut, 31u);
            continue;
        }
        const std::string prefix = "hill.svtrack: ";
        const std::size_t at = message.find("at byte ");
        ASSERT_TRUE(message.starts_with(prefix) && at != std::string::npos) << message;
        // " chunk " stands between the tag and the place.
        if (at > prefix.size()) where.insert(message.substr(prefix.size(), at - prefix.size() - 7));
        const std::size_t inside = message.find("the file ends inside ");
        if (inside != std::string::npos) {
            const std::size_t kind = inside + 21;
            where.insert(message.substr(kind, message.find_first_of("0123456789", kind) - kind));
        }
        if (::testing::Test::HasFailure()) FAIL() << "cut at " << cut;
    }
    for (const char* tag : {"SKYV", "TRCK", "INFO", "BEZR", "SEGM", "SUPP", "FUND", "RASC", "FREN",
                            "TUBE", "CATW", "SCEN", "SCOB", "TERA"})
        EXPECT_TRUE(where.count(tag)) << tag;
    for (const char* kind : {"entry ", "vertex ", "segment ", "record ", "item ", "tube ",
                             "catwalk ", "scenery entry ", "scenery object ", "the chunk."})
        EXPECT_TRUE(where.count(kind)) << kind;
}

// A file longer than any track file (made sparse, so it takes no disk) is refused before a byte
// of it is read; a named pipe is refused instead of waiting for a writer forever. Nothing is
// written either way.
TEST(HostileFile, TooLongFilesAndPipesAreRefusedBeforeReading) {
    const TempFolder dir;
    const std::string huge = dir.Write("huge.svtrack", SavedImage(ExampleModel()));
    std::filesystem::resize_file(huge, kMaxTrackFileBytes + 1);
    const std::string pipe = dir / "pipe.svtrack";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& reason :
         {huge + ": it holds 2147483664 bytes", pipe + ": it is not a regular file"}) {
        TrackModel model = RichModel();
        const std::int64_t start = peak = live;
        try {
            LoadTrack(model, reason.substr(0, reason.find(": ")));
            ADD_FAILURE() << "no error: " << reason;
        } catch (const FileError& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
        EXPECT_LE(peak - start, MemoryBound(0));
        EXPECT_EQ(model, RichModel());
    }
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"huge.svtrack", "pipe.svtrack"}));
    EXPECT_EQ(std::filesystem::file_size(huge), kMaxTrackFileBytes + 1);
}

// A file of size bytes i * 7 + 1, read piece by piece as the loader reaches its parts, that
// another program shortens to shrunk bytes after the first read.
struct ShrinkingFile {
    ShrinkingFile(std::size_t size, std::size_t newSize) : shrunk(newSize) {
        buffer.fileName = "hill.svtrack";
        buffer.chunkTag = "TERA";
        buffer.BeginReading(
            size, 1, [=, this](std::uint8_t* into, std::size_t from, std::size_t n) {
                const std::size_t end = std::min(from + n, reads++ == 0 ? size : shrunk);
                for (std::size_t i = from; i < end; ++i) into[i - from] = Byte(i);
                return from < end ? end - from : 0;
            });
    }
    static std::uint8_t Byte(std::size_t i) { return static_cast<std::uint8_t>(i * 7 + 1); }
    // The int32 at `at` as the reading sees it, with zeros behind the file's end.
    std::uint32_t Int32At(std::size_t at) const {
        std::uint32_t value = 0;
        for (std::size_t i = at; i < at + 4; ++i) value = value << 8 | (i < shrunk ? Byte(i) : 0u);
        return value;
    }

    std::size_t shrunk;
    int reads = 0;
    TrackBuffer buffer;
};

// The reading ends where the file now ends, with the one zero byte behind it as always, and
// fails like any file cut short.
TEST(HostileFile, FileThatShrinksWhileRead) {
    constexpr std::size_t kSize = 3 << 20, kShrunk = (2 << 20) + 2;  // more than one piece
    // Fields: read up to the new end, the extra zero behind it, then the end.
    ShrinkingFile fields(kSize, kShrunk);
    EXPECT_EQ(static_cast<std::uint32_t>(fields.buffer.ReadInt32()), fields.Int32At(0));
    fields.buffer.Skip(kShrunk - 3 - 4);
    EXPECT_EQ(static_cast<std::uint32_t>(fields.buffer.ReadInt32()), fields.Int32At(kShrunk - 3));
    EXPECT_EQ(fields.buffer.Remaining(), 0u);
    EXPECT_THROW(fields.buffer.ReadByte(), FormatError);
    EXPECT_EQ(fields.reads, 2);
    // Floats: those that were read stay as they were; the run that goes past the end fails.
    ShrinkingFile floats(kSize, kShrunk);
    std::vector<float> values;
    floats.buffer.ReadFloats(values, 1000);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(values[999]), floats.Int32At(3996));
    try {
        floats.buffer.ReadFloats(values, (kSize - 4000) / 4);
        ADD_FAILURE() << "no error";
    } catch (const FormatError& e) {
        EXPECT_STREQ(e.what(),
                     "hill.svtrack: TERA chunk at byte 0: the file ends inside the chunk.");
    }
    // A run of floats over many pieces, up to the zero behind a file that keeps its size.
    ShrinkingFile whole(kSize + 3, kSize + 3);
    EXPECT_EQ(static_cast<std::uint32_t>(whole.buffer.ReadInt32()), whole.Int32At(0));
    values.clear();
    whole.buffer.ReadFloats(values, kSize / 4);
    ASSERT_EQ(values.size(), kSize / 4);
    for (std::size_t i = 0; i < values.size(); i += 4099)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(values[i]), whole.Int32At(4 + 4 * i)) << i;
    EXPECT_EQ(std::bit_cast<std::uint32_t>(values.back()), whole.Int32At(kSize));
    EXPECT_EQ(whole.buffer.Remaining(), 0u);
    EXPECT_GT(whole.reads, 3);
}

}  // namespace
}  // namespace railgrace
