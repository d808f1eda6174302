// The in-memory track: one section per chunk kind, in the order the saver writes them.
//
// Every value a chunk reader reads is kept here so that the saver can write the track back,
// also where nothing in this program knows what the value means. Record lists are vectors; a
// list's size is the record count that the file stores in front of it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "track/Text.h"

namespace railgrace {

// Size and child count of one chunk as read; SaveTrack overwrites both before writing.
struct ChunkHeader {
    std::int32_t size = 0;
    std::int32_t childCount = 0;

    bool operator==(const ChunkHeader&) const = default;
};

// A uint24 field of the file, held in 32 bits (0 .. 2^24 - 1 after reading).
using UInt24 = std::int32_t;

struct TrackEntry {
    bool flag = false;
    std::array<UInt24, 4> values24{};
    Text text;

    bool operator==(const TrackEntry&) const = default;
};

// One vertex of the track's path. cp1 is its handle towards the previous vertex, cp2 its handle
// towards the next one; the segment from vertex i to i+1 is the cubic Bezier
// pos[i], cp2[i], cp1[i+1], pos[i+1].
struct BezierVertex {
    float posX = 0, posY = 0, posZ = 0;
    float cp1X = 0, cp1Y = 0, cp1Z = 0;
    float cp2X = 0, cp2Y = 0, cp2Z = 0;
    float auxValue = 0;
    bool auxFlagA = false;
    bool auxFlagB = false;
    bool auxFlagC = false;  // stands second of the three flags in the file

    bool operator==(const BezierVertex&) const = default;
};

// One segment: the common fields and, side by side, the fields of every type block. A segment
// uses the block of its segmentType; the fields of the other blocks stay zero.
struct SegmentEntry {
    std::int32_t segmentType = 0;
    std::array<UInt24, 3> values24{};
    bool flag1 = false, flag2 = false;

    float type1Float1 = 0, type1Float2 = 0, type1Float3 = 0, type1Float4 = 0;
    bool type1Flag1 = false;
    float type1Float5 = 0;
    std::uint8_t type1Byte1 = 0, type1Byte2 = 0, type1Byte3 = 0;
    bool type1Flag2 = false;
    float type1Float6 = 0, type1Float7 = 0, type1Float8 = 0;
    bool type1Flag3 = false;
    float type1Float9 = 0, type1Float10 = 0, type1Float11 = 0;

    float type2Float1 = 0, type2Float2 = 0, type2Float3 = 0;
    std::uint8_t type2Byte1 = 0;
    bool type2Flag1 = false, type2Flag2 = false;

    float type3Float1 = 0, type3Float2 = 0, type3Float3 = 0;
    std::uint8_t type3Byte1 = 0;
    bool type3Flag1 = false, type3Flag2 = false;

    bool type4Flag1 = false, type4Flag2 = false;
    float type4Float1 = 0, type4Float2 = 0, type4Float3 = 0;
    bool type4Flag3 = false;
    float type4Float4 = 0, type4Float5 = 0, type4Float6 = 0, type4Float7 = 0;
    bool type4Flag4 = false, type4Flag5 = false;

    bool operator==(const SegmentEntry&) const = default;
};

struct FundEntry {
    float float1 = 0, float2 = 0, float3 = 0;
    bool flag1 = false;
    float float4 = 0;
    bool flag2 = false;
    float float5 = 0;

    bool operator==(const FundEntry&) const = default;
};

struct RascItem {
    std::int32_t int1 = 0;
    float float1 = 0;

    bool operator==(const RascItem&) const = default;
};

// itemCount is kept as stored, also when it is 0 or negative; items then stays empty.
struct RascEntry {
    std::int32_t itemCount = 0;
    std::vector<RascItem> items;

    bool operator==(const RascEntry&) const = default;
};

struct FrenEntry {
    float float1 = 0, float2 = 0, float3 = 0;

    bool operator==(const FrenEntry&) const = default;
};

struct TubeEntry {
    std::int32_t int1 = 0, int2 = 0, int3 = 0, int4 = 0, int5 = 0, int6 = 0, int7 = 0, int8 = 0;
    float float1 = 0;

    bool operator==(const TubeEntry&) const = default;
};

// extraLength bytes follow the record in the file; they are not kept and are saved as zeros.
struct CatwalkEntry {
    std::int32_t int1 = 0, int2 = 0, int3 = 0, int4 = 0, int5 = 0, int6 = 0;
    std::int32_t extraLength = 0;

    bool operator==(const CatwalkEntry&) const = default;
};

struct SceneryEntry {
    float float1 = 0, float2 = 0, float3 = 0, float4 = 0;
    std::int32_t int1 = 0;

    bool operator==(const SceneryEntry&) const = default;
};

struct SceneryObject {
    Text text1;
    Text text2;
    std::array<float, 15> values{};

    bool operator==(const SceneryObject&) const = default;
};

struct TrackModel {
    ChunkHeader skyvHeader;
    std::array<std::uint8_t, 4> versionBytes{};

    ChunkHeader trckHeader;
    std::int32_t trckLeadingValue = 0;
    std::int32_t trckTrailingValue = 0;
    std::array<UInt24, 8> trckValues24{};
    std::vector<TrackEntry> trckRecords;

    ChunkHeader infoHeader;
    Text infoText;

    ChunkHeader bezrHeader;
    std::vector<BezierVertex> bezrRecords;

    ChunkHeader segmHeader;
    bool segmFlag = false;
    std::vector<SegmentEntry> segmRecords;

    ChunkHeader suppHeader;

    ChunkHeader fundHeader;
    std::vector<FundEntry> fundRecords;

    ChunkHeader rascHeader;
    std::vector<RascEntry> rascRecords;

    ChunkHeader frenHeader;
    std::vector<FrenEntry> frenRecords;

    ChunkHeader tubeHeader;
    std::vector<TubeEntry> tubeRecords;

    ChunkHeader catwHeader;
    std::vector<CatwalkEntry> catwRecords;

    ChunkHeader scenHeader;
    std::vector<SceneryEntry> scenRecords;

    ChunkHeader scobHeader;
    std::vector<SceneryObject> scobRecords;

    ChunkHeader teraHeader;
    bool terrainPresent = false;
    std::int32_t terrainColumns = 0;
    std::int32_t terrainRows = 0;
    float terrainParam1 = 0, terrainParam2 = 0;
    Text terrainText1;
    float terrainParam3 = 0;
    Text terrainText2;
    float terrainParam4 = 0;
    Text terrainText3;
    float terrainParam5 = 0;
    std::uint8_t terrainByte = 0;
    bool terrainOption = false;
    // terrainColumns x terrainRows values, row by row: value (column c, row r) is at
    // index r * terrainColumns + c.
    std::vector<float> terrainGrid;

    // Back to the empty state of a program that has loaded nothing.
    void Reset() { *this = TrackModel{}; }

    bool operator==(const TrackModel&) const = default;
};

}  // namespace railgrace
