// Saving: the sizes and child counts a save sets, the tracks that cannot be saved, and the names
// that loads take and saves go to.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "TrackFiles.h"
#include "track/Errors.h"
#include "track/TrackIo.h"

namespace railgrace {
namespace {

using namespace test;

// The headers and version bytes of the model are never written: a save writes the committed
// file's bytes whatever the model's headers say, and sets the headers of the chunks it writes to
// what a load of those bytes reads; without terrain, TERA's size stays and its child count is 0.
TEST(TrackSave, SizesAndChildCounts) {
    TrackModel plain = ExampleModel();
    plain.terrainPresent = false;
    Chunk plainTree = Split(Golden("example.svtrack"));
    plainTree.children.pop_back();  // TERA
    const std::pair<TrackModel, Bytes> cases[] = {{TrackModel{}, Golden("empty.svtrack")},
                                                  {ExampleModel(), Golden("example.svtrack")},
                                                  {plain, Image(plainTree)}};
    for (const auto& [original, file] : cases) {
        TrackModel model = original, loaded;
        model.versionBytes = {7, 7, 7, 7};
        for (const auto& [tag, header] : kHeaders) model.*header = {-5, 77};
        EXPECT_EQ(SerializeTrack(model), file);
        ASSERT_TRUE(ParseTrack(loaded, file, "saved.svtrack"));
        if (!model.terrainPresent) loaded.teraHeader = {-5, 0};
        for (const auto& [tag, header] : kHeaders) EXPECT_EQ(model.*header, loaded.*header) << tag;
    }
}

// Tracks that no track file can hold are refused by SaveError that names what is wrong; a save
// of one leaves the file it would replace as it was, and nothing beside it.
TEST(TrackSave, TracksThatNoFileCanHoldAreRefused) {
    const char32_t han = 0x4E00;
    using Change = std::function<void(TrackModel&)>;
    const std::vector<std::tuple<Change, std::string, std::string>> cases = {
        {[&](TrackModel& m) { m.infoText += han; }, "INFO", "U+4E00"},
        {[&](TrackModel& m) { m.trckRecords[0].text = Text(1, han); }, "TRCK", "U+4E00"},
        {[&](TrackModel& m) { m.scobRecords[0].text2 = Text(2, 0x80); }, "SCOB", "U+0080"},
        {[&](TrackModel& m) { m.terrainText1 += han; }, "TERA", "U+4E00"},
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
            SaveTrack(model, dir / "hill");
            ADD_FAILURE() << "no error for " << what << " " << detail;
        } catch (const SaveError& e) {
            EXPECT_NE(std::string(e.what()).find(what), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(detail), std::string::npos) << e.what();
        }
        EXPECT_EQ(ReadFile(dir / "hill.svtrack"), old);
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"hill.svtrack"});
    }
}

// Only ".svtrack", in any letter case, makes a name a track's: a load refuses any other name and a
// save appends the extension to it. Names relative to a folder of its own, so that a name may be
// shorter than the extension.
TEST(TrackFileNames, OnlyTheTrackExtensionInAnyCase) {
    const std::filesystem::path previous = std::filesystem::current_path();
    const TempFolder dir;
    std::filesystem::current_path(dir.path());
    // A track without terrain, loaded over one with terrain: the load replaces the whole model.
    const TrackModel plain = WithoutTerrain(ExampleModel());
    const std::pair<std::string, bool> names[] = {
        {"hill", false},        {"hill.txt", false},    {"hill.svtrack.bak", false},
        {"hill.svtrac", false}, {"a.svtr", false},      {"svtrack", false},
        {".svtrack", true},     {"HILL.SVTRACK", true}, {"hill.SvTrAcK", true}};
    for (const auto& [name, isTrack] : names) {
        EXPECT_EQ(TrackFileName(name), isTrack ? name : name + ".svtrack");
        EXPECT_EQ(TrackFileName("dir/" + name), "dir/" + TrackFileName(name));
        TrackModel saved = plain, model = RichModel();
        dir.Write(name, SerializeTrack(saved));
        ASSERT_EQ(LoadTrack(model, name), isTrack) << name;
        EXPECT_EQ(isTrack ? Headerless(model) : model, isTrack ? Headerless(plain) : RichModel());
    }
    TrackModel model = RichModel();
    EXPECT_FALSE(LoadTrack(model, ""));
    EXPECT_EQ(model, RichModel());
    std::filesystem::current_path(previous);
}

}  // namespace
}  // namespace railgrace
