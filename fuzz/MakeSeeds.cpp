// Writes the fuzzer's seed corpus into a folder: small tracks that hold records of one chunk kind
// each, and tracks with none, one and several records of every kind. fuzz/run adds the sample
// track and the tests' committed files, which also hold bytes that a save never writes.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "TrackFiles.h"
#include "track/TrackIo.h"

namespace {

using namespace railgrace;
using namespace railgrace::test;

void Write(const std::filesystem::path& folder, const std::string& name, const Bytes& bytes) {
    std::ofstream out(folder / (name + ".svtrack"), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A track that holds the records of one kind from the rich track and nothing else.
using Take = std::function<void(TrackModel&, const TrackModel&)>;

const std::vector<std::pair<std::string, Take>> kOneKind = {
    {"trck", [](TrackModel& m, const TrackModel& r) { m.trckRecords = r.trckRecords; }},
    {"info", [](TrackModel& m, const TrackModel& r) { m.infoText = r.infoText; }},
    {"bezr", [](TrackModel& m, const TrackModel& r) { m.bezrRecords = r.bezrRecords; }},
    {"segm", [](TrackModel& m, const TrackModel& r) { m.segmRecords = r.segmRecords; }},
    {"fund", [](TrackModel& m, const TrackModel& r) { m.fundRecords = r.fundRecords; }},
    {"rasc", [](TrackModel& m, const TrackModel& r) { m.rascRecords = r.rascRecords; }},
    {"fren", [](TrackModel& m, const TrackModel& r) { m.frenRecords = r.frenRecords; }},
    {"tube", [](TrackModel& m, const TrackModel& r) { m.tubeRecords = r.tubeRecords; }},
    {"catw", [](TrackModel& m, const TrackModel& r) { m.catwRecords = r.catwRecords; }},
    {"scen", [](TrackModel& m, const TrackModel& r) { m.scenRecords = r.scenRecords; }},
    {"scob", [](TrackModel& m, const TrackModel& r) { m.scobRecords = r.scobRecords; }},
    {"tera",
     [](TrackModel& m, const TrackModel& r) {
         m.terrainPresent = true;
         m.terrainColumns = r.terrainColumns, m.terrainRows = r.terrainRows;
         m.terrainText1 = r.terrainText1, m.terrainText3 = r.terrainText3;
         m.terrainGrid = r.terrainGrid;
     }},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const TrackModel rich = RichModel();
    for (const auto& [kind, take] : kOneKind) {
        TrackModel model;
        take(model, rich);
        Write(folder, "only-" + kind, SerializeTrack(model));
    }
    TrackModel models[] = {TrackModel{}, ExampleModel(), rich, WithoutTerrain(rich)};
    const char* names[] = {"empty", "example", "rich", "rich-without-terrain"};
    for (std::size_t i = 0; i < std::size(models); ++i)
        Write(folder, names[i], SerializeTrack(models[i]));
    return 0;
}
