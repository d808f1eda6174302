// Reading track files built byte by byte: what a load keeps from the frame, the walk, the name
// checks. Every field of every chunk kind is read in TrackRoundTripTest.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "ByteBuilder.h"
#include "track/TrackIo.h"

namespace railgrace {
namespace {

using namespace test;

TrackModel Parse(const Bytes& image, std::vector<WalkEntry>* walk = nullptr) {
    TrackModel model;
    EXPECT_TRUE(ParseTrack(model, image, "test.svtrack", walk));
    return model;
}

// The model and the walk keep every chunk's size and child count as stored, right or wrong; an
// unknown chunk is stepped over with its children, whatever their tags.
TEST(TrackLoad, WalkAndModelKeepTheFramesAsStored) {
    Chunk tree = FileTree(ExampleModel(), {}, {9, 8, 7, 6});
    FindChunk(tree, "BEZR").size = 12345;
    FindChunk(tree, "FREN").size = 0;
    FindChunk(tree, "TRCK").size = 7;
    std::vector<Chunk>& inTrck = FindChunk(tree, "TRCK").children;
    inTrck.insert(inTrck.begin() + 2,
                  MakeChunk("xtra", Bytes(5, 0x11), {MakeChunk("BEZR", Bytes(3, 0xFF))}));
    std::vector<ChunkPlace> places;
    std::vector<WalkEntry> walk;
    const TrackModel model = Parse(Image(tree, {}, &places), &walk);
    EXPECT_EQ(Headerless(model), Headerless(ExampleModel()));
    EXPECT_EQ(model.versionBytes, (std::array<std::uint8_t, 4>{9, 8, 7, 6}));
    places.erase(places.begin() + 5);  // the BEZR inside the unknown chunk
    ASSERT_EQ(walk.size(), places.size());
    for (std::size_t i = 0; i < walk.size(); ++i) {
        const Chunk& chunk = FindChunk(tree, places[i].tag);
        const bool skipped = chunk.tag == "xtra";
        const auto* header = std::find_if(std::begin(kHeaders), std::end(kHeaders),
                                          [&](const auto& h) { return h.first == chunk.tag; });
        const std::int64_t records =
            chunk.tag == "TERA"                                                            ? 6
            : skipped || chunk.tag == "SKYV" || chunk.tag == "INFO" || chunk.tag == "SUPP" ? -1
                                                                                           : 1;
        const auto childCount = static_cast<std::int32_t>(skipped ? 0 : chunk.children.size());
        EXPECT_EQ(std::tie(walk[i].tag, walk[i].offset, walk[i].size, walk[i].childCount,
                           walk[i].records, walk[i].skipped),
                  std::make_tuple(skipped ? std::string("XTRA") : chunk.tag, places[i].offset,
                                  StoredSize(chunk), childCount, records, skipped));
        if (!skipped) {
            EXPECT_EQ(model.*header->second, (ChunkHeader{walk[i].size, childCount})) << chunk.tag;
        }
    }
}

// A root child count of zero or less reads nothing; a first tag other than SKYV, or none, is
// refused and the model kept.
TEST(TrackLoad, TheRootDecides) {
    for (const std::string tag : {"SKYV", "SKYW", "TRCK", "SKY ", "VYKS", "SKY"}) {
        for (std::int32_t count : {0, -1, -2147483647 - 1}) {
            Chunk tree = FileTree(RichModel());
            tree.tag = tag;
            tree.childCount = count;
            const Bytes image = Image(tree);
            TrackModel model = ExampleModel(), expected = model;
            if (tag == "SKYV") {
                expected = {};
                expected.skyvHeader = {StoredSize(tree), count};
                expected.versionBytes = {1, 3, 0, 0};
            }
            EXPECT_EQ(ParseTrack(model, tag.size() == 4 ? image : Bytes{'S', 'K', 'Y'}, "x"),
                      tag == "SKYV");
            EXPECT_EQ(model, expected) << tag << " " << count;
        }
    }
}

// LoadTrack with names relative to a folder of its own, so that a name may be shorter than the
// extension.
class TrackLoadNames : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::current_path(dir_.path()); }
    void TearDown() override { std::filesystem::current_path(previous_); }

    const std::filesystem::path previous_ = std::filesystem::current_path();
    const TempFolder dir_;
};

TEST_F(TrackLoadNames, OnlyTheTrackExtensionInAnyCaseIsLoaded) {
    // A track without terrain, loaded over one with terrain: the load replaces the whole model.
    const TrackModel plain = WithoutTerrain(ExampleModel());
    const std::vector<std::pair<std::string, bool>> names = {
        {"hill.txt", false},    {"hill.svtrack.bak", false}, {"hill.svtrac", false},
        {"a.svtr", false},      {"svtrack", false},          {"HILL.SVTRACK", true},
        {"hill.SvTrAcK", true}, {".svtrack", true}};
    for (const auto& [name, loads] : names) {
        dir_.Write(name, SavedImage(plain));
        TrackModel model = RichModel();
        ASSERT_EQ(LoadTrack(model, name), loads) << name;
        if (loads) {
            EXPECT_EQ(Headerless(model), Headerless(plain)) << name;
        } else {
            EXPECT_EQ(model, RichModel()) << name;
        }
    }
    for (const std::string name : {"", "missing.svtrack"}) {
        TrackModel model = RichModel();
        EXPECT_FALSE(LoadTrack(model, name)) << name;
        EXPECT_EQ(model, RichModel()) << name;
    }
}

}  // namespace
}  // namespace railgrace
