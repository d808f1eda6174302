// Saving: sizes and child counts worked out by hand, the values at the edges of their fields,
// the tracks that cannot be saved, and a save that never loses the file it replaces.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <bit>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ByteBuilder.h"
#include "track/Errors.h"
#include "track/TrackIo.h"

namespace railgrace {
namespace {

using namespace test;

// The headers and version bytes of the model are never written: the save sets the headers of
// the chunks it writes, and the child count but not the size of TERA when there is no terrain.
TEST(TrackSave, SizesAndChildCounts) {
    TrackModel plain = ExampleModel();
    plain.terrainPresent = false;
    // Size and child count of each chunk in the order of kHeaders. Example: TERA 77 + 3 + 24;
    // SCOB 36 + 88 + 7; SCEN 36 + 64 + 143; CATW 36 + 28 + 3; TUBE 36 + 48; FREN 36 + 28;
    // RASC 36 + 4 + 48; FUND 36 + 92; SUPP 32 + 140 + 100 + 76 + 96 + 79; SEGM 37 + 163;
    // BEZR 36 + 60; INFO 16 + 8; TRCK 60 + 32 + 36 + 108 + 212 + 535; root 20 + 995 + 255 +
    // 116, and 116 less without terrain. The file is 16 bytes longer than the root's size.
    const std::vector<std::pair<TrackModel, std::vector<std::int32_t>>> cases = {
        {TrackModel{}, {597, 2, 469, 4, 16, 0, 36, 0, 37, 0, 272, 5, 36, 0,
                        36,  0, 36,  0, 36, 0, 36, 0, 84, 1, 36,  0, -5, 0}},
        {ExampleModel(), {1386, 3, 983, 4, 24, 0, 96, 0, 200, 0, 523, 5, 128, 0,
                          88,   0, 64,  0, 84, 0, 67, 0, 243, 1, 131, 0, 104, 0}},
        {plain, {1270, 2, 983, 4, 24, 0, 96, 0, 200, 0, 523, 5, 128, 0,
                 88,   0, 64,  0, 84, 0, 67, 0, 243, 1, 131, 0, -5,  0}}};
    for (const auto& [original, headers] : cases) {
        TrackModel model = original;
        model.versionBytes = {7, 7, 7, 7};
        for (const auto& [tag, header] : kHeaders) model.*header = {-5, 77};
        const Bytes image = SerializeTrack(model);
        EXPECT_EQ(image.size(), static_cast<std::size_t>(headers[0]) + 16);
        EXPECT_EQ(image, SavedImage(original));
        for (std::size_t i = 0; i < std::size(kHeaders); ++i) {
            EXPECT_EQ(model.*kHeaders[i].second, (ChunkHeader{headers[2 * i], headers[2 * i + 1]}))
                << kHeaders[i].first << " of a file of " << image.size() << " bytes";
        }
    }
    // The first bytes of every file: the root's frame and TRCK's tag and size, big-endian.
    Bytes start = {'S', 'K', 'Y', 'V', 0, 0, 2, 0x55, 1, 3, 0, 0};
    start.resize(start.size() + 16);  // reserved
    start.insert(start.end(), {0, 0, 0, 2, 'T', 'R', 'C', 'K', 0, 0, 1, 0xD5});
    const Bytes empty = SavedImage(TrackModel{});
    EXPECT_EQ(Bytes(empty.begin(), empty.begin() + 40), start);
}

// Floats travel as bits, NaN payloads and subnormals among them; a uint24 keeps its low 24 bits.
TEST(TrackSave, FloatsKeepTheirBitsAndUInt24sTheirLow24Bits) {
    TrackModel model;
    model.trckValues24 = {0x7F123456, -1, 0, 0, 0, 0, 0, 0};
    BezierVertex& v = model.bezrRecords.emplace_back();
    float* fields[] = {&v.posX, &v.posY, &v.posZ, &v.cp1X, &v.cp1Y,
                       &v.cp1Z, &v.cp2X, &v.cp2Y, &v.cp2Z, &v.auxValue};
    const std::uint32_t bits[] = {0x7FC01234, 0xFF800000, 0x80000000, 0x00000001, 0x7F7FFFFF,
                                  0xFFFFFFFF, 0x7F800001, 0x3F800000, 0xC0000000, 0x00800000};
    for (std::size_t i = 0; i < std::size(fields); ++i) *fields[i] = std::bit_cast<float>(bits[i]);
    const Bytes image = SerializeTrack(model);
    EXPECT_EQ(image, SavedImage(model));
    TrackModel loaded;
    ASSERT_TRUE(ParseTrack(loaded, image, "bits.svtrack"));
    EXPECT_EQ(SerializeTrack(loaded), image);
}

// Tracks that no track file can hold are refused by SaveError that names what is wrong; a save
// of one leaves the file it would replace as it was, and nothing beside it.
TEST(TrackSave, TracksThatNoFileCanHoldAreRefused) {
    const char32_t han = 0x4E00;
    using Change = std::function<void(TrackModel&)>;
    const std::vector<std::tuple<Change, std::string, std::string>> cases = {
        {[&](TrackModel& m) { m.infoText += han; }, "INFO", "U+4E00"},
        {[&](TrackModel& m) { m.trckRecords[0].text = Text(1, han); }, "TRCK", "U+4E00"},
        {[&](TrackModel& m) { m.scobRecords[0].text1 += han; }, "SCOB", "U+4E00"},
        {[&](TrackModel& m) { m.scobRecords[0].text2 = Text(2, 0x80); }, "SCOB", "U+0080"},
        {[&](TrackModel& m) { m.terrainText1 += han; }, "TERA", "U+4E00"},
        {[&](TrackModel& m) { m.terrainText2 += han; }, "TERA", "U+4E00"},
        {[&](TrackModel& m) { m.terrainText3 += han; }, "TERA", "U+4E00"},
        {[](TrackModel& m) { m.catwRecords[0].extraLength = 0x7FFFFFF0; }, "CATW", "too large"},
        {[](TrackModel& m) { m.rascRecords[0].items.pop_back(); }, "RASC", "1 item but counts 2"},
        {[](TrackModel& m) { m.rascRecords[0].itemCount = -1; }, "RASC", "-1"},
        {[](TrackModel& m) { m.terrainGrid.pop_back(); }, "terrain grid", "5 heights"},
        {[](TrackModel& m) { m.terrainColumns = -3, m.terrainRows = -2; }, "terrain", "-3 x -2"}};
    const TempFolder dir;
    const Bytes old(700, 0x66);
    dir.Write("hill.svtrack", old);
    for (const auto& [change, what, detail] : cases) {
        TrackModel model = ExampleModel();
        change(model);
        try {
            SerializeTrack(model);
            ADD_FAILURE() << "no error for " << what << " " << detail;
        } catch (const SaveError& e) {
            EXPECT_NE(std::string(e.what()).find(what), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(detail), std::string::npos) << e.what();
        }
        EXPECT_THROW(SaveTrack(model, dir / "hill"), SaveError) << what;
        EXPECT_EQ(ReadFile(dir / "hill.svtrack"), old);
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"hill.svtrack"});
    }
}

TEST(TrackFileNames, ExtensionAppendedUnlessPresentInAnyCase) {
    const std::pair<std::string, std::string> names[] = {
        {"hill", "hill.svtrack"},
        {"hill.svtrack", "hill.svtrack"},
        {"dir/HILL.SVTRACK", "dir/HILL.SVTRACK"},
        {"hill.SvTrack", "hill.SvTrack"},
        {"hill.txt", "hill.txt.svtrack"},
        {"hill.svtrack.bak", "hill.svtrack.bak.svtrack"},
        {".svtrack", ".svtrack"},
        {"svtrack", "svtrack.svtrack"}};
    for (const auto& [path, name] : names) EXPECT_EQ(TrackFileName(path), name);
}

class TrackSaveFiles : public ::testing::Test {
protected:
    TempFolder dir_;
};

TEST_F(TrackSaveFiles, WritesTheWholeImageUnderTheTrackName) {
    dir_.Write("hill.svtrack", Bytes(5000, 0x55));
    TrackModel saved = RichModel();
    EXPECT_EQ(SaveTrack(saved, dir_ / "hill"), dir_ / "hill.svtrack");
    EXPECT_EQ(ReadFile(dir_ / "hill.svtrack"), SavedImage(RichModel()));
    TrackModel loaded;
    ASSERT_TRUE(LoadTrack(loaded, dir_ / "hill.svtrack"));
    saved.versionBytes = {1, 3, 0, 0};
    EXPECT_EQ(loaded, saved);
    EXPECT_EQ(SaveTrack(loaded, dir_ / "Other.SVTRACK"), dir_ / "Other.SVTRACK");
    EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"Other.SVTRACK", "hill.svtrack"}));
}

#ifndef _WIN32
// A large grid goes to the file in pieces: a write that fails after some of them have landed,
// as on a full disk, leaves the file it would replace as it was. (A file size limit is POSIX's;
// FileIoTest fails the writes on Windows.)
TEST_F(TrackSaveFiles, WriteThatFailsHalfwayLeavesTheExistingFileAsItWas) {
    TrackModel large = RichModel();
    large.terrainColumns = large.terrainRows = 1000;
    large.terrainGrid.assign(1000 * 1000, 2.5f);
    const Bytes old(300, 0x77);
    dir_.Write("hill.svtrack", old);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = 2'500'000;
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_THROW(SaveTrack(large, dir_ / "hill.svtrack"), FileError);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(ReadFile(dir_ / "hill.svtrack"), old);
    EXPECT_EQ(dir_.Names(), std::vector<std::string>{"hill.svtrack"});
}
#endif

}  // namespace
}  // namespace railgrace
