// Writes the fuzzer's seed corpus into a folder: small tracks that hold records of one chunk kind
// each, tracks with one and with several records of every kind, and files with what a loader must
// tolerate. fuzz/run adds the sample track. Built with the test builder rather than the saver, so
// the seeds also hold bytes that a save never writes.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ByteBuilder.h"

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

// Lower-case tags, flags of 0x01, filled reserved runs and uint24 lead bytes, lying SEGM block
// lengths, catwalk extra bytes, an unknown chunk among TRCK's children and bytes after the end.
Bytes Messy() {
    const Mess mess{0xA5, 0x01, 0x7F, 999, 0x5A, true};
    Chunk tree = FileTree(RichModel(), mess);
    Chunk& trck = FindChunk(tree, "TRCK");
    trck.children.insert(trck.children.begin() + 1,
                         MakeChunk("JUNK", Bytes(8, 0x11), {MakeChunk("BEZR", Bytes(40, 0))}));
    Bytes image = Image(tree, mess);
    image.insert(image.end(), {'T', 'A', 'I', 'L'});
    return image;
}

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
        Write(folder, "only-" + kind, SavedImage(model));
    }
    Write(folder, "empty", SavedImage(TrackModel{}));
    Write(folder, "example", SavedImage(ExampleModel()));
    Write(folder, "rich", SavedImage(rich));
    Write(folder, "rich-without-terrain", SavedImage(WithoutTerrain(rich)));
    Write(folder, "messy", Messy());
    return 0;
}
