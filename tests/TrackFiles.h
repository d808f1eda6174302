// Track files for the tests: the files a save of the example tracks must give, committed beside
// the tests (tests/data), and chunk trees to take apart and put together into damaged and odd
// files. The committed files were written field by field from the format alone, without the
// module's writer, so that a fault in the reader or the writer cannot hide behind the same fault in
// the other; the models here must stay as they are for them to match.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "track/TrackIo.h"
#include "track/TrackModel.h"
#include "track/Utf8Path.h"

namespace railgrace::test {

using Bytes = std::vector<std::uint8_t>;

// Windows-1252 from 0x80 to 0x9F; the five bytes the code page leaves undefined stand for the C1
// control characters of the same number.
inline constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

inline char32_t Cp1252Char(std::uint8_t byte) {
    return (byte >= 0x80 && byte < 0xA0) ? kCp1252High[byte - 0x80u] : char32_t{byte};
}

inline Text Cp1252Text(const Bytes& bytes) {
    Text text;
    for (std::uint8_t b : bytes) text.push_back(Cp1252Char(b));
    return text;
}

// Overwrites the big-endian int32 at offset of an image.
inline void PatchInt32(Bytes& image, std::size_t offset, std::int32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        image.at(offset + i) =
            static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (24 - 8 * i));
    }
}

inline void AppendInt32(Bytes& image, std::int32_t value) {
    image.resize(image.size() + 4);
    PatchInt32(image, image.size() - 4, value);
}

struct Chunk {
    std::string tag;
    Bytes content;
    std::vector<Chunk> children;
    std::optional<std::int32_t> size;        // as stored; by default computed
    std::optional<std::int32_t> childCount;  // as stored; by default the number of children
    bool bare = false;  // an unknown chunk of tag, size and content only, without
                        // a child count
};

// Own content plus every child's size + 12.
inline std::int32_t StoredSize(const Chunk& c) {
    if (c.size) return *c.size;
    auto total = static_cast<std::int64_t>(c.content.size());
    for (const Chunk& child : c.children) total += std::int64_t{StoredSize(child)} + 12;
    return static_cast<std::int32_t>(total);
}

inline Chunk MakeChunk(std::string tag, Bytes content, std::vector<Chunk> children = {}) {
    return {std::move(tag), std::move(content), std::move(children), {}, {}, false};
}

struct ChunkPlace {
    std::string tag;
    std::size_t offset = 0;
};

// Appends the chunk and its children in pre-order; where, when given, receives each tag's offset.
inline void Emit(Bytes& b, const Chunk& c, std::vector<ChunkPlace>* where = nullptr) {
    if (where) where->push_back({c.tag, b.size()});
    b.insert(b.end(), c.tag.begin(), c.tag.end());
    AppendInt32(b, StoredSize(c));
    b.insert(b.end(), c.content.begin(), c.content.end());
    if (c.bare) return;
    AppendInt32(b, c.childCount.value_or(static_cast<std::int32_t>(c.children.size())));
    for (const Chunk& child : c.children) Emit(b, child, where);
}

inline Bytes Image(const Chunk& root, std::vector<ChunkPlace>* where = nullptr) {
    Bytes b;
    Emit(b, root, where);
    return b;
}

// The tree of a file as a save writes it, cut where the loader's walk found its chunks. INFO
// keeps its stored size, which leaves out its text's length field.
inline Chunk Split(const Bytes& image) {
    TrackModel model;
    std::vector<WalkEntry> walk;
    if (!ParseTrack(model, image, "split.svtrack", &walk)) throw std::logic_error("no track");
    std::size_t next = 0;
    const std::function<Chunk()> take = [&] {
        const WalkEntry& e = walk[next++];
        // The content ends at the child count, in front of the next chunk in pre-order.
        const std::size_t end = (next < walk.size() ? walk[next].offset : image.size()) - 4;
        Chunk c = MakeChunk(e.tag, Bytes(image.begin() + static_cast<long>(e.offset) + 8,
                                         image.begin() + static_cast<long>(end)));
        if (e.tag == "INFO") c.size = e.size;
        for (int k = 0; k < e.childCount; ++k) c.children.push_back(take());
        return c;
    };
    return take();
}

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(Utf8Path(path), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A committed file of tests/data: empty, example and rich.svtrack as a save of TrackModel{},
// ExampleModel() and RichModel() writes them, and rich-messy-1 to 3 with what a loader must
// tolerate (filled reserved runs, flags of other bytes than 0xFF, uint24 lead bytes, lying SEGM
// block lengths, filled catwalk extra bytes, lower-case tags in the second, version 9.9.9.9).
inline Bytes Golden(const std::string& name) {
    return ReadFile(std::string(RAILGRACE_TEST_DATA) + "/" + name);
}

// The fields of a SEGM record's type block in file order, for types 0 to 4.
using SegmentField =
    std::variant<float SegmentEntry::*, std::uint8_t SegmentEntry::*, bool SegmentEntry::*>;
inline const std::vector<SegmentField>& SegmentBlock(std::int32_t type) {
    using S = SegmentEntry;
    static const std::vector<SegmentField> blocks[] = {
        {},
        {&S::type1Float1, &S::type1Float2, &S::type1Float3, &S::type1Float4, &S::type1Byte1,
         &S::type1Byte2, &S::type1Flag1, &S::type1Byte3, &S::type1Float5, &S::type1Flag3,
         &S::type1Float9, &S::type1Float10, &S::type1Float11, &S::type1Flag2, &S::type1Float6,
         &S::type1Float7, &S::type1Float8},
        {&S::type2Byte1, &S::type2Float1, &S::type2Float2, &S::type2Float3, &S::type2Flag1,
         &S::type2Flag2},
        {&S::type3Float1, &S::type3Float2, &S::type3Float3, &S::type3Byte1, &S::type3Flag1,
         &S::type3Flag2},
        {&S::type4Float1, &S::type4Float2, &S::type4Float3, &S::type4Float7, &S::type4Flag1,
         &S::type4Flag3, &S::type4Float4, &S::type4Float5, &S::type4Float6, &S::type4Flag4,
         &S::type4Flag5, &S::type4Flag2}};
    return blocks[type];
}

template <class... F>
struct Overload : F... {
    using F::operator()...;
};
template <class... F>
Overload(F...) -> Overload<F...>;

// The first chunk of that tag in pre-order, or null.
inline Chunk* FindChunk(Chunk& c, std::string_view tag) {
    if (c.tag == tag) return &c;
    for (Chunk& child : c.children)
        if (Chunk* found = FindChunk(child, tag)) return found;
    return nullptr;
}

inline std::size_t OffsetOf(const std::vector<ChunkPlace>& places, std::string_view tag) {
    for (const ChunkPlace& p : places) {
        if (p.tag == tag) return p.offset;
    }
    throw std::out_of_range("no chunk " + std::string(tag));
}

// ---- Example tracks ----

// Every chunk's header in the model, in the order a save writes the chunks.
inline constexpr std::pair<std::string_view, ChunkHeader TrackModel::*> kHeaders[] = {
    {"SKYV", &TrackModel::skyvHeader}, {"TRCK", &TrackModel::trckHeader},
    {"INFO", &TrackModel::infoHeader}, {"BEZR", &TrackModel::bezrHeader},
    {"SEGM", &TrackModel::segmHeader}, {"SUPP", &TrackModel::suppHeader},
    {"FUND", &TrackModel::fundHeader}, {"RASC", &TrackModel::rascHeader},
    {"FREN", &TrackModel::frenHeader}, {"TUBE", &TrackModel::tubeHeader},
    {"CATW", &TrackModel::catwHeader}, {"SCEN", &TrackModel::scenHeader},
    {"SCOB", &TrackModel::scobHeader}, {"TERA", &TrackModel::teraHeader}};

// The model without what a load takes from the frame: sizes, child counts, version bytes.
inline TrackModel Headerless(TrackModel m) {
    for (const auto& [tag, header] : kHeaders) m.*header = {};
    m.versionBytes = {};
    return m;
}

// The model with every terrain value as a load of a file without TERA leaves it.
inline TrackModel WithoutTerrain(TrackModel m) {
    const TrackModel blank;
    m.teraHeader = blank.teraHeader;
    m.terrainPresent = false;
    m.terrainColumns = m.terrainRows = 0;
    m.terrainParam1 = m.terrainParam2 = m.terrainParam3 = m.terrainParam4 = m.terrainParam5 = 0;
    m.terrainText1 = m.terrainText2 = m.terrainText3 = Text{};
    m.terrainByte = 0;
    m.terrainOption = false;
    m.terrainGrid.clear();
    return m;
}

// Distinct values, so that two fields swapped in the file cannot go unnoticed.
class FloatSeq {
public:
    float operator()() { return next_ += 1.25f; }
    std::uint8_t NextByte() { return static_cast<std::uint8_t>(0x90 + (count_++ * 7) % 0x60); }
    std::vector<float> Floats(std::size_t count) {
        std::vector<float> values(count);
        for (float& v : values) v = (*this)();
        return values;
    }

private:
    float next_ = 0.5f;
    int count_ = 0;
};

inline BezierVertex MakeVertex(FloatSeq& f, bool a, bool b, bool c) {
    const std::vector<float> v = f.Floats(10);
    return {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], a, b, c};
}

// A segment of the type with distinct values; of its block's flags, in file order, only the
// hot-th is true.
inline SegmentEntry MakeSegment(std::int32_t type, int hot, FloatSeq& f) {
    SegmentEntry s;
    s.segmentType = type;
    s.values24 = {0x10203 * (hot + 1), 0xFFFFFF - hot, 0x800000 + type};
    s.flag1 = hot % 2 == 0;
    s.flag2 = !s.flag1;
    if (type < 0 || type > 4) return s;
    int flag = 0;
    for (const SegmentField& field : SegmentBlock(type)) {
        std::visit(Overload{[&](float SegmentEntry::*p) { s.*p = f(); },
                            [&](std::uint8_t SegmentEntry::*p) { s.*p = f.NextByte(); },
                            [&](bool SegmentEntry::*p) { s.*p = flag++ == hot; }},
                   field);
    }
    return s;
}

inline SceneryObject MakeObject(Text text1, Text text2, FloatSeq& f) {
    SceneryObject o{std::move(text1), std::move(text2), {}};
    for (float& v : o.values) v = f();
    return o;
}

// A terrain of 3 x 2 heights with distinct values.
inline void SetTerrain(TrackModel& m, FloatSeq& f, Text text1, Text text2, Text text3,
                       std::uint8_t byte) {
    m.terrainPresent = true;
    m.terrainColumns = 3;
    m.terrainRows = 2;
    m.terrainParam1 = f(), m.terrainParam2 = f(), m.terrainParam3 = f();
    m.terrainParam4 = f(), m.terrainParam5 = f();
    m.terrainText1 = std::move(text1), m.terrainText2 = std::move(text2);
    m.terrainText3 = std::move(text3);
    m.terrainByte = byte;
    m.terrainOption = true;
    m.terrainGrid = f.Floats(6);
}

// One record of each kind, and a terrain of six heights.
inline TrackModel ExampleModel() {
    FloatSeq f;
    TrackModel m;
    m.versionBytes = {9, 8, 7, 6};
    m.trckLeadingValue = 0x01020304;
    m.trckTrailingValue = -7;
    m.trckValues24 = {1, 0x123456, 0xFFFFFF, 0x800000, 0x00FF00, 7, 8, 0x0A0B0C};
    m.trckRecords = {TrackEntry{true, {0x123456, 1, 0xFFFFFF, 0}, U"Lift"}};
    m.infoText = U"Hill Run";
    m.bezrRecords = {MakeVertex(f, true, false, true)};
    m.segmFlag = true;
    m.segmRecords = {MakeSegment(1, 0, f)};
    m.segmRecords[0].type1Flag3 = true;
    m.fundRecords = {FundEntry{f(), f(), f(), true, f(), false, f()}};
    m.rascRecords = {RascEntry{2, {RascItem{-5, f()}, RascItem{70000, f()}}}};
    m.frenRecords = {FrenEntry{f(), f(), f()}};
    m.tubeRecords = {TubeEntry{1, 2, 3, 4, 5, 6, 7, 8, f()}};
    m.catwRecords = {CatwalkEntry{11, 12, 13, 14, 15, 16, 3}};
    m.scenRecords = {SceneryEntry{f(), f(), f(), f(), -42}};
    m.scobRecords = {MakeObject(U"Tree", U"Oak", f)};
    SetTerrain(m, f, U"a", U"bc", U"", 0xAB);
    return m;
}

// Several records of each kind: every flag set alone somewhere, segments of every type and two
// outside 0 to 4, RASC item counts of 1, 0, 2 and -3, catwalk extra bytes, texts with the bytes
// from 0x80 to 0x9F, terrain.
inline TrackModel RichModel() {
    FloatSeq f;
    TrackModel m;
    m.trckLeadingValue = -123456;
    m.trckTrailingValue = 0x7FFFFFFF;
    m.trckValues24 = {0xFFFFFF, 0, 0x010000, 0x000100, 0x000001, 0xABCDEF, 0x7F7F7F, 0x808080};
    m.trckRecords = {TrackEntry{true, {1, 2, 3, 4}, U"Station"},
                     TrackEntry{false, {0xFFFFFF, 0, 0x123456, 9}, U""},
                     TrackEntry{false, {5, 6, 7, 8}, U"\u20AC\u2030\u0081x"}};
    m.infoText = U"Rich track \u2013 \u00E9\u009D";
    m.bezrRecords = {MakeVertex(f, true, false, false), MakeVertex(f, false, true, false),
                     MakeVertex(f, false, false, true)};
    m.segmFlag = true;
    // Segments of every type and two outside 0 to 4, as type and hot flag: every flag alone.
    const std::pair<int, int> segments[] = {{0, 0}, {7, 1}, {1, 0}, {1, 1}, {1, 2},
                                            {2, 0}, {2, 1}, {3, 0}, {3, 1}, {-2, 0},
                                            {4, 0}, {4, 1}, {4, 2}, {4, 3}, {4, 4}};
    for (auto [type, hot] : segments) m.segmRecords.push_back(MakeSegment(type, hot, f));
    m.fundRecords = {FundEntry{f(), f(), f(), true, f(), false, f()},
                     FundEntry{f(), f(), f(), false, f(), true, f()}};
    m.rascRecords = {RascEntry{1, {RascItem{3, f()}}}, RascEntry{0, {}},
                     RascEntry{2, {RascItem{-1, f()}, RascItem{0x7FFFFFFF, f()}}},
                     RascEntry{-3, {}}};
    m.frenRecords = {FrenEntry{f(), f(), f()}, FrenEntry{f(), f(), f()}};
    m.tubeRecords = {TubeEntry{1, 2, 3, 4, 5, 6, 7, 8, f()},
                     TubeEntry{-1, -2, -3, -4, -5, -6, -7, -8, f()}};
    m.catwRecords = {CatwalkEntry{1, 2, 3, 4, 5, 6, 0}, CatwalkEntry{-1, -2, -3, -4, -5, -6, 5}};
    m.scenRecords = {SceneryEntry{f(), f(), f(), f(), 17}, SceneryEntry{f(), f(), f(), f(), -17}};
    m.scobRecords = {MakeObject(U"Tree \u00BC", U"Oak", f), MakeObject(U"", U"\u0090x", f)};
    SetTerrain(m, f, U"grass", U"", U"\u00DF", 0xC3);
    return m;
}

// ---- Files ----

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        do {  // until one that was not there
            path_ =
                std::filesystem::temp_directory_path() / ("railgrace-" + std::to_string(random()));
        } while (!std::filesystem::create_directory(path_));
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // A path in the folder as the program takes it: UTF-8, with "/" between names on every
    // system.
    std::string operator/(const std::string& name) const {
        const std::u8string path = (path_ / Utf8Path(name)).generic_u8string();
        return std::string(path.begin(), path.end());
    }

    std::string Write(const std::string& name, const Bytes& bytes) const {
        const std::string file = *this / name;
        std::ofstream out(Utf8Path(file), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return file;
    }

    // The names in the folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(Utf8String(entry.path().filename()));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

}  // namespace railgrace::test
