// Track files built byte by byte for the tests.
//
// The file layout is written down here a second time, from the format alone and without the
// module's writer, so that a fault in the reader or the writer cannot hide behind the same fault
// in the other. Every record helper appends its fields in file order, which differs from the
// declared order in BEZR, FUND, TUBE, SCOB and every SEGM type block.
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
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "track/TrackModel.h"

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

inline std::uint8_t Cp1252Byte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<std::uint8_t>(c);
    const auto* it = std::find(kCp1252High.begin(), kCp1252High.end(), c);
    if (it == kCp1252High.end()) throw std::logic_error("test text holds a character without byte");
    return static_cast<std::uint8_t>(0x80 + (it - kCp1252High.begin()));
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

class ByteBuilder {
public:
    explicit ByteBuilder(const Mess& mess = {}) : mess_(mess) {}

    ByteBuilder& Byte(std::uint8_t value) {
        bytes_.push_back(value);
        return *this;
    }
    ByteBuilder& Word(std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            Byte(static_cast<std::uint8_t>(value >> shift));
        return *this;
    }
    ByteBuilder& Int32(std::int32_t value) { return Word(static_cast<std::uint32_t>(value)); }
    ByteBuilder& Float(float value) { return Word(std::bit_cast<std::uint32_t>(value)); }
    ByteBuilder& UInt24(std::int32_t value) {
        Byte(mess_.uint24Lead);
        const auto v = static_cast<std::uint32_t>(value);
        return Byte(static_cast<std::uint8_t>(v >> 16))
            .Byte(static_cast<std::uint8_t>(v >> 8))
            .Byte(static_cast<std::uint8_t>(v));
    }
    ByteBuilder& Flag(bool value) { return Byte(value ? mess_.trueFlag : std::uint8_t{0}); }
    ByteBuilder& Tag(std::string_view tag) {
        for (char c : tag) {
            const bool upper = c >= 'A' && c <= 'Z';
            Byte(static_cast<std::uint8_t>(mess_.lowerCaseTags && upper ? c - 'A' + 'a' : c));
        }
        return *this;
    }
    ByteBuilder& TextBytes(const Text& text) {
        for (char32_t c : text) Byte(Cp1252Byte(c));
        return *this;
    }
    // The int32 length, then the characters.
    ByteBuilder& LongText(const Text& text) {
        return Int32(static_cast<std::int32_t>(text.size())).TextBytes(text);
    }
    ByteBuilder& Fill(std::size_t count, std::uint8_t value) {
        bytes_.insert(bytes_.end(), count, value);
        return *this;
    }
    ByteBuilder& Zeros(std::size_t count) { return Fill(count, 0); }
    ByteBuilder& Reserved(std::size_t count) { return Fill(count, mess_.reserved); }
    ByteBuilder& Append(const Bytes& more) {
        bytes_.insert(bytes_.end(), more.begin(), more.end());
        return *this;
    }

    std::size_t Size() const { return bytes_.size(); }
    const Bytes& Data() const { return bytes_; }
    const Mess& mess() const { return mess_; }

private:
    Mess mess_;
    Bytes bytes_;
};

// Overwrites the big-endian int32 at offset of an image.
inline void PatchInt32(Bytes& image, std::size_t offset, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i) {
        image.at(offset + i) = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    }
}

// ---- Records, each in file order ----

inline void AppendRecord(ByteBuilder& b, const TrackEntry& e) {
    b.Flag(e.flag).Reserved(7).LongText(e.text);
    for (UInt24 v : e.values24) b.UInt24(v);
}

inline void AppendRecord(ByteBuilder& b, const BezierVertex& v) {
    for (float f :
         {v.posX, v.posY, v.posZ, v.cp1X, v.cp1Y, v.cp1Z, v.cp2X, v.cp2Y, v.cp2Z, v.auxValue}) {
        b.Float(f);
    }
    b.Flag(v.auxFlagA).Flag(v.auxFlagC).Flag(v.auxFlagB).Reserved(17);
}

inline std::int32_t BlockLength(std::int32_t segmentType) {
    static constexpr std::array<std::int32_t, 5> kLengths = {0, 126, 36, 28, 50};
    return kLengths.at(static_cast<std::size_t>(segmentType));
}

inline void AppendBlock1(ByteBuilder& b, const SegmentEntry& s) {
    b.Float(s.type1Float1).Float(s.type1Float2).Float(s.type1Float3).Float(s.type1Float4);
    b.Byte(s.type1Byte1).Byte(s.type1Byte2).Flag(s.type1Flag1).Byte(s.type1Byte3);
    b.Float(s.type1Float5).Reserved(4).Flag(s.type1Flag3).Float(s.type1Float9).Reserved(4);
    b.Float(s.type1Float10).Float(s.type1Float11).Reserved(4).Flag(s.type1Flag2);
    b.Float(s.type1Float6).Float(s.type1Float7).Float(s.type1Float8).Reserved(64);
}

inline void AppendBlock2(ByteBuilder& b, const SegmentEntry& s) {
    b.Reserved(3).Byte(s.type2Byte1).Float(s.type2Float1).Float(s.type2Float2);
    b.Float(s.type2Float3).Reserved(4).Flag(s.type2Flag1).Flag(s.type2Flag2).Reserved(14);
}

inline void AppendBlock3(ByteBuilder& b, const SegmentEntry& s) {
    b.Float(s.type3Float1).Float(s.type3Float2).Float(s.type3Float3).Reserved(3);
    b.Byte(s.type3Byte1).Flag(s.type3Flag1).Flag(s.type3Flag2).Reserved(10);
}

inline void AppendBlock4(ByteBuilder& b, const SegmentEntry& s) {
    b.Float(s.type4Float1).Float(s.type4Float2).Float(s.type4Float3).Reserved(4);
    b.Float(s.type4Float7).Flag(s.type4Flag1).Flag(s.type4Flag3);
    b.Float(s.type4Float4).Float(s.type4Float5).Float(s.type4Float6);
    b.Flag(s.type4Flag4).Flag(s.type4Flag5).Flag(s.type4Flag2).Reserved(13);
}

inline void AppendRecord(ByteBuilder& b, const SegmentEntry& s) {
    b.Int32(s.segmentType).Flag(s.flag1);
    for (UInt24 v : s.values24) b.UInt24(v);
    b.Flag(s.flag2).Reserved(15);
    if (s.segmentType < 0 || s.segmentType > 4) return;
    b.Int32(b.mess().blockLength.value_or(BlockLength(s.segmentType)));
    if (s.segmentType == 1) AppendBlock1(b, s);
    if (s.segmentType == 2) AppendBlock2(b, s);
    if (s.segmentType == 3) AppendBlock3(b, s);
    if (s.segmentType == 4) AppendBlock4(b, s);
}

inline void AppendRecord(ByteBuilder& b, const FundEntry& e) {
    b.Flag(e.flag1).Float(e.float4).Flag(e.flag2).Float(e.float5).Reserved(6);
    b.Float(e.float1).Float(e.float2).Float(e.float3).Reserved(64);
}

inline void AppendRecord(ByteBuilder& b, const RascEntry& e) {
    b.Int32(e.itemCount);
    for (const RascItem& item : e.items) b.Int32(item.int1).Float(item.float1).Reserved(16);
}

inline void AppendRecord(ByteBuilder& b, const FrenEntry& e) {
    b.Float(e.float1).Float(e.float2).Float(e.float3).Reserved(16);
}

inline void AppendRecord(ByteBuilder& b, const TubeEntry& e) {
    b.Int32(e.int1).Int32(e.int3).Int32(e.int2).Reserved(4);
    b.Int32(e.int4).Int32(e.int6).Int32(e.int5).Reserved(4);
    b.Int32(e.int7).Int32(e.int8).Float(e.float1).Reserved(4);
}

inline void AppendRecord(ByteBuilder& b, const CatwalkEntry& e) {
    for (std::int32_t v : {e.int1, e.int2, e.int3, e.int4, e.int5, e.int6, e.extraLength}) {
        b.Int32(v);
    }
    if (e.extraLength > 0) b.Fill(static_cast<std::size_t>(e.extraLength), b.mess().extraFill);
}

inline void AppendRecord(ByteBuilder& b, const SceneryEntry& e) {
    b.Float(e.float1).Float(e.float2).Float(e.float3).Int32(e.int1).Float(e.float4);
    b.Reserved(44);
}

inline void AppendRecord(ByteBuilder& b, const SceneryObject& o) {
    b.LongText(o.text2).LongText(o.text1);
    for (std::size_t i : {0, 1, 2, 9, 3, 4, 5, 10, 6, 7, 8, 11, 12, 13, 14}) b.Float(o.values[i]);
    b.Reserved(20);
}

// ---- Own content of each chunk kind: the bytes between the size and the child count ----

inline Bytes RootContent(std::array<std::uint8_t, 4> version, const Mess& mess = {}) {
    ByteBuilder b(mess);
    for (std::uint8_t v : version) b.Byte(v);
    return b.Reserved(16).Data();
}

inline Bytes TrckContent(const TrackModel& m, const Mess& mess = {}) {
    ByteBuilder b(mess);
    b.Int32(m.trckLeadingValue).Int32(static_cast<std::int32_t>(m.trckRecords.size()));
    b.Int32(m.trckTrailingValue);
    for (const TrackEntry& e : m.trckRecords) AppendRecord(b, e);
    for (UInt24 v : m.trckValues24) b.UInt24(v);
    return b.Reserved(16).Data();
}

inline Bytes InfoContent(const Text& text, const Mess& mess = {}) {
    return ByteBuilder(mess).Reserved(16).LongText(text).Data();
}

// BEZR, FUND, RASC, FREN, TUBE, CATW, SCEN and SCOB.
template <class Record>
Bytes ListContent(const std::vector<Record>& records, const Mess& mess = {}) {
    ByteBuilder b(mess);
    b.Reserved(16).Int32(static_cast<std::int32_t>(records.size()));
    for (const Record& r : records) AppendRecord(b, r);
    return b.Reserved(16).Data();
}

inline Bytes SegmContent(bool flag, const std::vector<SegmentEntry>& records,
                         const Mess& mess = {}) {
    ByteBuilder b(mess);
    b.Int32(static_cast<std::int32_t>(records.size())).Flag(flag).Reserved(16);
    for (const SegmentEntry& s : records) AppendRecord(b, s);
    return b.Reserved(16).Data();
}

inline Bytes SuppContent(const Mess& mess = {}) {
    return ByteBuilder(mess).Reserved(32).Data();
}

inline Bytes TeraContent(const TrackModel& m, const Mess& mess = {}) {
    ByteBuilder b(mess);
    b.Int32(m.terrainColumns).Int32(m.terrainRows).Float(m.terrainParam1).Float(m.terrainParam2);
    b.LongText(m.terrainText1).Float(m.terrainParam3).LongText(m.terrainText2);
    b.Float(m.terrainParam4).Flag(m.terrainOption).Reserved(4).LongText(m.terrainText3);
    b.Float(m.terrainParam5).Byte(m.terrainByte).Reserved(15);
    for (float v : m.terrainGrid) b.Float(v);
    return b.Reserved(16).Data();
}

// ---- Chunk frames and whole files ----

struct Chunk {
    std::string tag;
    Bytes content;
    std::vector<Chunk> children;
    std::optional<std::int32_t> size;        // as stored; by default computed
    std::int32_t sizeShortBy = 0;            // the saver's INFO size is 4 short of its content
    std::optional<std::int32_t> childCount;  // as stored; by default the number of children
    bool bare = false;  // an unknown chunk of tag, size and content only, without a child count
};

inline Chunk MakeChunk(std::string tag, Bytes content, std::vector<Chunk> children = {}) {
    Chunk c;
    c.tag = std::move(tag);
    c.content = std::move(content);
    c.children = std::move(children);
    return c;
}

// Own content plus every child's size + 12, less what the chunk is short by.
inline std::int32_t StoredSize(const Chunk& c) {
    if (c.size) return *c.size;
    auto total = static_cast<std::int64_t>(c.content.size()) - c.sizeShortBy;
    for (const Chunk& child : c.children) total += std::int64_t{StoredSize(child)} + 12;
    return static_cast<std::int32_t>(total);
}

struct ChunkPlace {
    std::string tag;
    std::size_t offset = 0;
};

// Appends the chunk and its children in pre-order; where, when given, receives each tag's offset.
inline void Emit(ByteBuilder& b, const Chunk& c, std::vector<ChunkPlace>* where = nullptr) {
    if (where) where->push_back({c.tag, b.Size()});
    b.Tag(c.tag).Int32(StoredSize(c)).Append(c.content);
    if (c.bare) return;
    b.Int32(c.childCount.value_or(static_cast<std::int32_t>(c.children.size())));
    for (const Chunk& child : c.children) Emit(b, child, where);
}

inline Bytes Image(const Chunk& root, const Mess& mess = {},
                   std::vector<ChunkPlace>* where = nullptr) {
    ByteBuilder b(mess);
    Emit(b, root, where);
    return b.Data();
}

// The fixed tree that a save writes, with the content of m.
inline Chunk FileTree(const TrackModel& m, const Mess& mess = {},
                      std::array<std::uint8_t, 4> version = {1, 3, 0, 0}) {
    Chunk info = MakeChunk("INFO", InfoContent(m.infoText, mess));
    info.sizeShortBy = 4;
    Chunk supp = MakeChunk("SUPP", SuppContent(mess),
                           {MakeChunk("FUND", ListContent(m.fundRecords, mess)),
                            MakeChunk("RASC", ListContent(m.rascRecords, mess)),
                            MakeChunk("FREN", ListContent(m.frenRecords, mess)),
                            MakeChunk("TUBE", ListContent(m.tubeRecords, mess)),
                            MakeChunk("CATW", ListContent(m.catwRecords, mess))});
    Chunk trck = MakeChunk("TRCK", TrckContent(m, mess),
                           {info, MakeChunk("BEZR", ListContent(m.bezrRecords, mess)),
                            MakeChunk("SEGM", SegmContent(m.segmFlag, m.segmRecords, mess)), supp});
    Chunk scen = MakeChunk("SCEN", ListContent(m.scenRecords, mess),
                           {MakeChunk("SCOB", ListContent(m.scobRecords, mess))});
    Chunk root = MakeChunk("SKYV", RootContent(version, mess), {trck, scen});
    if (m.terrainPresent) root.children.push_back(MakeChunk("TERA", TeraContent(m, mess)));
    return root;
}

// The bytes that saving m must give.
inline Bytes SavedImage(const TrackModel& m) {
    return Image(FileTree(m));
}

inline Chunk* FindChunkOrNull(Chunk& root, std::string_view tag) {
    if (root.tag == tag) return &root;
    for (Chunk& child : root.children) {
        if (Chunk* found = FindChunkOrNull(child, tag)) return found;
    }
    return nullptr;
}

// The first chunk of that tag in pre-order.
inline Chunk& FindChunk(Chunk& root, std::string_view tag) {
    if (Chunk* found = FindChunkOrNull(root, tag)) return *found;
    throw std::out_of_range("no chunk " + std::string(tag));
}

inline std::size_t OffsetOf(const std::vector<ChunkPlace>& places, std::string_view tag) {
    for (const ChunkPlace& p : places) {
        if (p.tag == tag) return p.offset;
    }
    throw std::out_of_range("no chunk " + std::string(tag));
}

// ---- Example tracks ----

// Distinct float values, so that two fields swapped in the file cannot go unnoticed.
class FloatSeq {
public:
    float operator()() { return next_ += 1.25f; }
    std::uint8_t NextByte() { return static_cast<std::uint8_t>(0x90 + (count_++ * 7) % 0x60); }

private:
    float next_ = 0.5f;
    int count_ = 0;
};

// The model without what a load takes from the frame: sizes, child counts, version bytes.
inline TrackModel Headerless(TrackModel m) {
    for (ChunkHeader* h :
         {&m.skyvHeader, &m.trckHeader, &m.infoHeader, &m.bezrHeader, &m.segmHeader, &m.suppHeader,
          &m.fundHeader, &m.rascHeader, &m.frenHeader, &m.tubeHeader, &m.catwHeader, &m.scenHeader,
          &m.scobHeader, &m.teraHeader}) {
        *h = ChunkHeader{};
    }
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

inline BezierVertex MakeVertex(FloatSeq& f, bool a, bool b, bool c) {
    BezierVertex v;
    for (float* p : {&v.posX, &v.posY, &v.posZ, &v.cp1X, &v.cp1Y, &v.cp1Z, &v.cp2X, &v.cp2Y,
                     &v.cp2Z, &v.auxValue}) {
        *p = f();
    }
    v.auxFlagA = a;
    v.auxFlagB = b;
    v.auxFlagC = c;
    return v;
}

// A segment of the type with distinct values; of its block's flags only the hot-th is true.
inline SegmentEntry MakeSegment(std::int32_t type, int hot, FloatSeq& f) {
    SegmentEntry s;
    s.segmentType = type;
    s.values24 = {0x10203 * (hot + 1), 0xFFFFFF - hot, 0x800000 + type};
    s.flag1 = hot % 2 == 0;
    s.flag2 = !s.flag1;
    if (type == 1) {
        for (float* p : {&s.type1Float1, &s.type1Float2, &s.type1Float3, &s.type1Float4,
                         &s.type1Float5, &s.type1Float6, &s.type1Float7, &s.type1Float8,
                         &s.type1Float9, &s.type1Float10, &s.type1Float11}) {
            *p = f();
        }
        s.type1Byte1 = f.NextByte(), s.type1Byte2 = f.NextByte(), s.type1Byte3 = f.NextByte();
        s.type1Flag1 = hot == 0, s.type1Flag2 = hot == 1, s.type1Flag3 = hot == 2;
    } else if (type == 2) {
        s.type2Float1 = f(), s.type2Float2 = f(), s.type2Float3 = f();
        s.type2Byte1 = f.NextByte();
        s.type2Flag1 = hot == 0, s.type2Flag2 = hot == 1;
    } else if (type == 3) {
        s.type3Float1 = f(), s.type3Float2 = f(), s.type3Float3 = f();
        s.type3Byte1 = f.NextByte();
        s.type3Flag1 = hot == 0, s.type3Flag2 = hot == 1;
    } else if (type == 4) {
        for (float* p : {&s.type4Float1, &s.type4Float2, &s.type4Float3, &s.type4Float4,
                         &s.type4Float5, &s.type4Float6, &s.type4Float7}) {
            *p = f();
        }
        s.type4Flag1 = hot == 0, s.type4Flag2 = hot == 1, s.type4Flag3 = hot == 2;
        s.type4Flag4 = hot == 3, s.type4Flag5 = hot == 4;
    }
    return s;
}

inline SceneryObject MakeObject(Text text1, Text text2, FloatSeq& f) {
    SceneryObject o;
    o.text1 = std::move(text1);
    o.text2 = std::move(text2);
    for (float& v : o.values) v = f();
    return o;
}

inline std::vector<float> Grid(std::size_t count, FloatSeq& f) {
    std::vector<float> grid(count);
    for (float& v : grid) v = f();
    return grid;
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
    SegmentEntry segment = MakeSegment(1, 0, f);
    segment.type1Flag3 = true;
    m.segmRecords = {segment};
    m.fundRecords = {FundEntry{f(), f(), f(), true, f(), false, f()}};
    m.rascRecords = {RascEntry{2, {RascItem{-5, f()}, RascItem{70000, f()}}}};
    m.frenRecords = {FrenEntry{f(), f(), f()}};
    m.tubeRecords = {TubeEntry{1, 2, 3, 4, 5, 6, 7, 8, f()}};
    m.catwRecords = {CatwalkEntry{11, 12, 13, 14, 15, 16, 3}};
    m.scenRecords = {SceneryEntry{f(), f(), f(), f(), -42}};
    m.scobRecords = {MakeObject(U"Tree", U"Oak", f)};
    m.terrainPresent = true;
    m.terrainColumns = 3;
    m.terrainRows = 2;
    m.terrainParam1 = f(), m.terrainParam2 = f(), m.terrainParam3 = f();
    m.terrainParam4 = f(), m.terrainParam5 = f();
    m.terrainText1 = U"a", m.terrainText2 = U"bc", m.terrainText3 = U"";
    m.terrainByte = 0xAB;
    m.terrainOption = true;
    m.terrainGrid = Grid(6, f);
    return m;
}

inline std::vector<SegmentEntry> SegmentsOfEveryType(FloatSeq& f) {
    std::vector<SegmentEntry> segments = {MakeSegment(0, 0, f), MakeSegment(7, 1, f)};
    for (int hot = 0; hot < 3; ++hot) segments.push_back(MakeSegment(1, hot, f));
    for (int hot = 0; hot < 2; ++hot) segments.push_back(MakeSegment(2, hot, f));
    for (int hot = 0; hot < 2; ++hot) segments.push_back(MakeSegment(3, hot, f));
    segments.push_back(MakeSegment(-2, 0, f));
    for (int hot = 0; hot < 5; ++hot) segments.push_back(MakeSegment(4, hot, f));
    return segments;
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
    m.segmRecords = SegmentsOfEveryType(f);
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
    m.terrainPresent = true;
    m.terrainColumns = 3;
    m.terrainRows = 2;
    m.terrainParam1 = f(), m.terrainParam2 = f(), m.terrainParam3 = f();
    m.terrainParam4 = f(), m.terrainParam5 = f();
    m.terrainText1 = U"grass", m.terrainText2 = U"", m.terrainText3 = U"\u00DF";
    m.terrainByte = 0xC3;
    m.terrainOption = true;
    m.terrainGrid = Grid(6, f);
    return m;
}

// ---- Files ----

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "railgrace-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

    std::string Write(const std::string& name, const Bytes& bytes) const {
        const std::string file = *this / name;
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return file;
    }

    // The names in the folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace railgrace::test
