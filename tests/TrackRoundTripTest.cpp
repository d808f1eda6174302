// Round trips of files full of what a loader must tolerate: load, save, load again, save again.
// The first load must give the track the file holds, field by field; both saves must give the
// tidy bytes of that track.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ByteBuilder.h"
#include "track/TrackIo.h"

namespace railgrace {
namespace {

using namespace test;

// Takes the first chunk of that tag below c out of the tree.
std::optional<Chunk> TakeChunk(Chunk& c, std::string_view tag) {
    for (auto it = c.children.begin(); it != c.children.end(); ++it) {
        if (it->tag == tag) {
            Chunk taken = std::move(*it);
            c.children.erase(it);
            return taken;
        }
        if (std::optional<Chunk> taken = TakeChunk(*it, tag)) return taken;
    }
    return std::nullopt;
}

// A FREN and a SEGM chunk with other content ahead of the real ones.
void AddEarlierDuplicates(Chunk& tree) {
    TrackModel other;
    FloatSeq f;
    other.frenRecords = {FrenEntry{-1, -2, -3}, FrenEntry{-4, -5, -6}, FrenEntry{-7, -8, -9}};
    other.segmRecords = {MakeSegment(2, 0, f)};
    Chunk otherTree = FileTree(other);
    std::vector<Chunk>& supp = FindChunk(tree, "SUPP").children;
    supp.insert(supp.begin() + 2, FindChunk(otherTree, "FREN"));
    tree.children.insert(tree.children.begin(), FindChunk(otherTree, "SEGM"));
}

struct OddFile {
    std::string what;
    Bytes file;
    TrackModel expected = RichModel();
};

std::vector<OddFile> OddFiles() {
    const TrackModel rich = RichModel();
    std::vector<OddFile> files;
    const auto add = [&](std::string what, const std::function<void(Chunk&)>& change,
                         const Mess& mess = {}) {
        Chunk tree = FileTree(rich, mess, {9, 9, 9, 9});
        change(tree);
        files.push_back({std::move(what), Image(tree, mess)});
    };
    const auto same = [](Chunk&) {};
    // Reserved runs, flag bytes, uint24 first bytes, SEGM block lengths and catwalk extra bytes
    // that a save never writes, and tags in lower or mixed case.
    for (const Mess& mess :
         {Mess{0xA5, 0x01, 0x7F, 999, 0xEE, false}, Mess{0xFF, 0x80, 0xFF, 0, 0x5A, true},
          Mess{0x01, 0xFE, 0x80, -1, 0xFF, false}}) {
        add("messy", same, mess);
    }
    add("mixed-case tags", [](Chunk& tree) {
        FindChunk(tree, "BEZR").tag = "bEzR";
        FindChunk(tree, "TERA").tag = "Tera";
        tree.tag = "SkYv";
    });
    // One of its children with a known tag and content of the wrong length.
    add("unknown chunk", [](Chunk& tree) {
        std::vector<Chunk>& children = FindChunk(tree, "TRCK").children;
        children.insert(children.begin() + 2, MakeChunk("Xtra", Bytes(9, 0x02),
                                                        {MakeChunk("JUNK", Bytes(3, 0x03)),
                                                         MakeChunk("BEZR", Bytes(7, 1))}));
    });
    add("unknown chunks of size -4 and -1", [](Chunk& tree) {
        std::vector<Chunk>& supp = FindChunk(tree, "SUPP").children;
        for (auto [at, size] : {std::pair{1, -4}, std::pair{3, -1}}) {
            Chunk odd = MakeChunk("NEG" + std::to_string(-size),
                                  Bytes(static_cast<std::size_t>(size + 4), 0xCC));
            odd.size = size;
            odd.bare = true;
            supp.insert(supp.begin() + at, odd);
        }
    });
    add("BEZR before TRCK",
        [](Chunk& tree) { tree.children.insert(tree.children.begin(), *TakeChunk(tree, "BEZR")); });
    add("later chunk of a kind replaces the earlier", AddEarlierDuplicates);
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
    files.push_back({"another track and more behind the track", SavedImage(rich)});
    const Bytes tail = SavedImage(ExampleModel());
    files.back().file.insert(files.back().file.end(), tail.begin(), tail.end());
    files.back().file.insert(files.back().file.end(), 37, 0xFF);
    for (const Bytes& whole : {SavedImage(rich), files[files.size() - 2].file}) {
        files.push_back({"last byte missing", Bytes(whole.begin(), whole.end() - 1)});
    }

    // Chunks that are missing are saved empty.
    Chunk partial = FileTree(rich);
    for (const char* tag : {"INFO", "RASC", "SCEN", "TERA"}) TakeChunk(partial, tag);
    files.push_back({"missing chunks", Image(partial), WithoutTerrain(rich)});
    TrackModel& missing = files.back().expected;
    missing.infoText = {};
    missing.rascRecords = {};
    missing.scenRecords = {};
    missing.scobRecords = {};

    // Text lengths of TRCK entries and INFO of 0 or less stand for empty texts.
    TrackModel empty = rich;
    empty.trckRecords[0].text = empty.infoText = {};
    std::vector<ChunkPlace> places;
    const Bytes tidy = Image(FileTree(empty), {}, &places);
    for (std::int32_t length : {-5, -2147483647 - 1}) {
        files.push_back({"negative text length " + std::to_string(length), tidy, empty});
        PatchInt32(files.back().file, OffsetOf(places, "TRCK") + 28, length);
        PatchInt32(files.back().file, OffsetOf(places, "INFO") + 24, length);
    }

    // Texts of every byte value.
    Bytes all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<std::uint8_t>(255 - b));
    TrackModel texts = rich;
    texts.infoText = Cp1252Text(all);
    texts.scobRecords[1].text2 = Cp1252Text(all);
    files.push_back({"every byte value", SavedImage(texts), texts});
    return files;
}

TEST(TrackRoundTrip, OddFilesLoadAsTheirTrackAndSaveTidy) {
    for (const OddFile& odd : OddFiles()) {
        SCOPED_TRACE(odd.what);
        TrackModel first;
        ASSERT_TRUE(ParseTrack(first, odd.file, "odd.svtrack"));
        EXPECT_EQ(Headerless(first), Headerless(odd.expected));
        const Bytes saved = SerializeTrack(first);
        EXPECT_EQ(saved, SavedImage(odd.expected));
        TrackModel second;
        ASSERT_TRUE(ParseTrack(second, saved, "odd.svtrack"));
        EXPECT_EQ(SerializeTrack(second), saved);
    }
}

// The sample track that ships with the project saves back to its own bytes.
TEST(TrackSample, SavesBackToItsOwnBytes) {
    TrackModel model;
    ASSERT_TRUE(LoadTrack(model, RAILGRACE_SAMPLE));
    EXPECT_EQ(SerializeTrack(model), ReadFile(RAILGRACE_SAMPLE));
}

}  // namespace
}  // namespace railgrace
