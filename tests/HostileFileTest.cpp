// Damaged and hostile track files: however a file lies about its counts, sizes and lengths, a load
// ends quickly with a track or a FormatError that begins "FILE: TAG chunk at byte N: " and says
// what is wrong in one sentence, takes memory in proportion to the file's size, writes nothing,
// and leaves the caller's track as it was when it fails.
#include <gtest/gtest.h>
#include <malloc.h>

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

#include "TrackFiles.h"
#include "track/Errors.h"
#include "track/TrackBuffer.h"
#include "track/TrackIo.h"

// Every allocation of this program goes through here, so a test can see how much memory a load
// took at its peak. An allocation beyond the ceiling fails at once rather than take the machine.
namespace {

std::int64_t UsableSize(void* p) {
#ifdef _WIN32
    return static_cast<std::int64_t>(_msize(p));
#else
    return static_cast<std::int64_t>(malloc_usable_size(p));
#endif
}

std::int64_t live = 0, peak = 0;
constexpr std::int64_t kCeiling = std::int64_t{1} << 30;

void* Allocate(std::size_t size) {
    void* p = static_cast<std::int64_t>(size) > kCeiling - live ? nullptr : std::malloc(size);
    if (!p) throw std::bad_alloc();
    live += UsableSize(p);
    peak = std::max(peak, live);
    return p;
}

void Release(void* p) noexcept {
    live -= UsableSize(p);
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
const std::string kName = "hill.svtrack";

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
    TrackModel model = RichModel();
    const std::int64_t start = peak = live;
    Outcome outcome = Outcome::kLoaded;
    try {
        if (!ParseTrack(model, image, kName)) outcome = Outcome::kRefused;
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
    EXPECT_TRUE(outcome == Outcome::kLoaded || model == RichModel());
    return outcome;
}

// The load must fail with a message that names the file, the tag (unless empty) and the offset,
// and says what; returns the message.
std::string ExpectDamaged(const Bytes& image, const std::string& tag, std::size_t offset,
                          const std::string& what) {
    std::string message;
    EXPECT_EQ(Parse(image, &message), Outcome::kDamaged) << tag << " at " << offset;
    const std::string place =
        (tag.empty() ? "" : tag + " chunk ") + "at byte " + std::to_string(offset) + ": ";
    EXPECT_TRUE(message.starts_with(kName + ": " + place)) << message << "\nshould name " << place;
    EXPECT_NE(message.find(what), std::string::npos) << message << "\nshould say " << what;
    return message;
}

// The example track as a file, with the offset of every chunk.
struct ExampleFile {
    ExampleFile() { image = Image(tree, &places); }

    std::size_t At(const std::string& tag) const { return OffsetOf(places, tag); }

    Chunk tree = Split(Golden("example.svtrack"));
    Bytes image;
    std::vector<ChunkPlace> places;
};

// Cut anywhere, the file fails in the chunk the cut falls into, inside the record or text it
// falls into, or where the next chunk should begin when the cut leaves less than a tag of it or
// takes only the last byte of the chunk before it, which the zero behind every file stands in
// for. A file of 3 bytes (a tag with the zero behind it) is refused as not a track, shorter ones
// are damaged (tested with the other short files), and the cut inside the root's child count
// loads: it reads 0 and promises no chunk. Without only its last byte, a file loads whole (one
// of the odd files of the load tests).
TEST(HostileFile, EveryShorterFile) {
    const ExampleFile file;
    std::set<std::string> inside;  // what the file ends inside, up to the record's number
    for (std::size_t cut = 3; cut + 1 < file.image.size(); ++cut) {
        const Bytes prefix(file.image.begin(), file.image.begin() + static_cast<long>(cut));
        if (cut < 4 || cut == 31) {
            TrackModel model;
            EXPECT_EQ(ParseTrack(model, prefix, kName), cut == 31) << cut;
            EXPECT_EQ(Headerless(model), TrackModel{}) << cut;
            continue;
        }
        // The chunk the cut falls into; a tag that has lost its last byte reads as unknown.
        const ChunkPlace* in = &file.places.front();
        for (const ChunkPlace& place : file.places) {
            if (place.offset <= cut) in = &place;
        }
        const ChunkPlace* next = in + 1;
        if (next != &*file.places.end() && cut + 1 == next->offset) {
            ExpectDamaged(prefix, "", next->offset, "another chunk should begin");
        } else if (cut < in->offset + 3) {
            ExpectDamaged(prefix, "", in->offset, "another chunk should begin");
        } else {
            const std::string tag =
                cut == in->offset + 3 ? in->tag.substr(0, 3) + "\\x00" : in->tag;
            const std::string message =
                ExpectDamaged(prefix, tag, in->offset, "the file ends inside ");
            const std::size_t kind = message.find("inside ") + 7;
            inside.insert(message.substr(kind, message.find_first_of("0123456789", kind) - kind));
        }
        if (::testing::Test::HasFailure()) FAIL() << "cut at " << cut;
    }
    EXPECT_EQ(inside,
              (std::set<std::string>{"a text of ", "catwalk ", "entry ", "item ", "record ",
                                     "scenery entry ", "scenery object ", "segment ", "the chunk.",
                                     "the terrain grid of ", "tube ", "vertex "}));
}

struct Damage {
    std::string tag;
    std::vector<std::pair<std::size_t, std::int32_t>> patches;  // offset in the chunk, value
    std::string what;
};

// Counts, lengths and sizes of the example file that are negative or larger than the rest of
// the file can hold.
std::vector<Damage> Damages() {
    // Record counts, and the first RASC record's item count, which may be negative.
    const std::pair<const char*, std::size_t> counts[] = {
        {"TRCK", 12}, {"BEZR", 24}, {"SEGM", 8},  {"FUND", 24}, {"RASC", 24}, {"FREN", 24},
        {"TUBE", 24}, {"CATW", 24}, {"SCEN", 24}, {"SCOB", 24}, {"RASC", 28}};
    // Text lengths: TRCK's first entry's and INFO's, which read a negative length as an empty
    // text, the first scenery object's two and the terrain's three (its first text is 1
    // character and its second 2).
    const std::pair<const char*, std::size_t> texts[] = {{"TRCK", 28}, {"INFO", 24}, {"SCOB", 28},
                                                         {"SCOB", 35}, {"TERA", 24}, {"TERA", 33},
                                                         {"TERA", 48}};
    // Terrain columns and rows: -2 x -3 promises exactly the six heights of the grid; 4 x columns
    // x rows is 2^32, 2^34 and 2^34 in the first three beyond the file: 0 in 32 bits.
    const std::pair<std::int32_t, std::int32_t> negativeGrids[] = {{-1, 2}, {3, -1}, {-2, -3},
                                                                   {-1, 0}, {0, -1}, {kMin, kMin}};
    const std::pair<std::int32_t, std::int32_t> largeGrids[] = {
        {65536, 65536}, {0x40000000, 4}, {0x20000000, 8}, {kMax, kMax}, {3, 5}};
    std::vector<Damage> damages;
    for (auto [tag, at] : counts) {
        for (std::int32_t n : {-1, kMin}) {
            if (at != 28) damages.push_back({tag, {{at, n}}, "is negative"});
        }
        for (std::int32_t n : {kMax, 0x10000000, 5000}) {
            damages.push_back({tag, {{at, n}}, "the file ends inside "});
        }
    }
    for (auto [tag, at] : texts) {
        for (std::int32_t n : {kMax, 0x40000000, 4000}) {
            damages.push_back({tag, {{at, n}}, "the file ends inside a text of "});
        }
        for (std::int32_t n : {-1, -20, kMin}) {
            if (std::string(tag) != "TRCK" && std::string(tag) != "INFO") {
                damages.push_back({tag, {{at, n}}, "negative"});
            }
        }
    }
    for (std::int32_t n : {-1, -28, kMin}) damages.push_back({"CATW", {{52, n}}, "negative"});
    for (std::int32_t n : {kMax, 100000}) damages.push_back({"CATW", {{52, n}}, "ends inside"});
    for (auto [c, r] : negativeGrids) damages.push_back({"TERA", {{8, c}, {12, r}}, "negative"});
    for (auto [c, r] : largeGrids) {
        damages.push_back({"TERA", {{8, c}, {12, r}}, "the file ends inside the terrain grid"});
    }
    return damages;
}

TEST(HostileFile, CountsLengthsAndSizesThatTheFileCannotHold) {
    for (const Damage& damage : Damages()) {
        ExampleFile file;
        for (auto [at, value] : damage.patches)
            PatchInt32(file.image, file.At(damage.tag) + at, value);
        ExpectDamaged(file.image, damage.tag, file.At(damage.tag), damage.what);
    }
}

// An unknown chunk's size below -4 would send the reading backwards. Beyond the file, it sends
// the reading to where the next chunk should begin, as do child counts that promise more chunks
// than there are (the last two would wrap around added up in 32 bits).
TEST(HostileFile, UnknownChunkSizesAndChildCounts) {
    for (std::int32_t size : {-5, -100, kMin, kMax, kMax - 4, 0x10000000}) {
        ExampleFile file;
        Chunk& trck = *FindChunk(file.tree, "TRCK");
        trck.children.insert(trck.children.begin() + 1, MakeChunk("JUNK", Bytes(8, 0x11)));
        trck.children[1].size = size;
        file.places.clear();
        const Bytes image = Image(file.tree, &file.places);
        const std::size_t at = file.At("JUNK"), beyond = at + 12 + static_cast<std::size_t>(size);
        if (size < 0) ExpectDamaged(image, "JUNK", at, "negative");
        if (size >= 0) ExpectDamaged(image, "", beyond, "another chunk should begin");
    }
    for (const auto& counts : std::vector<std::vector<std::pair<std::string, std::int32_t>>>{
             {{"SKYV", 4}}, {{"SCOB", 1}}, {{"SKYV", kMax}}, {{"SKYV", kMax}, {"TRCK", kMax}}}) {
        Chunk tree = Split(Golden("example.svtrack"));
        for (const auto& [tag, count] : counts) FindChunk(tree, tag)->childCount = count;
        const Bytes image = Image(tree);
        ExpectDamaged(image, "", image.size(), "another chunk should begin");
    }
}

// Every four bytes of a file with one record of each kind, before its terrain grid, read as a
// count, a size, a length, a grid dimension or a child count, in turn: extreme values, and counts
// that the bytes behind them could hold only if records took fewer bytes than they do, for which
// the loader must not allocate.
TEST(HostileFile, AnyInt32FieldSetToAnExtremeValue) {
    TrackModel model = ExampleModel();
    model.terrainColumns = model.terrainRows = 128;
    model.terrainGrid.assign(128 * 128, 1.5f);
    const Bytes image = SerializeTrack(model);
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
    Chunk root{"SKYV", Bytes(20), {}, {}, kMax, false};
    for (std::int32_t size : {-4, -1, 0}) {
        const Chunk empty{"JUNK", Bytes(static_cast<std::size_t>(size + 4), 0x20), {}, size, {},
                          true};
        const Chunk info{"INFO", Bytes(20), {}, {}, kMax, false};
        root.children = std::vector<Chunk>(2000, empty);
        root.children.push_back(info);
        root.children.insert(root.children.end(), 2000, empty);
        const Bytes image = Image(root);
        ExpectDamaged(image, "", image.size(), "the file ends where another chunk should begin");
    }
    root.children = {Chunk{std::string("\xFFj\0k", 4), {}, {}, -5, {}, true}};
    root.childCount.reset();
    ExpectDamaged(Image(root), "\\xFFJ\\x00K", 32, "its size -5");
}

// A file longer than any track file (made sparse, so it takes no disk) is refused before a byte
// of it is read, and nothing is written.
TEST(HostileFile, TooLongFilesAreRefusedBeforeReading) {
    const TempFolder dir;
    const std::string huge = dir.Write("huge.svtrack", Golden("example.svtrack"));
    std::filesystem::resize_file(huge, kMaxTrackFileBytes + 1);
    TrackModel model = RichModel();
    const std::int64_t start = peak = live;
    try {
        LoadTrack(model, huge);
        ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot read " + huge +
                                             ": it holds 2147483664 bytes, more than the "
                                             "2147483663 that a track file can hold.");
    }
    EXPECT_LE(peak - start, MemoryBound(0));
    EXPECT_EQ(model, RichModel());
    EXPECT_EQ(dir.Names().size(), 1u);
    EXPECT_EQ(std::filesystem::file_size(huge), kMaxTrackFileBytes + 1);
}

// A file of bytes i * 7 + 1, of more than one piece, read piece by piece as the loader reaches its
// parts, that another program shortens after the first read: the reading ends where the file now
// ends, with the one zero byte behind it as always, and fails like any file cut short; floats
// read before stay as they were.
TEST(HostileFile, FileThatShrinksWhileRead) {
    constexpr std::size_t kSize = std::size_t{3} << 20, kShrunk = (std::size_t{2} << 20) + 2;
    const auto byte = [](std::size_t i) { return static_cast<std::uint8_t>(i * 7 + 1); };
    const auto int32At = [&](std::size_t at) {  // with zeros behind the file's end
        std::uint32_t value = 0;
        for (std::size_t i = at; i < at + 4; ++i) value = value << 8 | (i < kShrunk ? byte(i) : 0u);
        return value;
    };
    for (bool floats : {false, true}) {
        int reads = 0;
        TrackBuffer buffer;
        buffer.fileName = kName;
        buffer.chunkTag = "TERA";
        buffer.BeginReading(kSize, 1, [&](std::uint8_t* into, std::size_t from, std::size_t n) {
            const std::size_t end = std::min(from + n, reads++ == 0 ? kSize : kShrunk);
            for (std::size_t i = from; i < end; ++i) into[i - from] = byte(i);
            return from < end ? end - from : 0;
        });
        if (!floats) {
            EXPECT_EQ(static_cast<std::uint32_t>(buffer.ReadInt32()), int32At(0));
            buffer.Skip(kShrunk - 3 - 4);
            EXPECT_EQ(static_cast<std::uint32_t>(buffer.ReadInt32()), int32At(kShrunk - 3));
            EXPECT_EQ(buffer.Remaining(), 0u);
            EXPECT_THROW(buffer.ReadByte(), FormatError);
            EXPECT_EQ(reads, 2);
            continue;
        }
        std::vector<float> values;
        buffer.ReadFloats(values, 1000);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(values[999]), int32At(3996));
        try {
            buffer.ReadFloats(values, (kSize - 4000) / 4);
            ADD_FAILURE() << "no error";
        } catch (const FormatError& e) {
            EXPECT_STREQ(e.what(),
                         "hill.svtrack: TERA chunk at byte 0: the file ends inside the chunk.");
        }
    }
}

}  // namespace
}  // namespace railgrace
