// Reading track files built byte by byte: every field where the file puts it, the walk, the
// name checks.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ByteBuilder.h"
#include "track/Errors.h"
#include "track/TrackIo.h"

namespace railgrace {
namespace {

using namespace test;

Bytes FileOf(std::vector<Chunk> children) {
    return Image(MakeChunk("SKYV", RootContent({1, 3, 0, 0}), std::move(children)));
}

TrackModel Parse(const Bytes& image, std::vector<WalkEntry>* walk = nullptr) {
    TrackModel model;
    EXPECT_TRUE(ParseTrack(model, image, "test.svtrack", walk));
    return model;
}

// A list chunk (16 reserved, count, records, 16 reserved) around records appended by hand.
Chunk ListChunk(const std::string& tag, std::int32_t count, const ByteBuilder& records) {
    return MakeChunk(
        tag,
        ByteBuilder().Fill(16, 0x33).Int32(count).Append(records.Data()).Fill(16, 0x44).Data());
}

TEST(TrackLoad, ReadsEveryChunkKind) {
    const Bytes image = Image(FileTree(ExampleModel(), {}, {9, 8, 7, 6}));
    const TrackModel model = Parse(image);
    EXPECT_EQ(Headerless(model), Headerless(ExampleModel()));
    EXPECT_EQ(model.versionBytes, (std::array<std::uint8_t, 4>{9, 8, 7, 6}));
}

TEST(TrackLoad, KeepsSizesAndChildCountsAsStored) {
    Chunk tree = FileTree(ExampleModel());
    FindChunk(tree, "BEZR").size = 12345;
    FindChunk(tree, "FREN").size = 0;
    FindChunk(tree, "TRCK").size = 7;
    const TrackModel model = Parse(Image(tree));
    EXPECT_EQ(model.skyvHeader, (ChunkHeader{StoredSize(tree), 3}));
    EXPECT_EQ(model.trckHeader, (ChunkHeader{7, 4}));
    EXPECT_EQ(model.infoHeader, (ChunkHeader{24, 0}));  // 16 + 8 characters
    EXPECT_EQ(model.bezrHeader, (ChunkHeader{12345, 0}));
    EXPECT_EQ(model.suppHeader.childCount, 5);
    EXPECT_EQ(model.frenHeader, (ChunkHeader{0, 0}));
    EXPECT_EQ(model.scenHeader.childCount, 1);
    EXPECT_EQ(model.teraHeader, (ChunkHeader{104, 0}));  // 77 + 3 text bytes + 24 grid bytes
    EXPECT_EQ(Headerless(model), Headerless(ExampleModel()));
}

TEST(TrackLoad, ReadsTheRichTrack) {
    EXPECT_EQ(Headerless(Parse(SavedImage(RichModel()))), Headerless(RichModel()));
}

TEST(TrackLoadFields, NumbersAreBigEndianAndUInt24IgnoresItsFirstByte) {
    ByteBuilder trck;
    trck.Word(0xFFFFFFFE).Int32(0).Word(0x01020304);
    trck.Byte(0xAB).Byte(0x00).Byte(0x00).Byte(0x10);
    trck.Byte(0x7F).Byte(0x00).Byte(0x01).Byte(0x02);
    for (int i = 0; i < 6; ++i)
        trck.Byte(0xFF).Byte(0x80).Byte(0x00).Byte(static_cast<std::uint8_t>(i));
    trck.Fill(16, 0x99);
    ByteBuilder vertex;
    vertex.Word(0x3F800000).Word(0xC0490FDB).Zeros(32).Zeros(3).Zeros(17);
    const TrackModel model =
        Parse(FileOf({MakeChunk("TRCK", trck.Data()), ListChunk("BEZR", 1, vertex)}));
    EXPECT_EQ(model.trckLeadingValue, -2);
    EXPECT_EQ(model.trckTrailingValue, 0x01020304);
    EXPECT_EQ(model.trckValues24, (std::array<UInt24, 8>{16, 258, 0x800000, 0x800001, 0x800002,
                                                         0x800003, 0x800004, 0x800005}));
    ASSERT_EQ(model.bezrRecords.size(), 1u);
    EXPECT_EQ(model.bezrRecords[0].posX, 1.0f);
    EXPECT_EQ(model.bezrRecords[0].posY, -3.14159274f);
}

TEST(TrackLoadFields, BezierFlagsStandInTheOrderACB) {
    ByteBuilder vertices;
    for (std::uint8_t hot = 0; hot < 3; ++hot) {
        vertices.Zeros(40);
        for (std::uint8_t i = 0; i < 3; ++i) vertices.Byte(i == hot ? 0x01 : 0x00);
        vertices.Fill(17, 0xEE);
    }
    const TrackModel model = Parse(FileOf({ListChunk("BEZR", 3, vertices)}));
    ASSERT_EQ(model.bezrRecords.size(), 3u);
    const auto flags = [&](std::size_t i) {
        const BezierVertex& v = model.bezrRecords[i];
        return std::array<bool, 3>{v.auxFlagA, v.auxFlagB, v.auxFlagC};
    };
    EXPECT_EQ(flags(0), (std::array<bool, 3>{true, false, false}));
    EXPECT_EQ(flags(1), (std::array<bool, 3>{false, false, true}));
    EXPECT_EQ(flags(2), (std::array<bool, 3>{false, true, false}));
}

TEST(TrackLoadFields, TrackEntryTextLengthsOfZeroOrLessReadOnlyTheLength) {
    ByteBuilder trck;
    trck.Int32(0).Int32(3).Int32(0);
    trck.Byte(0x01).Fill(7, 0x77).Int32(-5).UInt24(11).UInt24(12).UInt24(13).UInt24(14);
    trck.Byte(0x00).Zeros(7).Int32(0).UInt24(21).UInt24(22).UInt24(23).UInt24(24);
    trck.Byte(0x00).Zeros(7).Int32(2).TextBytes(U"ok").UInt24(31).UInt24(32).UInt24(33).UInt24(34);
    trck.Zeros(32).Zeros(16);
    const TrackModel model = Parse(FileOf({MakeChunk("TRCK", trck.Data())}));
    ASSERT_EQ(model.trckRecords.size(), 3u);
    EXPECT_EQ(model.trckRecords[0], (TrackEntry{true, {11, 12, 13, 14}, U""}));
    EXPECT_EQ(model.trckRecords[1], (TrackEntry{false, {21, 22, 23, 24}, U""}));
    EXPECT_EQ(model.trckRecords[2], (TrackEntry{false, {31, 32, 33, 34}, U"ok"}));
}

TEST(TrackLoadFields, InfoTextLengthsOfZeroOrLessReadOnlyTheLength) {
    for (std::int32_t length : {0, -3, -2147483647 - 1}) {
        Chunk info = MakeChunk("INFO", ByteBuilder().Fill(16, 0x12).Int32(length).Data());
        const TrackModel model = Parse(FileOf({info, ListChunk("BEZR", 0, ByteBuilder())}));
        EXPECT_EQ(model.infoText, U"") << length;
        EXPECT_EQ(model.infoHeader.childCount, 0) << length;
        EXPECT_EQ(model.bezrHeader.size, 36) << length;
    }
}

TEST(TrackLoadFields, SegmentBlocksHaveTheirFixedLengthWhateverIsStored) {
    FloatSeq f;
    const std::vector<SegmentEntry> segments = SegmentsOfEveryType(f);
    for (std::int32_t lie : {0, -1, 9999}) {
        Mess mess;
        mess.blockLength = lie;
        const Chunk segm = MakeChunk("SEGM", SegmContent(true, segments, mess));
        const TrackModel model = Parse(FileOf({segm, ListChunk("FREN", 0, ByteBuilder())}));
        EXPECT_TRUE(model.segmFlag);
        EXPECT_EQ(model.segmRecords, segments) << "stored block length " << lie;
        EXPECT_EQ(model.frenHeader.size, 36);
    }
}

TEST(TrackLoadFields, SegmentOfUnknownTypeTakes33Bytes) {
    ByteBuilder segm;
    segm.Int32(2).Byte(0x00).Zeros(16);
    segm.Int32(7).Byte(0x01).UInt24(1).UInt24(2).UInt24(3).Byte(0x00).Fill(15, 0x5A);
    segm.Int32(0).Byte(0x00).UInt24(4).UInt24(5).UInt24(6).Byte(0x02).Zeros(15).Int32(0);
    segm.Zeros(16);
    const TrackModel model = Parse(FileOf({MakeChunk("SEGM", segm.Data())}));
    ASSERT_EQ(model.segmRecords.size(), 2u);
    SegmentEntry first;
    first.segmentType = 7;
    first.flag1 = true;
    first.values24 = {1, 2, 3};
    SegmentEntry second;
    second.values24 = {4, 5, 6};
    second.flag2 = true;
    EXPECT_EQ(model.segmRecords[0], first);
    EXPECT_EQ(model.segmRecords[1], second);
}

TEST(TrackLoadFields, FundFieldsInFileOrder) {
    ByteBuilder fund;
    fund.Byte(0x01).Float(4.0f).Byte(0x00).Float(5.0f).Fill(6, 0x66);
    fund.Float(1.0f).Float(2.0f).Float(3.0f).Fill(64, 0x67);
    const TrackModel model = Parse(FileOf({ListChunk("FUND", 1, fund)}));
    ASSERT_EQ(model.fundRecords.size(), 1u);
    EXPECT_EQ(model.fundRecords[0], (FundEntry{1.0f, 2.0f, 3.0f, true, 4.0f, false, 5.0f}));
}

TEST(TrackLoadFields, RascItemCountsAreKeptAsStored) {
    ByteBuilder rasc;
    rasc.Int32(2).Int32(7).Float(0.5f).Fill(16, 0x21).Int32(-8).Float(1.5f).Fill(16, 0x22);
    rasc.Int32(-4).Int32(0).Int32(1).Int32(9).Float(2.5f).Zeros(16);
    const TrackModel model = Parse(FileOf({ListChunk("RASC", 4, rasc)}));
    ASSERT_EQ(model.rascRecords.size(), 4u);
    EXPECT_EQ(model.rascRecords[0], (RascEntry{2, {RascItem{7, 0.5f}, RascItem{-8, 1.5f}}}));
    EXPECT_EQ(model.rascRecords[1], (RascEntry{-4, {}}));
    EXPECT_EQ(model.rascRecords[2], (RascEntry{0, {}}));
    EXPECT_EQ(model.rascRecords[3], (RascEntry{1, {RascItem{9, 2.5f}}}));
}

TEST(TrackLoadFields, TubeTriplesStandSwapped) {
    ByteBuilder tube;
    tube.Int32(1).Int32(2).Int32(3).Fill(4, 0x31).Int32(4).Int32(5).Int32(6).Fill(4, 0x32);
    tube.Int32(7).Int32(8).Float(9.5f).Fill(4, 0x33);
    const TrackModel model = Parse(FileOf({ListChunk("TUBE", 1, tube)}));
    ASSERT_EQ(model.tubeRecords.size(), 1u);
    EXPECT_EQ(model.tubeRecords[0], (TubeEntry{1, 3, 2, 4, 6, 5, 7, 8, 9.5f}));
}

TEST(TrackLoadFields, CatwalkExtraBytesAreSteppedOver) {
    ByteBuilder catw;
    catw.Int32(1).Int32(2).Int32(3).Int32(4).Int32(5).Int32(6).Int32(5).Fill(5, 0xEE);
    catw.Int32(-1).Int32(-2).Int32(-3).Int32(-4).Int32(-5).Int32(-6).Int32(0);
    const TrackModel model = Parse(FileOf({ListChunk("CATW", 2, catw)}));
    ASSERT_EQ(model.catwRecords.size(), 2u);
    EXPECT_EQ(model.catwRecords[0], (CatwalkEntry{1, 2, 3, 4, 5, 6, 5}));
    EXPECT_EQ(model.catwRecords[1], (CatwalkEntry{-1, -2, -3, -4, -5, -6, 0}));
}

TEST(TrackLoadFields, SceneryEntryHasItsIntegerBeforeTheLastFloat) {
    ByteBuilder scen;
    scen.Float(1.0f).Float(2.0f).Float(3.0f).Int32(4).Float(5.0f).Fill(44, 0x4E);
    const TrackModel model = Parse(FileOf({ListChunk("SCEN", 1, scen)}));
    ASSERT_EQ(model.scenRecords.size(), 1u);
    EXPECT_EQ(model.scenRecords[0], (SceneryEntry{1.0f, 2.0f, 3.0f, 5.0f, 4}));
}

TEST(TrackLoadFields, SceneryObjectTextsAndValuesInFileOrder) {
    ByteBuilder scob;
    scob.Int32(3).TextBytes(U"Oak").Int32(4).TextBytes(U"Tree");
    for (int k = 0; k < 15; ++k) scob.Float(static_cast<float>(100 + k));
    scob.Fill(20, 0x20);
    const TrackModel model = Parse(FileOf({ListChunk("SCOB", 1, scob)}));
    ASSERT_EQ(model.scobRecords.size(), 1u);
    const SceneryObject& object = model.scobRecords[0];
    EXPECT_EQ(object.text1, U"Tree");
    EXPECT_EQ(object.text2, U"Oak");
    const std::array<float, 15> declared = {100, 101, 102, 104, 105, 106, 108, 109,
                                            110, 103, 107, 111, 112, 113, 114};
    EXPECT_EQ(object.values, declared);
}

TEST(TrackLoadFields, TextsKeepEveryByteValue) {
    Bytes all(256);
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint8_t>(255 - i);
    ByteBuilder scob;
    scob.Int32(256).Append(all).Int32(0).Zeros(60).Zeros(20);
    const TrackModel model = Parse(FileOf({ListChunk("SCOB", 1, scob)}));
    ASSERT_EQ(model.scobRecords.size(), 1u);
    EXPECT_EQ(model.scobRecords[0].text2, Cp1252Text(all));
    EXPECT_EQ(model.scobRecords[0].text1, U"");
}

TEST(TrackLoadFields, TerrainFieldsAndGridRowByRow) {
    ByteBuilder tera;
    tera.Int32(3).Int32(2).Float(0.25f).Float(0.5f).Int32(1).TextBytes(U"a").Float(0.75f);
    tera.Int32(2).TextBytes(U"bc").Float(1.25f).Byte(0x01).Fill(4, 0x41).Int32(0).Float(1.5f);
    tera.Byte(0xAB).Fill(15, 0x42);
    for (int i = 0; i < 6; ++i) tera.Float(static_cast<float>(i));
    tera.Fill(16, 0x43);
    const TrackModel model = Parse(FileOf({MakeChunk("TERA", tera.Data())}));
    EXPECT_TRUE(model.terrainPresent);
    EXPECT_EQ(model.terrainColumns, 3);
    EXPECT_EQ(model.terrainRows, 2);
    EXPECT_EQ(model.terrainParam1, 0.25f);
    EXPECT_EQ(model.terrainParam2, 0.5f);
    EXPECT_EQ(model.terrainText1, U"a");
    EXPECT_EQ(model.terrainParam3, 0.75f);
    EXPECT_EQ(model.terrainText2, U"bc");
    EXPECT_EQ(model.terrainParam4, 1.25f);
    EXPECT_TRUE(model.terrainOption);
    EXPECT_EQ(model.terrainText3, U"");
    EXPECT_EQ(model.terrainParam5, 1.5f);
    EXPECT_EQ(model.terrainByte, 0xAB);
    EXPECT_EQ(model.terrainGrid, (std::vector<float>{0, 1, 2, 3, 4, 5}));
}

TEST(TrackLoadWalk, ListsTheChunksInFileOrder) {
    Chunk unknown = MakeChunk("xtra", Bytes(5, 0x11), {MakeChunk("BEZR", Bytes(3, 0xFF))});
    Chunk trck = MakeChunk("TRCK", TrckContent(ExampleModel()),
                           {MakeChunk("INFO", InfoContent(U"hi")), unknown,
                            MakeChunk("BEZR", ListContent(ExampleModel().bezrRecords))});
    trck.size = 99;
    Chunk tera = MakeChunk("TERA", TeraContent(ExampleModel()));
    Chunk root = MakeChunk("SKYV", RootContent({1, 3, 0, 0}), {trck, tera});
    std::vector<ChunkPlace> places;
    const Bytes image = Image(root, {}, &places);
    std::vector<WalkEntry> walk;
    Parse(image, &walk);
    ASSERT_EQ(walk.size(), 6u);
    const auto expect = [&](std::size_t i, std::size_t place, const char* tag, std::int32_t size,
                            std::int32_t children, std::int64_t records, bool skipped) {
        EXPECT_EQ(walk[i].tag, tag) << i;
        EXPECT_EQ(walk[i].offset, places[place].offset) << i;
        EXPECT_EQ(walk[i].size, size) << i;
        EXPECT_EQ(walk[i].childCount, children) << i;
        EXPECT_EQ(walk[i].records, records) << i;
        EXPECT_EQ(walk[i].skipped, skipped) << i;
    };
    expect(0, 0, "SKYV", StoredSize(root), 2, -1, false);
    expect(1, 1, "TRCK", 99, 3, 1, false);
    expect(2, 2, "INFO", 22, 0, -1, false);
    expect(3, 3, "XTRA", 5 + 15, 0, -1, true);
    expect(4, 5, "BEZR", 96, 0, 1, false);
    expect(5, 6, "TERA", 104, 0, 6, false);
}

TEST(TrackLoadWalk, RootChildCountOfZeroOrLessReadsNothing) {
    for (std::int32_t count : {0, -1, -2147483647 - 1}) {
        Bytes image = SavedImage(ExampleModel());
        PatchInt32(image, 28, count);
        TrackModel expected;
        expected.skyvHeader = {StoredSize(FileTree(ExampleModel())), count};
        expected.versionBytes = {1, 3, 0, 0};
        EXPECT_EQ(Parse(image), expected) << count;
    }
}

TEST(TrackLoadWalk, FirstTagOtherThanSkyvIsRefused) {
    TrackModel model = ExampleModel();
    for (const char* tag : {"SKYW", "TRCK", "SKY ", "VYKS"}) {
        Chunk root = FileTree(RichModel());
        root.tag = tag;
        EXPECT_FALSE(ParseTrack(model, Image(root), "x.svtrack")) << tag;
        EXPECT_EQ(model, ExampleModel());
    }
    EXPECT_FALSE(ParseTrack(model, Bytes{'S', 'K', 'Y'}, "x.svtrack"));
    EXPECT_EQ(model, ExampleModel());
}

// LoadTrack with real files in a folder of its own.
class TrackLoadNames : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const Bytes& bytes) {
        return dir_.Write(name, bytes);
    }

    // Loads into a model that holds the rich track; a refused load must leave it so.
    bool Load(const std::string& path) {
        model_ = RichModel();
        const bool loaded = LoadTrack(model_, path);
        if (!loaded) {
            EXPECT_EQ(model_, RichModel()) << path;
        }
        return loaded;
    }

    // Loads a name relative to the folder.
    bool LoadInFolder(const std::string& name) {
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        const bool loaded = Load(name);
        std::filesystem::current_path(previous);
        return loaded;
    }

    TempFolder dir_;
    TrackModel model_;
};

TEST_F(TrackLoadNames, RefusesEmptyMissingAndOtherNames) {
    const Bytes image = SavedImage(ExampleModel());
    EXPECT_FALSE(Load(""));
    EXPECT_FALSE(Load(dir_ / "missing.svtrack"));
    EXPECT_FALSE(Load(Write("hill.txt", image)));
    EXPECT_FALSE(Load(Write("hill.svtrack.bak", image)));
    EXPECT_FALSE(Load(Write("hill.svtrac", image)));
}

TEST_F(TrackLoadNames, RefusesNamesShorterThanTheExtension) {
    Write("a.svtr", SavedImage(ExampleModel()));
    Write("svtrack", SavedImage(ExampleModel()));
    EXPECT_FALSE(LoadInFolder("a.svtr"));
    EXPECT_FALSE(LoadInFolder("svtrack"));
}

TEST_F(TrackLoadNames, AcceptsTheExtensionInAnyCaseAndAlone) {
    const Bytes image = SavedImage(ExampleModel());
    ASSERT_TRUE(Load(Write("HILL.SVTRACK", image)));
    EXPECT_EQ(Headerless(model_), Headerless(ExampleModel()));
    EXPECT_TRUE(Load(Write("hill.SvTrAcK", image)));
    Write(".svtrack", image);
    EXPECT_TRUE(LoadInFolder(".svtrack"));
}

TEST_F(TrackLoadNames, LoadReplacesTheWholeModel) {
    TrackModel withoutTerrain = ExampleModel();
    withoutTerrain.terrainPresent = false;
    ASSERT_TRUE(Load(Write("plain.svtrack", SavedImage(withoutTerrain))));
    EXPECT_FALSE(model_.terrainPresent);
    EXPECT_EQ(Headerless(model_), Headerless(WithoutTerrain(ExampleModel())));
}

}  // namespace
}  // namespace railgrace
