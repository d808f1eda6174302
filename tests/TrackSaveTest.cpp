// Saving: the bytes of small models worked out by hand, the sizes and child counts, and a save
// that never loses the file it replaces.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "ByteBuilder.h"
#include "track/Errors.h"
#include "track/TrackIo.h"

namespace railgrace {
namespace {

using namespace test;

std::int32_t Int32At(const Bytes& image, std::size_t offset) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | image.at(offset + i);
    return static_cast<std::int32_t>(v);
}

struct Headers {
    ChunkHeader skyv, trck, info, bezr, segm, supp, fund, rasc, fren, tube, catw, scen, scob, tera;
};

void ExpectHeaders(const TrackModel& m, const Headers& h) {
    EXPECT_EQ(m.skyvHeader, h.skyv);
    EXPECT_EQ(m.trckHeader, h.trck);
    EXPECT_EQ(m.infoHeader, h.info);
    EXPECT_EQ(m.bezrHeader, h.bezr);
    EXPECT_EQ(m.segmHeader, h.segm);
    EXPECT_EQ(m.suppHeader, h.supp);
    EXPECT_EQ(m.fundHeader, h.fund);
    EXPECT_EQ(m.rascHeader, h.rasc);
    EXPECT_EQ(m.frenHeader, h.fren);
    EXPECT_EQ(m.tubeHeader, h.tube);
    EXPECT_EQ(m.catwHeader, h.catw);
    EXPECT_EQ(m.scenHeader, h.scen);
    EXPECT_EQ(m.scobHeader, h.scob);
    EXPECT_EQ(m.teraHeader, h.tera);
}

TEST(TrackSave, EmptyModel) {
    TrackModel model;
    const Bytes image = SerializeTrack(model);
    ASSERT_EQ(image.size(), 613u);
    const Bytes head = {'S', 'K', 'Y', 'V', 0x00, 0x00, 0x02, 0x55, 1,    3,    0,    0,   0, 0,
                        0,   0,   0,   0,   0,    0,    0,    0,    0,    0,    0,    0,   0, 0,
                        0,   0,   0,   2,   'T',  'R',  'C',  'K',  0x00, 0x00, 0x01, 0xD5};
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 40), head);
    EXPECT_EQ(image, SavedImage(TrackModel{}));
    ExpectHeaders(model, {{597, 2},
                          {469, 4},
                          {16, 0},
                          {36, 0},
                          {37, 0},
                          {272, 5},
                          {36, 0},
                          {36, 0},
                          {36, 0},
                          {36, 0},
                          {36, 0},
                          {84, 1},
                          {36, 0},
                          {0, 0}});
}

TEST(TrackSave, OneRecordOfEachKind) {
    TrackModel model = ExampleModel();
    const Bytes image = SerializeTrack(model);
    // TERA 77 + 3 + 24; SCOB 36 + 88 + 7; SCEN 36 + 64 + 143; CATW 36 + 28 + 3; TUBE 36 + 48;
    // FREN 36 + 28; RASC 36 + 4 + 48; FUND 36 + 92; SUPP 32 + 140 + 100 + 76 + 96 + 79;
    // SEGM 37 + 163; BEZR 36 + 60; INFO 16 + 8; TRCK 60 + 32 + 36 + 108 + 212 + 535;
    // root 20 + 995 + 255 + 116.
    ExpectHeaders(model, {{1386, 3},
                          {983, 4},
                          {24, 0},
                          {96, 0},
                          {200, 0},
                          {523, 5},
                          {128, 0},
                          {88, 0},
                          {64, 0},
                          {84, 0},
                          {67, 0},
                          {243, 1},
                          {131, 0},
                          {104, 0}});
    ASSERT_EQ(image.size(), 1402u);
    EXPECT_EQ(image, SavedImage(ExampleModel()));
    EXPECT_EQ(SerializeTrack(model), image);
}

TEST(TrackSave, WithoutTerrainThereIsNoTerraChunk) {
    TrackModel model = ExampleModel();
    model.terrainPresent = false;
    model.teraHeader = {555, 9};
    const Bytes image = SerializeTrack(model);
    ASSERT_EQ(image.size(), 1402u - 116u);
    EXPECT_EQ(Int32At(image, 4), 1386 - 116);
    EXPECT_EQ(Int32At(image, 28), 2);
    EXPECT_EQ(image, SavedImage(model));
    EXPECT_EQ(model.teraHeader.size, 555);
}

TEST(TrackSave, HeadersAndVersionBytesOfTheModelAreNotWritten) {
    TrackModel model = RichModel();
    model.versionBytes = {7, 7, 7, 7};
    for (ChunkHeader* h :
         {&model.skyvHeader, &model.trckHeader, &model.infoHeader, &model.bezrHeader,
          &model.segmHeader, &model.suppHeader, &model.fundHeader, &model.rascHeader,
          &model.frenHeader, &model.tubeHeader, &model.catwHeader, &model.scenHeader,
          &model.scobHeader, &model.teraHeader}) {
        *h = {-5, 77};
    }
    EXPECT_EQ(SerializeTrack(model), SavedImage(RichModel()));
}

TEST(TrackSave, SegmentsOfEveryType) {
    TrackModel model;
    FloatSeq f;
    model.segmRecords = SegmentsOfEveryType(f);
    const Bytes image = SerializeTrack(model);
    // Types 0, 7, 1 x 3, 2 x 2, 3 x 2, -2, 4 x 5.
    EXPECT_EQ(model.segmHeader.size, 37 + 37 + 33 + 3 * 163 + 2 * 73 + 2 * 65 + 33 + 5 * 87);
    EXPECT_EQ(image, SavedImage(model));
}

TEST(TrackSave, RascSizesCountTheBytesWritten) {
    TrackModel model;
    model.rascRecords = {RascEntry{1, {RascItem{1, 1.5f}}}, RascEntry{0, {}},
                         RascEntry{2, {RascItem{2, 2.5f}, RascItem{3, 3.5f}}}};
    SerializeTrack(model);
    EXPECT_EQ(model.rascHeader.size, 120);

    // A negative item count is written as stored, with no items, and takes 4 bytes.
    model.rascRecords = {RascEntry{-3, {}}, RascEntry{1, {RascItem{-9, 0.5f}}}};
    const Bytes image = SerializeTrack(model);
    EXPECT_EQ(model.rascHeader.size, 36 + 4 + 28);
    EXPECT_EQ(image, SavedImage(model));
    TrackModel loaded;
    ASSERT_TRUE(ParseTrack(loaded, image, "rasc.svtrack"));
    EXPECT_EQ(loaded.rascRecords, model.rascRecords);
    EXPECT_EQ(SerializeTrack(loaded), image);
}

TEST(TrackSave, CatwalkExtraBytesAreZeros) {
    TrackModel model;
    model.catwRecords = {CatwalkEntry{1, 2, 3, 4, 5, 6, 0}, CatwalkEntry{7, 8, 9, 10, 11, 12, 10}};
    const Bytes image = SerializeTrack(model);
    EXPECT_EQ(model.catwHeader.size, 102);
    EXPECT_EQ(image, SavedImage(model));
}

TEST(TrackSave, UInt24KeepsOnlyItsLow24Bits) {
    TrackModel model;
    model.trckValues24[0] = 0x7F123456;
    model.trckValues24[7] = -1;
    const Bytes image = SerializeTrack(model);
    // The eight values follow TRCK's tag, size and three int32 values.
    EXPECT_EQ(Int32At(image, 32 + 20), 0x00123456);
    EXPECT_EQ(Int32At(image, 32 + 20 + 28), 0x00FFFFFF);
}

TEST(TrackSave, FloatsKeepTheirBitPatterns) {
    TrackModel model;
    model.bezrRecords.resize(1);
    const std::vector<std::uint32_t> patterns = {0x7FC01234, 0xFF800000, 0x80000000, 0x00000001,
                                                 0x7F7FFFFF, 0xFFFFFFFF, 0x7F800001, 0x3F800000,
                                                 0xC0000000, 0x00800000};
    float* fields[] = {&model.bezrRecords[0].posX, &model.bezrRecords[0].posY,
                       &model.bezrRecords[0].posZ, &model.bezrRecords[0].cp1X,
                       &model.bezrRecords[0].cp1Y, &model.bezrRecords[0].cp1Z,
                       &model.bezrRecords[0].cp2X, &model.bezrRecords[0].cp2Y,
                       &model.bezrRecords[0].cp2Z, &model.bezrRecords[0].auxValue};
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        *fields[i] = std::bit_cast<float>(patterns[i]);
    }
    const Bytes image = SerializeTrack(model);
    // The vertex follows the root (32), TRCK (72) and INFO (32) frames and BEZR's first 28.
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        EXPECT_EQ(static_cast<std::uint32_t>(Int32At(image, 32 + 72 + 32 + 28 + 4 * i)),
                  patterns[i])
            << i;
    }
    TrackModel loaded;
    ASSERT_TRUE(ParseTrack(loaded, image, "bits.svtrack"));
    EXPECT_EQ(SerializeTrack(loaded), image);
}

TEST(TrackSave, CharactersWithoutAByteAreRefused) {
    const char32_t han = 0x4E00;
    std::vector<TrackModel> models(7, ExampleModel());
    models[0].infoText += han;
    models[1].trckRecords[0].text = Text(1, han);
    models[2].scobRecords[0].text1 += han;
    models[3].scobRecords[0].text2 = Text(2, char32_t{0x80});
    models[4].terrainText1 += han;
    models[5].terrainText2 += han;
    models[6].terrainText3 += han;
    for (TrackModel& model : models) EXPECT_THROW(SerializeTrack(model), SaveError);
}

TEST(TrackSave, ChunkTooLargeIsRefusedByName) {
    TrackModel model;
    model.catwRecords = {CatwalkEntry{0, 0, 0, 0, 0, 0, std::numeric_limits<std::int32_t>::max()}};
    try {
        SerializeTrack(model);
        ADD_FAILURE() << "no error";
    } catch (const SaveError& e) {
        EXPECT_NE(std::string(e.what()).find("too large to save"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("CATW"), std::string::npos) << e.what();
    }
}

TEST(TrackFileNames, ExtensionAppendedUnlessPresentInAnyCase) {
    EXPECT_EQ(TrackFileName("hill"), "hill.svtrack");
    EXPECT_EQ(TrackFileName("hill.svtrack"), "hill.svtrack");
    EXPECT_EQ(TrackFileName("dir/HILL.SVTRACK"), "dir/HILL.SVTRACK");
    EXPECT_EQ(TrackFileName("hill.SvTrack"), "hill.SvTrack");
    EXPECT_EQ(TrackFileName("hill.txt"), "hill.txt.svtrack");
    EXPECT_EQ(TrackFileName("hill.svtrack.bak"), "hill.svtrack.bak.svtrack");
    EXPECT_EQ(TrackFileName(".svtrack"), ".svtrack");
    EXPECT_EQ(TrackFileName("svtrack"), "svtrack.svtrack");
}

class TrackSaveFiles : public ::testing::Test {
protected:
    TempFolder dir_;
};

TEST_F(TrackSaveFiles, WritesTheImageUnderTheTrackName) {
    TrackModel model = RichModel();
    EXPECT_EQ(SaveTrack(model, dir_ / "hill"), dir_ / "hill.svtrack");
    EXPECT_EQ(ReadFile(dir_ / "hill.svtrack"), SavedImage(RichModel()));
    EXPECT_EQ(SaveTrack(model, dir_ / "Other.SVTRACK"), dir_ / "Other.SVTRACK");
    EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"Other.SVTRACK", "hill.svtrack"}));
}

TEST_F(TrackSaveFiles, SavedFileLoadsAsTheModelThatWasSaved) {
    TrackModel saved = RichModel();
    const std::string path = SaveTrack(saved, dir_ / "rich.svtrack");
    TrackModel loaded;
    ASSERT_TRUE(LoadTrack(loaded, path));
    saved.versionBytes = {1, 3, 0, 0};
    EXPECT_EQ(loaded, saved);
}

TEST_F(TrackSaveFiles, ReplacesAnExistingFileWhole) {
    dir_.Write("hill.svtrack", Bytes(5000, 0x55));
    TrackModel model = ExampleModel();
    SaveTrack(model, dir_ / "hill.svtrack");
    EXPECT_EQ(ReadFile(dir_ / "hill.svtrack"), SavedImage(ExampleModel()));
    EXPECT_EQ(dir_.Names(), std::vector<std::string>{"hill.svtrack"});
}

TEST_F(TrackSaveFiles, RefusedModelLeavesTheExistingFileAsItWas) {
    const Bytes old(700, 0x66);
    dir_.Write("hill.svtrack", old);
    TrackModel unencodable = ExampleModel();
    unencodable.infoText = U"\u4E00";
    EXPECT_THROW(SaveTrack(unencodable, dir_ / "hill.svtrack"), SaveError);
    TrackModel tooLarge;
    tooLarge.catwRecords = {CatwalkEntry{0, 0, 0, 0, 0, 0, 0x7FFFFFF0}};
    EXPECT_THROW(SaveTrack(tooLarge, dir_ / "hill"), SaveError);
    EXPECT_EQ(ReadFile(dir_ / "hill.svtrack"), old);
    EXPECT_EQ(dir_.Names(), std::vector<std::string>{"hill.svtrack"});
}

// Files may grow to at most limit bytes while it lives: a longer write fails as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit lower = previous_;
        lower.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

// A large grid goes to the file in pieces: a write may fail after some of them have landed.
TEST_F(TrackSaveFiles, WriteThatFailsHalfwayLeavesTheExistingFileAsItWas) {
    const Bytes old(300, 0x77);
    TrackModel large = RichModel();
    large.terrainColumns = 1000;
    large.terrainRows = 1000;
    large.terrainGrid.assign(1000 * 1000, 2.5f);
    for (auto [model, limit] : {std::pair{RichModel(), 1000}, std::pair{large, 2'500'000}}) {
        dir_.Write("hill.svtrack", old);
        {
            const FileSizeLimit fileLimit(static_cast<rlim_t>(limit));
            EXPECT_THROW(SaveTrack(model, dir_ / "hill.svtrack"), FileError);
        }
        EXPECT_EQ(ReadFile(dir_ / "hill.svtrack"), old);
        EXPECT_EQ(dir_.Names(), std::vector<std::string>{"hill.svtrack"});
    }
}

TEST_F(TrackSaveFiles, TargetThatIsAFolderIsLeftAsItWas) {
    std::filesystem::create_directory(dir_ / "hill.svtrack");
    dir_.Write("hill.svtrack/inside.txt", Bytes{1, 2, 3});
    TrackModel model = ExampleModel();
    try {
        SaveTrack(model, dir_ / "hill.svtrack");
        ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find(dir_ / "hill.svtrack"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "hill.svtrack"));
    EXPECT_EQ(ReadFile(dir_ / "hill.svtrack/inside.txt"), (Bytes{1, 2, 3}));
    EXPECT_EQ(dir_.Names(), std::vector<std::string>{"hill.svtrack"});
}

TEST_F(TrackSaveFiles, MissingFolderIsAFileError) {
    TrackModel model = ExampleModel();
    try {
        SaveTrack(model, dir_ / "nowhere/hill.svtrack");
        ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find(dir_ / "nowhere"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(dir_.Names().empty());
}

}  // namespace
}  // namespace railgrace
