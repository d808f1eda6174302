// Track files built byte by byte for the tests.
//
// The file layout is written down here a second time, from the format alone and without the
// module's writer, so that a fault in the reader or the writer cannot hide behind the same fault in
// the other. Every record helper appends its fields in file order, which differs from the declared
// order in BEZR, FUND, TUBE, SCOB and every SEGM type block.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// What a loader must tolerate in a file. The defaults give the tidy bytes that a save writes.
struct Mess {
    std::uint8_t reserved = 0x00;             // filler of every reserved run
    std::uint8_t trueFlag = 0xFF;             // the byte that stands for true
    std::uint8_t uint24Lead = 0x00;           // the ignored first byte of every uint24
    std::optional<std::int32_t> blockLength;  // a lying SEGM block length
    std::uint8_t extraFill = 0x00;            // the extra bytes behind catwalk records
    bool lowerCaseTags = false;
};

// A reserved run and a uint24 field, told apart from other values by their type.
struct Gap {
    std::size_t count;
};
struct U24 {
    std::int32_t value;
};

// Appends each value as the field its type stands for: std::uint8_t a byte, bool a flag,
// std::int32_t and float 4 bytes big-endian, U24 a uint24, Text its int32 length and its
// characters, Gap a reserved run, Bytes and a vector of floats one after the other.
class ByteBuilder {
public:
    explicit ByteBuilder(const Mess& m = {}) : mess(m) {}

    template <class... Values>
    ByteBuilder& Put(const Values&... values) {
        (Add(values), ...);
        return *this;
    }

    Mess mess;
    Bytes bytes;

private:
    void Add(std::uint8_t v) { bytes.push_back(v); }
    void Add(bool v) { Add(v ? mess.trueFlag : std::uint8_t{0}); }
    void Add(std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) Add(static_cast<std::uint8_t>(v >> shift));
    }
    void Add(std::int32_t v) { Add(static_cast<std::uint32_t>(v)); }
    void Add(float v) { Add(std::bit_cast<std::uint32_t>(v)); }
    void Add(U24 v) {
        Add((static_cast<std::uint32_t>(v.value) & 0xFFFFFFu) | std::uint32_t{mess.uint24Lead}
                                                                    << 24);
    }
    void Add(Gap gap) { bytes.insert(bytes.end(), gap.count, mess.reserved); }
    void Add(const Bytes& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }
    void Add(const std::vector<float>& values) {
        for (float v : values) Add(v);
    }
    void Add(const Text& text) {
        Add(static_cast<std::int32_t>(text.size()));
        for (char32_t c : text) {
            int b = 0;
            while (b < 256 && Cp1252Char(static_cast<std::uint8_t>(b)) != c) ++b;
            if (b == 256) throw std::logic_error("test text holds a character without a byte");
            Add(static_cast<std::uint8_t>(b));
        }
    }
};

// Overwrites the big-endian int32 at offset of an image.
inline void PatchInt32(Bytes& image, std::size_t offset, std::int32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        image.at(offset + i) =
            static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (24 - 8 * i));
    }
}

// ---- Records, each in file order ----

inline void Put(ByteBuilder& b, const TrackEntry& e) {
    b.Put(e.flag, Gap{7}, e.text);
    for (UInt24 v : e.values24) b.Put(U24{v});
}

inline void Put(ByteBuilder& b, const BezierVertex& v) {
    b.Put(v.posX, v.posY, v.posZ, v.cp1X, v.cp1Y, v.cp1Z, v.cp2X, v.cp2Y, v.cp2Z, v.auxValue,
          v.auxFlagA, v.auxFlagC, v.auxFlagB, Gap{17});
}

// Types 0 to 4 carry a block length and a block of 0, 126, 36, 28 or 50 bytes.
inline void Put(ByteBuilder& b, const SegmentEntry& s) {
    b.Put(s.segmentType, s.flag1, U24{s.values24[0]}, U24{s.values24[1]}, U24{s.values24[2]},
          s.flag2, Gap{15});
    if (s.segmentType < 0 || s.segmentType > 4) return;
    constexpr std::int32_t kBlockLength[] = {0, 126, 36, 28, 50};
    b.Put(b.mess.blockLength.value_or(kBlockLength[s.segmentType]));
    if (s.segmentType == 1) {
        b.Put(s.type1Float1, s.type1Float2, s.type1Float3, s.type1Float4, s.type1Byte1,
              s.type1Byte2, s.type1Flag1, s.type1Byte3, s.type1Float5, Gap{4}, s.type1Flag3,
              s.type1Float9, Gap{4}, s.type1Float10, s.type1Float11, Gap{4}, s.type1Flag2,
              s.type1Float6, s.type1Float7, s.type1Float8, Gap{64});
    } else if (s.segmentType == 2) {
        b.Put(Gap{3}, s.type2Byte1, s.type2Float1, s.type2Float2, s.type2Float3, Gap{4},
              s.type2Flag1, s.type2Flag2, Gap{14});
    } else if (s.segmentType == 3) {
        b.Put(s.type3Float1, s.type3Float2, s.type3Float3, Gap{3}, s.type3Byte1, s.type3Flag1,
              s.type3Flag2, Gap{10});
    } else if (s.segmentType == 4) {
        b.Put(s.type4Float1, s.type4Float2, s.type4Float3, Gap{4}, s.type4Float7, s.type4Flag1,
              s.type4Flag3, s.type4Float4, s.type4Float5, s.type4Float6, s.type4Flag4, s.type4Flag5,
              s.type4Flag2, Gap{13});
    }
}

inline void Put(ByteBuilder& b, const FundEntry& e) {
    b.Put(e.flag1, e.float4, e.flag2, e.float5, Gap{6}, e.float1, e.float2, e.float3, Gap{64});
}

inline void Put(ByteBuilder& b, const RascEntry& e) {
    b.Put(e.itemCount);
    for (const RascItem& item : e.items) b.Put(item.int1, item.float1, Gap{16});
}

inline void Put(ByteBuilder& b, const FrenEntry& e) {
    b.Put(e.float1, e.float2, e.float3, Gap{16});
}

inline void Put(ByteBuilder& b, const TubeEntry& e) {
    b.Put(e.int1, e.int3, e.int2, Gap{4}, e.int4, e.int6, e.int5, Gap{4}, e.int7, e.int8, e.float1,
          Gap{4});
}

inline void Put(ByteBuilder& b, const CatwalkEntry& e) {
    b.Put(e.int1, e.int2, e.int3, e.int4, e.int5, e.int6, e.extraLength);
    b.Put(Bytes(static_cast<std::size_t>(std::max(e.extraLength, 0)), b.mess.extraFill));
}

inline void Put(ByteBuilder& b, const SceneryEntry& e) {
    b.Put(e.float1, e.float2, e.float3, e.int1, e.float4, Gap{44});
}

inline void Put(ByteBuilder& b, const SceneryObject& o) {
    b.Put(o.text2, o.text1);
    for (int i : {0, 1, 2, 9, 3, 4, 5, 10, 6, 7, 8, 11, 12, 13, 14}) {
        b.Put(o.values[static_cast<std::size_t>(i)]);
    }
    b.Put(Gap{20});
}

// ---- Own content of each chunk kind: the bytes between the size and the child
// count ----

inline Bytes RootContent(std::array<std::uint8_t, 4> version, const Mess& mess = {}) {
    return ByteBuilder(mess).Put(version[0], version[1], version[2], version[3], Gap{16}).bytes;
}

inline Bytes InfoContent(const Text& text, const Mess& mess = {}) {
    return ByteBuilder(mess).Put(Gap{16}, text).bytes;
}

// BEZR, FUND, RASC, FREN, TUBE, CATW, SCEN and SCOB.
template <class Record>
Bytes ListContent(const std::vector<Record>& records, const Mess& mess = {}) {
    ByteBuilder b(mess);
    b.Put(Gap{16}, static_cast<std::int32_t>(records.size()));
    for (const Record& r : records) Put(b, r);
    return b.Put(Gap{16}).bytes;
}

// ---- Chunk frames and whole files ----

struct Chunk {
    std::string tag;
    Bytes content;
    std::vector<Chunk> children;
    std::optional<std::int32_t> size;        // as stored; by default computed
    std::optional<std::int32_t> childCount;  // as stored; by default the number of children
    bool bare = false;  // an unknown chunk of tag, size and content only, without
                        // a child count
};

inline Chunk MakeChunk(std::string tag, Bytes content, std::vector<Chunk> children = {}) {
    Chunk c;
    c.tag = std::move(tag);
    c.content = std::move(content);
    c.children = std::move(children);
    return c;
}

// Own content plus every child's size + 12.
inline std::int32_t StoredSize(const Chunk& c) {
    if (c.size) return *c.size;
    auto total = static_cast<std::int64_t>(c.content.size());
    for (const Chunk& child : c.children) total += std::int64_t{StoredSize(child)} + 12;
    return static_cast<std::int32_t>(total);
}

struct ChunkPlace {
    std::string tag;
    std::size_t offset = 0;
};

// Appends the chunk and its children in pre-order; where, when given, receives each tag's offset.
inline void Emit(ByteBuilder& b, const Chunk& c, std::vector<ChunkPlace>* where = nullptr) {
    if (where) where->push_back({c.tag, b.bytes.size()});
    for (char ch : c.tag) {
        const bool lower = b.mess.lowerCaseTags && ch >= 'A' && ch <= 'Z';
        b.Put(static_cast<std::uint8_t>(lower ? ch - 'A' + 'a' : ch));
    }
    b.Put(StoredSize(c), c.content);
    if (c.bare) return;
    b.Put(c.childCount.value_or(static_cast<std::int32_t>(c.children.size())));
    for (const Chunk& child : c.children) Emit(b, child, where);
}

inline Bytes Image(const Chunk& root, const Mess& mess = {},
                   std::vector<ChunkPlace>* where = nullptr) {
    ByteBuilder b(mess);
    Emit(b, root, where);
    return b.bytes;
}

// The fixed tree that a save writes, with the content of m. INFO's size leaves out its text's
// length field, as the simulator's files count it.
inline Chunk FileTree(const TrackModel& m, const Mess& mess = {},
                      std::array<std::uint8_t, 4> version = {1, 3, 0, 0}) {
    ByteBuilder trck(mess), segm(mess), tera(mess);
    trck.Put(m.trckLeadingValue, static_cast<std::int32_t>(m.trckRecords.size()),
             m.trckTrailingValue);
    for (const TrackEntry& e : m.trckRecords) Put(trck, e);
    for (UInt24 v : m.trckValues24) trck.Put(U24{v});
    segm.Put(static_cast<std::int32_t>(m.segmRecords.size()), m.segmFlag, Gap{16});
    for (const SegmentEntry& s : m.segmRecords) Put(segm, s);
    tera.Put(m.terrainColumns, m.terrainRows, m.terrainParam1, m.terrainParam2, m.terrainText1,
             m.terrainParam3, m.terrainText2, m.terrainParam4, m.terrainOption, Gap{4},
             m.terrainText3, m.terrainParam5, m.terrainByte, Gap{15}, m.terrainGrid, Gap{16});

    Chunk info = MakeChunk("INFO", InfoContent(m.infoText, mess));
    info.size = static_cast<std::int32_t>(info.content.size()) - 4;
    Chunk supp = MakeChunk("SUPP", Bytes(32, mess.reserved),
                           {MakeChunk("FUND", ListContent(m.fundRecords, mess)),
                            MakeChunk("RASC", ListContent(m.rascRecords, mess)),
                            MakeChunk("FREN", ListContent(m.frenRecords, mess)),
                            MakeChunk("TUBE", ListContent(m.tubeRecords, mess)),
                            MakeChunk("CATW", ListContent(m.catwRecords, mess))});
    Chunk root = MakeChunk("SKYV", RootContent(version, mess),
                           {MakeChunk("TRCK", trck.Put(Gap{16}).bytes,
                                      {info, MakeChunk("BEZR", ListContent(m.bezrRecords, mess)),
                                       MakeChunk("SEGM", segm.Put(Gap{16}).bytes), supp}),
                            MakeChunk("SCEN", ListContent(m.scenRecords, mess),
                                      {MakeChunk("SCOB", ListContent(m.scobRecords, mess))})});
    if (m.terrainPresent) root.children.push_back(MakeChunk("TERA", tera.bytes));
    return root;
}

// The bytes that saving m must give.
inline Bytes SavedImage(const TrackModel& m) {
    return Image(FileTree(m));
}

// The first chunk of that tag in pre-order.
inline Chunk& FindChunk(Chunk& root, std::string_view tag) {
    std::vector<Chunk*> pending = {&root};
    while (!pending.empty()) {
        Chunk* c = pending.back();
        pending.pop_back();
        if (c->tag == tag) return *c;
        for (auto it = c->children.rbegin(); it != c->children.rend(); ++it)
            pending.push_back(&*it);
    }
    throw std::out_of_range("no chunk " + std::string(tag));
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

// A segment of the type with distinct values; of its block's flags only the hot-th is true.
inline SegmentEntry MakeSegment(std::int32_t type, int hot, FloatSeq& f) {
    SegmentEntry s;
    s.segmentType = type;
    s.values24 = {0x10203 * (hot + 1), 0xFFFFFF - hot, 0x800000 + type};
    s.flag1 = hot % 2 == 0;
    s.flag2 = !s.flag1;
    std::vector<float*> floats;
    std::vector<std::uint8_t*> bytes;
    std::vector<bool*> flags;
    if (type == 1) {
        floats = {&s.type1Float1, &s.type1Float2,  &s.type1Float3, &s.type1Float4,
                  &s.type1Float5, &s.type1Float6,  &s.type1Float7, &s.type1Float8,
                  &s.type1Float9, &s.type1Float10, &s.type1Float11};
        bytes = {&s.type1Byte1, &s.type1Byte2, &s.type1Byte3};
        flags = {&s.type1Flag1, &s.type1Flag2, &s.type1Flag3};
    } else if (type == 2) {
        floats = {&s.type2Float1, &s.type2Float2, &s.type2Float3};
        bytes = {&s.type2Byte1};
        flags = {&s.type2Flag1, &s.type2Flag2};
    } else if (type == 3) {
        floats = {&s.type3Float1, &s.type3Float2, &s.type3Float3};
        bytes = {&s.type3Byte1};
        flags = {&s.type3Flag1, &s.type3Flag2};
    } else if (type == 4) {
        floats = {&s.type4Float1, &s.type4Float2, &s.type4Float3, &s.type4Float4,
                  &s.type4Float5, &s.type4Float6, &s.type4Float7};
        flags = {&s.type4Flag1, &s.type4Flag2, &s.type4Flag3, &s.type4Flag4, &s.type4Flag5};
    }
    for (float* p : floats) *p = f();
    for (std::uint8_t* p : bytes) *p = f.NextByte();
    for (std::size_t i = 0; i < flags.size(); ++i) *flags[i] = std::cmp_equal(i, hot);
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

// One record of each kind, small enough that its sizes are worked out by hand in the tests.
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
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ =
                std::filesystem::temp_directory_path() / ("railgrace-" + std::to_string(random()));
            if (std::filesystem::create_directory(path_)) return;  // not one that was there
        }
        throw std::runtime_error("no temporary folder");
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

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(Utf8Path(path), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace railgrace::test
