// Damaged track files: each fails with a FormatError that names the file, the chunk and its
// byte offset, before anything the file cannot justify is allocated, and the caller's model
// stays as it was.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "ByteBuilder.h"
#include "track/Errors.h"
#include "track/TrackIo.h"

// AddressSanitizer reserves far more address space than any ceiling below would allow.
#if defined(__SANITIZE_ADDRESS__)
#define RAILGRACE_MEMORY_CEILING 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RAILGRACE_MEMORY_CEILING 0
#endif
#endif
#ifndef RAILGRACE_MEMORY_CEILING
#define RAILGRACE_MEMORY_CEILING 1
#endif

namespace railgrace {
namespace {

using namespace test;

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
const std::string kName = "hill.svtrack";

// The example track as a file, with the offset of every chunk.
struct ExampleFile {
    ExampleFile() : tree(FileTree(ExampleModel())) { image = Image(tree, {}, &places); }

    std::size_t At(const std::string& tag) const { return OffsetOf(places, tag); }
    std::size_t ChildCountAt(const std::string& tag) {
        return 8 + FindChunk(tree, tag).content.size();
    }
    ExampleFile& Patch(const std::string& tag, std::size_t field, std::int32_t value) {
        PatchInt32(image, At(tag) + field, value);
        return *this;
    }

    Chunk tree;
    Bytes image;
    std::vector<ChunkPlace> places;
};

// A load that allocates what the file cannot justify would otherwise take the machine's memory
// before it fails; with a ceiling it fails the test with bad_alloc instead.
class TrackDamage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
#if RAILGRACE_MEMORY_CEILING
        getrlimit(RLIMIT_AS, &saved_);
        rlimit ceiling = saved_;
        ceiling.rlim_cur = rlim_t{4} << 30;
        if (saved_.rlim_cur == RLIM_INFINITY || saved_.rlim_cur > ceiling.rlim_cur) {
            setrlimit(RLIMIT_AS, &ceiling);
        }
#endif
    }
    static void TearDownTestSuite() {
#if RAILGRACE_MEMORY_CEILING
        setrlimit(RLIMIT_AS, &saved_);
#endif
    }

    // The load must throw a FormatError that names the file, tag and offset, and leave the
    // caller's model as it was.
    static void ExpectDamaged(const Bytes& image, const std::string& tag, std::size_t offset) {
        TrackModel model = RichModel();
        try {
            ParseTrack(model, image, kName);
            ADD_FAILURE() << "no error for damage in " << tag << " at " << offset;
        } catch (const FormatError& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find(kName), std::string::npos) << what;
            EXPECT_NE(what.find(tag), std::string::npos) << what;
            EXPECT_NE(what.find(std::to_string(offset)), std::string::npos) << what;
        }
        EXPECT_EQ(model, RichModel());
    }

    static void ExpectDamaged(const ExampleFile& file, const std::string& tag) {
        ExpectDamaged(file.image, tag, file.At(tag));
    }

    // For damage whose chunk is open to interpretation: only the error and the file name.
    static void ExpectFormatError(const Bytes& image) {
        TrackModel model = RichModel();
        EXPECT_THROW(
            {
                try {
                    ParseTrack(model, image, kName);
                } catch (const FormatError& e) {
                    EXPECT_NE(std::string(e.what()).find(kName), std::string::npos) << e.what();
                    throw;
                }
            },
            FormatError);
        EXPECT_EQ(model, RichModel());
    }

    [[maybe_unused]] static inline rlimit saved_{};
};

TEST_F(TrackDamage, FileEndingInsideEachChunkKind) {
    const ExampleFile file;
    const std::vector<std::pair<std::string, std::size_t>> firstRecord = {
        {"SKYV", 8},  {"TRCK", 20}, {"INFO", 28}, {"BEZR", 28}, {"SEGM", 29},
        {"SUPP", 8},  {"FUND", 28}, {"RASC", 28}, {"FREN", 28}, {"TUBE", 28},
        {"CATW", 28}, {"SCEN", 28}, {"SCOB", 28}, {"TERA", 28}};
    for (const auto& [tag, start] : firstRecord) {
        const std::size_t cut = file.At(tag) + start + 5;
        ExpectDamaged(Bytes(file.image.begin(), file.image.begin() + static_cast<long>(cut)), tag,
                      file.At(tag));
    }
}

TEST_F(TrackDamage, EveryShorterFileFailsAndOnlyTheLastByteMayBeMissing) {
    const ExampleFile file;
    const std::size_t length = file.image.size();
    // Cut at 31, the root's child count loses its last byte, reads 0 and promises no chunk.
    const std::size_t rootCountCut = 31;
    for (std::size_t cut = 0; cut + 1 < length; ++cut) {
        if (cut == rootCountCut) continue;
        const Bytes prefix(file.image.begin(), file.image.begin() + static_cast<long>(cut));
        TrackModel model = RichModel();
        try {
            EXPECT_FALSE(ParseTrack(model, prefix, kName)) << cut;
            EXPECT_LT(cut, 4u) << "only a file too short for a tag may be refused";
        } catch (const FormatError&) {
        }
        ASSERT_EQ(model, RichModel()) << cut;
    }
    TrackModel model;
    const Bytes rootCut(file.image.begin(), file.image.begin() + rootCountCut);
    ASSERT_TRUE(ParseTrack(model, rootCut, kName));
    EXPECT_EQ(model.skyvHeader.childCount, 0);
    EXPECT_EQ(Headerless(model), TrackModel{});
    const Bytes lastMissing(file.image.begin(), file.image.end() - 1);
    ASSERT_TRUE(ParseTrack(model, lastMissing, kName));
    EXPECT_EQ(Headerless(model), Headerless(ExampleModel()));
}

TEST_F(TrackDamage, NegativeRecordCounts) {
    const std::vector<std::pair<std::string, std::size_t>> countAt = {
        {"TRCK", 12}, {"BEZR", 24}, {"SEGM", 8},  {"FUND", 24}, {"RASC", 24},
        {"FREN", 24}, {"TUBE", 24}, {"CATW", 24}, {"SCEN", 24}, {"SCOB", 24}};
    for (const auto& [tag, field] : countAt) {
        for (std::int32_t count : {-1, kMin})
            ExpectDamaged(ExampleFile().Patch(tag, field, count), tag);
    }
}

TEST_F(TrackDamage, RecordCountsBeyondTheFile) {
    const std::vector<std::pair<std::string, std::size_t>> countAt = {
        {"TRCK", 12}, {"BEZR", 24}, {"SEGM", 8},  {"FUND", 24}, {"RASC", 24},
        {"FREN", 24}, {"TUBE", 24}, {"CATW", 24}, {"SCEN", 24}, {"SCOB", 24}};
    for (const auto& [tag, field] : countAt) {
        for (std::int32_t count : {kMax, 0x10000000, 5000}) {
            ExpectDamaged(ExampleFile().Patch(tag, field, count), tag);
        }
    }
}

TEST_F(TrackDamage, RascItemCountBeyondTheFile) {
    for (std::int32_t count : {kMax, 0x08000000, 100}) {
        ExpectDamaged(ExampleFile().Patch("RASC", 28, count), "RASC");
    }
}

TEST_F(TrackDamage, TextLengthsBeyondTheFile) {
    // TRCK's first entry's text length, INFO's, the first scenery object's two, the terrain's
    // three (its first text is 1 character and its second 2).
    const std::vector<std::pair<std::string, std::size_t>> lengthAt = {
        {"TRCK", 28}, {"INFO", 24}, {"SCOB", 28}, {"SCOB", 35},
        {"TERA", 24}, {"TERA", 33}, {"TERA", 48}};
    for (const auto& [tag, field] : lengthAt) {
        for (std::int32_t length : {kMax, 0x40000000, 4000}) {
            ExpectDamaged(ExampleFile().Patch(tag, field, length), tag);
        }
    }
}

TEST_F(TrackDamage, NegativeTextLengthsOfSceneryObjectsAndTerrain) {
    const std::vector<std::pair<std::string, std::size_t>> lengthAt = {
        {"SCOB", 28}, {"SCOB", 35}, {"TERA", 24}, {"TERA", 33}, {"TERA", 48}};
    for (const auto& [tag, field] : lengthAt) {
        for (std::int32_t length : {-1, -20, kMin}) {
            ExpectDamaged(ExampleFile().Patch(tag, field, length), tag);
        }
    }
}

TEST_F(TrackDamage, NegativeTerrainColumnsOrRowsWhateverTheirProduct) {
    // -2 x -3 promises exactly the six values that the grid holds.
    for (auto [columns, rows] : std::vector<std::pair<std::int32_t, std::int32_t>>{
             {-1, 2}, {3, -1}, {-2, -3}, {-1, 0}, {0, -1}, {kMin, kMin}}) {
        ExpectDamaged(ExampleFile().Patch("TERA", 8, columns).Patch("TERA", 12, rows), "TERA");
    }
}

TEST_F(TrackDamage, TerrainGridBeyondTheFileAlsoWhenItsByteSizeWrapsIn32Bits) {
    // 4 x columns x rows is 2^32, 2^34 and 2^34 in the first three: 0 in 32-bit arithmetic.
    for (auto [columns, rows] : std::vector<std::pair<std::int32_t, std::int32_t>>{
             {65536, 65536}, {0x40000000, 4}, {0x20000000, 8}, {kMax, kMax}, {3, 5}}) {
        ExpectDamaged(ExampleFile().Patch("TERA", 8, columns).Patch("TERA", 12, rows), "TERA");
    }
}

TEST_F(TrackDamage, CatwalkExtraLengthNegativeOrBeyondTheFile) {
    for (std::int32_t extra : {-1, -28, kMin, kMax, 100000}) {
        ExpectDamaged(ExampleFile().Patch("CATW", 52, extra), "CATW");
    }
}

TEST_F(TrackDamage, UnknownChunkSizeBelowMinusFour) {
    Chunk tree = FileTree(ExampleModel());
    Chunk junk = MakeChunk("JUNK", Bytes(8, 0x11));
    for (std::int32_t size : {-5, -100, kMin}) {
        junk.size = size;
        Chunk& trck = FindChunk(tree, "TRCK");
        trck.children.insert(trck.children.begin() + 1, junk);
        std::vector<ChunkPlace> places;
        const Bytes image = Image(tree, {}, &places);
        ExpectDamaged(image, "JUNK", OffsetOf(places, "JUNK"));
        trck.children.erase(trck.children.begin() + 1);
    }
}

TEST_F(TrackDamage, UnknownChunkSizeBeyondTheFile) {
    Chunk tree = FileTree(ExampleModel());
    Chunk& trck = FindChunk(tree, "TRCK");
    trck.children.insert(trck.children.begin(), MakeChunk("JUNK", Bytes(8, 0x11)));
    for (std::int32_t size : {kMax, kMax - 4, 0x10000000}) {
        trck.children.front().size = size;
        ExpectFormatError(Image(tree));
    }
}

TEST_F(TrackDamage, ChildCountsPromisingMoreChunksThanThereAre) {
    ExpectFormatError(ExampleFile().Patch("SKYV", 28, 4).image);
    ExampleFile scob;
    ExpectFormatError(scob.Patch("SCOB", scob.ChildCountAt("SCOB"), 1).image);
    ExpectFormatError(ExampleFile().Patch("SKYV", 28, kMax).image);
    // Added up in 32 bits these two would wrap around.
    ExampleFile both;
    both.Patch("SKYV", 28, kMax).Patch("TRCK", both.ChildCountAt("TRCK"), kMax);
    ExpectFormatError(both.image);
}

TEST_F(TrackDamage, LoadTrackNamesTheFileAndKeepsTheModel) {
    const TempFolder dir;
    const std::string path = dir.Write(kName, ExampleFile().Patch("BEZR", 24, -1).image);
    TrackModel model = RichModel();
    try {
        LoadTrack(model, path);
        ADD_FAILURE() << "no error";
    } catch (const FormatError& e) {
        EXPECT_NE(std::string(e.what()).find(kName), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("BEZR"), std::string::npos) << e.what();
    }
    EXPECT_EQ(model, RichModel());
}

}  // namespace
}  // namespace railgrace
