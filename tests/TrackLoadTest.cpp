// Loading: what a load keeps from the frame, the walk, and round trips of files full of what a
// loader must tolerate: the first load must give the track the file holds, field by field, and
// both saves the tidy bytes of that track. (A root that promises no chunk, and files that are not
// tracks, are among the damaged and shorter files.)
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "TrackFiles.h"
#include "track/TrackIo.h"

namespace railgrace {
namespace {

using namespace test;

// The model and the walk keep every chunk's size and child count as stored, right or wrong; an
// unknown chunk is stepped over with its children, whatever their tags.
TEST(TrackLoad, WalkAndModelKeepTheFramesAsStored) {
    Chunk tree = Split(Golden("example.svtrack"));
    std::copy_n(std::array<std::uint8_t, 4>{9, 8, 7, 6}.begin(), 4, tree.content.begin());
    FindChunk(tree, "BEZR")->size = 12345;
    FindChunk(tree, "FREN")->size = 0;
    FindChunk(tree, "TRCK")->size = 7;
    std::vector<Chunk>& inTrck = FindChunk(tree, "TRCK")->children;
    inTrck.insert(inTrck.begin() + 2,
                  MakeChunk("xtra", Bytes(5, 0x11), {MakeChunk("BEZR", Bytes(3, 0xFF))}));
    std::vector<ChunkPlace> places;
    std::vector<WalkEntry> walk;
    TrackModel model;
    ASSERT_TRUE(ParseTrack(model, Image(tree, &places), "test.svtrack", &walk));
    EXPECT_EQ(Headerless(model), Headerless(ExampleModel()));
    EXPECT_EQ(model.versionBytes, (std::array<std::uint8_t, 4>{9, 8, 7, 6}));
    places.erase(places.begin() + 5);  // the BEZR inside the unknown chunk
    ASSERT_EQ(walk.size(), places.size());
    for (std::size_t i = 0; i < walk.size(); ++i) {
        const Chunk& chunk = *FindChunk(tree, places[i].tag);
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

// Takes every chunk of that tag out of the tree.
void Remove(Chunk& c, std::string_view tag) {
    std::erase_if(c.children, [&](const Chunk& child) { return child.tag == tag; });
    for (Chunk& child : c.children) Remove(child, tag);
}

struct OddFile {
    std::string what;
    Bytes file;
    TrackModel expected = RichModel();
    Bytes tidy = Golden("rich.svtrack");  // what a save of it gives
};

std::vector<OddFile> OddFiles() {
    const TrackModel rich = RichModel();
    std::vector<OddFile> files;
    const auto add = [&](std::string what, const std::function<void(Chunk&)>& change) {
        Chunk tree = Split(Golden("rich.svtrack"));
        change(tree);
        files.push_back({std::move(what), Image(tree)});
    };
    // Reserved runs, flag bytes, uint24 first bytes, SEGM block lengths and catwalk extra bytes
    // that a save never writes, and tags in lower case (all of them, the root's too).
    for (const char* name :
         {"rich-messy-1.svtrack", "rich-messy-2.svtrack", "rich-messy-3.svtrack"})
        files.push_back({name, Golden(name)});
    // One of its children with a known tag and content of the wrong length; chunks of sizes -4
    // and -1 that take no more than their tag and size.
    add("unknown chunks", [](Chunk& tree) {
        std::vector<Chunk>& children = FindChunk(tree, "TRCK")->children;
        children.insert(children.begin() + 2, MakeChunk("Xtra", Bytes(9, 0x02),
                                                        {MakeChunk("JUNK", Bytes(3, 0x03)),
                                                         MakeChunk("BEZR", Bytes(7, 1))}));
        std::vector<Chunk>& supp = FindChunk(tree, "SUPP")->children;
        for (auto [at, size] : {std::pair{1, -4}, std::pair{3, -1}}) {
            supp.insert(supp.begin() + at, Chunk{"NEG" + std::to_string(-size),
                                                 Bytes(static_cast<std::size_t>(size + 4), 0xCC),
                                                 {},
                                                 size,
                                                 {},
                                                 true});
        }
    });
    add("BEZR before TRCK", [](Chunk& tree) {
        const Chunk bezr = *FindChunk(tree, "BEZR");
        Remove(tree, "BEZR");
        tree.children.insert(tree.children.begin(), bezr);
    });
    add("later chunk of a kind replaces the earlier", [](Chunk& tree) {
        TrackModel other;
        FloatSeq f;
        other.frenRecords = {FrenEntry{-1, -2, -3}, FrenEntry{-4, -5, -6}, FrenEntry{-7, -8, -9}};
        other.segmRecords = {MakeSegment(2, 0, f)};
        Chunk otherTree = Split(SerializeTrack(other));
        std::vector<Chunk>& supp = FindChunk(tree, "SUPP")->children;
        supp.insert(supp.begin() + 2, *FindChunk(otherTree, "FREN"));
        tree.children.insert(tree.children.begin(), *FindChunk(otherTree, "SEGM"));
    });
    add("flat tree with wrong sizes", [](Chunk& tree) {
        // Every chunk a direct child of the root; the sizes of known chunks are never looked at.
        std::vector<Chunk> flat;
        const std::function<void(const Chunk&)> flatten = [&](const Chunk& c) {
            for (const Chunk& child : c.children) {
                flat.push_back(MakeChunk(child.tag, child.content));
                flat.back().size = static_cast<std::int32_t>(flat.size()) * 1000;
                flatten(child);
            }
        };
        flatten(tree);
        tree.children = flat;
    });
    // Bytes after the last chunk, and files missing their last byte, which the zero behind
    // every file stands in for.
    files.push_back({"another track and more behind the track", Golden("rich.svtrack")});
    const Bytes tail = Golden("example.svtrack");
    files.back().file.insert(files.back().file.end(), tail.begin(), tail.end());
    files.back().file.insert(files.back().file.end(), 37, 0xFF);
    for (const Bytes& whole : {Golden("rich.svtrack"), files.back().file}) {
        files.push_back({"last byte missing", Bytes(whole.begin(), whole.end() - 1)});
    }

    // Chunks that are missing are saved empty.
    Chunk partial = Split(Golden("rich.svtrack"));
    for (const char* tag : {"INFO", "RASC", "SCEN", "TERA"}) Remove(partial, tag);
    TrackModel missing = WithoutTerrain(rich);
    missing.infoText = {};
    missing.rascRecords = {};
    missing.scenRecords = {};
    missing.scobRecords = {};
    files.push_back({"missing chunks", Image(partial), missing, SerializeTrack(missing)});

    // Text lengths of TRCK entries and INFO of 0 or less stand for empty texts.
    TrackModel empty = rich;
    empty.trckRecords[0].text = empty.infoText = {};
    std::vector<ChunkPlace> places;
    const Bytes tidy = Image(Split(SerializeTrack(empty)), &places);
    for (std::int32_t length : {-5, -2147483647 - 1}) {
        files.push_back({"negative text length " + std::to_string(length), tidy, empty, tidy});
        PatchInt32(files.back().file, OffsetOf(places, "TRCK") + 28, length);
        PatchInt32(files.back().file, OffsetOf(places, "INFO") + 24, length);
    }

    // Texts of every byte value.
    Bytes all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<std::uint8_t>(255 - b));
    TrackModel texts = rich;
    texts.infoText = texts.scobRecords[1].text2 = Cp1252Text(all);
    const Bytes textFile = SerializeTrack(texts);
    files.push_back({"every byte value", textFile, texts, textFile});
    return files;
}

TEST(TrackLoad, OddFilesLoadAsTheirTrackAndSaveTidy) {
    for (const OddFile& odd : OddFiles()) {
        SCOPED_TRACE(odd.what);
        TrackModel first;
        ASSERT_TRUE(ParseTrack(first, odd.file, "odd.svtrack"));
        EXPECT_EQ(Headerless(first), Headerless(odd.expected));
        const Bytes saved = SerializeTrack(first);
        EXPECT_EQ(saved, odd.tidy);
        TrackModel second;
        ASSERT_TRUE(ParseTrack(second, saved, "odd.svtrack"));
        EXPECT_EQ(SerializeTrack(second), saved);
    }
}

}  // namespace
}  // namespace railgrace
