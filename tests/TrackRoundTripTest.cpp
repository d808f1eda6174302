// Round trips of files full of what a loader must tolerate: load, save, load again, save again.
// Both saves must give the same bytes, and those are the tidy bytes of the track the file holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "ByteBuilder.h"
#include "track/TrackIo.h"

namespace railgrace {
namespace {

using namespace test;

class TrackRoundTrip : public ::testing::Test {
protected:
    // Loads file, saves, loads the saved image and saves again.
    void ExpectRoundTrip(const Bytes& file, const TrackModel& expected) {
        TrackModel first;
        ASSERT_TRUE(ParseTrack(first, file, "odd.svtrack"));
        EXPECT_EQ(Headerless(first), Headerless(expected));
        const Bytes saved = SerializeTrack(first);
        TrackModel second;
        ASSERT_TRUE(ParseTrack(second, saved, "odd.svtrack"));
        EXPECT_EQ(SerializeTrack(second), saved);
        EXPECT_EQ(saved, SavedImage(expected));
    }

    void ExpectRoundTrip(const Bytes& file) { ExpectRoundTrip(file, rich_); }

    static Mess Messy(std::uint8_t trueFlag = 0x01) {
        Mess mess;
        mess.reserved = 0xA5;
        mess.trueFlag = trueFlag;
        mess.uint24Lead = 0x7F;
        mess.blockLength = 999;
        mess.extraFill = 0xEE;
        return mess;
    }

    // An unknown chunk with children, one of them with a known tag and content of the wrong
    // length, among TRCK's children behind BEZR.
    static void AddUnknownChunk(Chunk& tree) {
        Chunk inner = MakeChunk("BEZR", Bytes(7, 0x01));
        Chunk unknown =
            MakeChunk("Xtra", Bytes(9, 0x02), {MakeChunk("JUNK", Bytes(3, 0x03)), inner});
        unknown.childCount = 2;
        std::vector<Chunk>& children = FindChunk(tree, "TRCK").children;
        children.insert(children.begin() + 2, unknown);
    }

    // BEZR moved out of TRCK to stand before it, as a child of the root.
    static void MoveBezierFirst(Chunk& tree) {
        std::vector<Chunk>& trck = FindChunk(tree, "TRCK").children;
        const auto bezr =
            std::find_if(trck.begin(), trck.end(), [](const Chunk& c) { return c.tag == "BEZR"; });
        const Chunk moved = *bezr;
        trck.erase(bezr);
        tree.children.insert(tree.children.begin(), moved);
    }

    // A FREN and a SEGM chunk with other content ahead of the real ones.
    static void AddEarlierDuplicates(Chunk& tree, const Mess& mess = {}) {
        FloatSeq f;
        const std::vector<FrenEntry> fren = {FrenEntry{-1, -2, -3}, FrenEntry{-4, -5, -6},
                                             FrenEntry{-7, -8, -9}};
        std::vector<Chunk>& supp = FindChunk(tree, "SUPP").children;
        supp.insert(supp.begin() + 2, MakeChunk("FREN", ListContent(fren, mess)));
        const std::vector<SegmentEntry> segm = {MakeSegment(2, 0, f)};
        tree.children.insert(tree.children.begin(),
                             MakeChunk("SEGM", SegmContent(false, segm, mess)));
    }

    TrackModel rich_ = RichModel();
};

TEST_F(TrackRoundTrip, ReservedBytesFlagBytesUInt24LeadsBlockLengthsAndExtraBytes) {
    for (std::uint8_t trueFlag : std::vector<std::uint8_t>{0x01, 0x80, 0xFE}) {
        const Mess mess = Messy(trueFlag);
        ExpectRoundTrip(Image(FileTree(rich_, mess, {9, 9, 9, 9}), mess));
    }
}

TEST_F(TrackRoundTrip, TagsInAnyLetterCase) {
    Mess lower;
    lower.lowerCaseTags = true;
    ExpectRoundTrip(Image(FileTree(rich_), lower));
    Chunk mixed = FileTree(rich_);
    mixed.tag = "SkYv";
    FindChunk(mixed, "BEZR").tag = "bEzR";
    FindChunk(mixed, "TERA").tag = "Tera";
    FindChunk(mixed, "SCOB").tag = "scoB";
    ExpectRoundTrip(Image(mixed));
}

TEST_F(TrackRoundTrip, UnknownChunkWithChildrenAmongTrackChildren) {
    Chunk tree = FileTree(rich_);
    AddUnknownChunk(tree);
    ExpectRoundTrip(Image(tree));
}

TEST_F(TrackRoundTrip, UnknownChunksOfSizeMinusFourToMinusOne) {
    Chunk tree = FileTree(rich_);
    Chunk sizeMinusFour = MakeChunk("NEG4", {});
    sizeMinusFour.size = -4;
    sizeMinusFour.bare = true;
    Chunk sizeMinusOne = MakeChunk("NEG1", Bytes(3, 0xCC));
    sizeMinusOne.size = -1;
    sizeMinusOne.bare = true;
    std::vector<Chunk>& supp = FindChunk(tree, "SUPP").children;
    supp.insert(supp.begin() + 1, sizeMinusFour);
    supp.insert(supp.begin() + 3, sizeMinusOne);
    ExpectRoundTrip(Image(tree));
}

TEST_F(TrackRoundTrip, BezierBeforeTrack) {
    Chunk tree = FileTree(rich_);
    MoveBezierFirst(tree);
    ExpectRoundTrip(Image(tree));
}

TEST_F(TrackRoundTrip, LaterChunkOfAKindReplacesTheEarlier) {
    Chunk tree = FileTree(rich_);
    AddEarlierDuplicates(tree);
    ExpectRoundTrip(Image(tree));
}

TEST_F(TrackRoundTrip, ExtraBytesAfterTheLastChunk) {
    Bytes file = SavedImage(rich_);
    const Bytes tail = Image(FileTree(ExampleModel()));
    file.insert(file.end(), tail.begin(), tail.end());
    file.insert(file.end(), 37, 0xFF);
    ExpectRoundTrip(file);
}

TEST_F(TrackRoundTrip, FileMissingItsLastByte) {
    Bytes file = SavedImage(rich_);
    file.pop_back();
    ExpectRoundTrip(file);
}

TEST_F(TrackRoundTrip, FlatTreeWithWrongSizes) {
    // Every chunk a direct child of the root; the sizes of known chunks are never looked at.
    const Chunk tidy = FileTree(rich_);
    Chunk flat = MakeChunk("SKYV", tidy.content);
    const auto flatten = [&flat](const Chunk& c, const auto& self) -> void {
        for (const Chunk& child : c.children) {
            Chunk alone = MakeChunk(child.tag, child.content);
            alone.size = static_cast<std::int32_t>(flat.children.size()) * 1000;
            flat.children.push_back(alone);
            self(child, self);
        }
    };
    flatten(tidy, flatten);
    ASSERT_EQ(flat.children.size(), 13u);
    ExpectRoundTrip(Image(flat));
}

TEST_F(TrackRoundTrip, MissingChunksAreSavedEmpty) {
    TrackModel partial;
    partial.bezrRecords = rich_.bezrRecords;
    partial.fundRecords = rich_.fundRecords;
    partial.frenRecords = rich_.frenRecords;
    Chunk supp = MakeChunk("SUPP", SuppContent(),
                           {MakeChunk("FUND", ListContent(partial.fundRecords)),
                            MakeChunk("FREN", ListContent(partial.frenRecords))});
    Chunk trck = MakeChunk("TRCK", TrckContent(partial),
                           {MakeChunk("BEZR", ListContent(partial.bezrRecords)), supp});
    ExpectRoundTrip(Image(MakeChunk("SKYV", RootContent({1, 3, 0, 0}), {trck})), partial);
}

TEST_F(TrackRoundTrip, EverythingAtOnce) {
    const Mess mess = Messy();
    Chunk tree = FileTree(rich_, mess, {0, 0, 0, 0});
    AddUnknownChunk(tree);
    MoveBezierFirst(tree);
    AddEarlierDuplicates(tree, mess);
    FindChunk(tree, "TRCK").tag = "trck";
    Bytes file = Image(tree, mess);
    file.pop_back();
    ExpectRoundTrip(file);
    file.push_back(0);
    file.insert(file.end(), 10, 0xAB);
    ExpectRoundTrip(file);
}

// The sample track that ships with the project.
class TrackSample : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(RAILGRACE_SAMPLE)) GTEST_SKIP() << "no sample track yet";
        ASSERT_TRUE(LoadTrack(model_, RAILGRACE_SAMPLE, &walk_));
    }

    TrackModel model_;
    std::vector<WalkEntry> walk_;
};

TEST_F(TrackSample, SavesBackToItsOwnBytes) {
    const Bytes file = ReadFile(RAILGRACE_SAMPLE);
    EXPECT_EQ(SerializeTrack(model_), file);
    TrackModel again;
    ASSERT_TRUE(ParseTrack(again, file, "sample.svtrack"));
    EXPECT_EQ(again, model_);
}

TEST_F(TrackSample, HoldsEveryChunkKind) {
    std::set<std::string> tags;
    for (const WalkEntry& entry : walk_) tags.insert(entry.tag);
    EXPECT_EQ(tags,
              (std::set<std::string>{"SKYV", "TRCK", "INFO", "BEZR", "SEGM", "SUPP", "FUND", "RASC",
                                     "FREN", "TUBE", "CATW", "SCEN", "SCOB", "TERA"}));
    EXPECT_FALSE(model_.infoText.empty());
    EXPECT_FALSE(model_.fundRecords.empty());
    EXPECT_FALSE(model_.rascRecords.empty());
    EXPECT_FALSE(model_.frenRecords.empty());
    EXPECT_FALSE(model_.tubeRecords.empty());
    EXPECT_FALSE(model_.catwRecords.empty());
    EXPECT_FALSE(model_.scenRecords.empty());
    ASSERT_FALSE(model_.scobRecords.empty());
    EXPECT_FALSE(model_.scobRecords[0].text1.empty() && model_.scobRecords[0].text2.empty());
    EXPECT_TRUE(model_.terrainPresent);
    EXPECT_EQ(model_.terrainGrid.size(), static_cast<std::size_t>(model_.terrainColumns) *
                                             static_cast<std::size_t>(model_.terrainRows));
}

}  // namespace
}  // namespace railgrace
