// Damaged track files: each fails with a FormatError that begins "FILE: TAG chunk at byte N: " and
// says what is wrong, before anything the file cannot justify is allocated, and the caller's
// model stays as it was.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "ByteBuilder.h"
#include "track/Errors.h"
#include "track/TrackIo.h"

// AddressSanitizer reserves far more address space than the memory ceiling below allows, and
// Windows has no such ceiling.
#if defined(__SANITIZE_ADDRESS__) || defined(_WIN32)
#define RAILGRACE_NO_MEMORY_CEILING 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RAILGRACE_NO_MEMORY_CEILING 1
#endif
#endif

namespace railgrace {
namespace {

using namespace test;

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
const std::string kName = "hill.svtrack";

// The example track as a file, with the offset of every chunk.
struct ExampleFile {
    ExampleFile() { image = Image(tree, {}, &places); }

    std::size_t At(const std::string& tag) const { return OffsetOf(places, tag); }
    ExampleFile& Patch(const std::string& tag, std::size_t field, std::int32_t value) {
        PatchInt32(image, At(tag) + field, value);
        return *this;
    }

    Chunk tree = FileTree(ExampleModel());
    Bytes image;
    std::vector<ChunkPlace> places;
};

// A load that allocates what the file cannot justify would otherwise take the machine's memory
// before it fails; with a ceiling it fails the test with bad_alloc instead.
class TrackDamage : public ::testing::Test {
protected:
#ifndef RAILGRACE_NO_MEMORY_CEILING
    static void SetUpTestSuite() {
        getrlimit(RLIMIT_AS, &saved_);
        rlimit ceiling = saved_;
        ceiling.rlim_cur = std::min(saved_.rlim_cur, rlim_t{4} << 30);
        setrlimit(RLIMIT_AS, &ceiling);
    }
    static void TearDownTestSuite() {
        setrlimit(RLIMIT_AS, &saved_);
    }
    static inline rlimit saved_{};
#endif

    // The load must throw a FormatError whose message names the file, the tag (unless empty) and
    // the offset and says what, and leave the caller's model as it was.
    static void ExpectDamaged(const Bytes& image, const std::string& tag, std::size_t offset,
                              const std::string& what) {
        TrackModel model = RichModel();
        try {
            ParseTrack(model, image, kName);
            ADD_FAILURE() << "no error for damage in " << tag << " at " << offset;
        } catch (const FormatError& e) {
            const std::string message = e.what();
            const std::string place =
                (tag.empty() ? "" : tag + " chunk ") + "at byte " + std::to_string(offset) + ": ";
            EXPECT_TRUE(message.starts_with(kName + ": " + place))
                << message << "\nshould name " << place;
            EXPECT_NE(message.find(what), std::string::npos) << message << "\nshould say " << what;
        }
        EXPECT_EQ(model, RichModel());
    }
};

// Cut anywhere, the file fails in the chunk the cut falls into, or where the next chunk should
// begin when the cut leaves less than a tag of it or takes only the last byte of the chunk before
// it, which the zero behind every file stands in for. A file of 3 bytes is refused (shorter ones:
// SaveSafetyTest), and the cut inside the root's child count loads: it reads 0 and promises no
// chunk.
TEST_F(TrackDamage, EveryShorterFile) {
    const ExampleFile file;
    for (std::size_t cut = 3; cut + 1 < file.image.size(); ++cut) {
        const Bytes prefix(file.image.begin(), file.image.begin() + static_cast<long>(cut));
        TrackModel model;
        if (cut == 3 || cut == 31) {
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
            ExpectDamaged(prefix, tag, in->offset, "the file ends inside ");
        }
        if (HasFailure()) FAIL() << "cut at " << cut;
    }
    TrackModel model;
    ASSERT_TRUE(ParseTrack(model, Bytes(file.image.begin(), file.image.end() - 1), kName));
    EXPECT_EQ(Headerless(model), Headerless(ExampleModel()));
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
            if (std::string_view(tag) != "TRCK" && std::string_view(tag) != "INFO") {
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

TEST_F(TrackDamage, CountsLengthsAndSizesThatTheFileCannotHold) {
    for (const Damage& damage : Damages()) {
        ExampleFile file;
        for (auto [at, value] : damage.patches) file.Patch(damage.tag, at, value);
        ExpectDamaged(file.image, damage.tag, file.At(damage.tag), damage.what);
    }
}

// An unknown chunk's size below -4 would send the reading backwards. Beyond the file, it sends
// the reading to where the next chunk should begin, as do child counts that promise more chunks
// than there are (the last two would wrap around added up in 32 bits).
TEST_F(TrackDamage, UnknownChunkSizesAndChildCounts) {
    for (std::int32_t size : {-5, -100, kMin, kMax, kMax - 4, 0x10000000}) {
        ExampleFile file;
        Chunk& trck = FindChunk(file.tree, "TRCK");
        trck.children.insert(trck.children.begin() + 1, MakeChunk("JUNK", Bytes(8, 0x11)));
        trck.children[1].size = size;
        file.places.clear();
        const Bytes image = Image(file.tree, {}, &file.places);
        if (size < 0) {
            ExpectDamaged(image, "JUNK", file.At("JUNK"), "negative");
        } else {
            ExpectDamaged(image, "", file.At("JUNK") + 12 + static_cast<std::size_t>(size),
                          "another chunk should begin");
        }
    }
    for (const auto& counts : std::vector<std::vector<std::pair<std::string, std::int32_t>>>{
             {{"SKYV", 4}}, {{"SCOB", 1}}, {{"SKYV", kMax}}, {{"SKYV", kMax}, {"TRCK", kMax}}}) {
        Chunk tree = FileTree(ExampleModel());
        for (const auto& [tag, count] : counts) FindChunk(tree, tag).childCount = count;
        const Bytes image = Image(tree);
        ExpectDamaged(image, "", image.size(), "another chunk should begin");
    }
}

TEST_F(TrackDamage, LoadTrackNamesTheFileWithoutItsFolder) {
    const TempFolder dir;
    ExampleFile file;
    const std::string path = dir.Write(kName, file.Patch("BEZR", 24, -1).image);
    TrackModel model = RichModel();
    try {
        LoadTrack(model, path);
        ADD_FAILURE() << "no error";
    } catch (const FormatError& e) {
        const std::string start = kName + ": BEZR chunk at byte " + std::to_string(file.At("BEZR"));
        EXPECT_TRUE(std::string(e.what()).starts_with(start)) << e.what();
    }
    EXPECT_EQ(model, RichModel());
}

}  // namespace
}  // namespace railgrace
