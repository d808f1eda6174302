// SCEN and its one child SCOB: the scenery around the track.
#include <string>

#include "track/Chunks.h"

namespace railgrace {
namespace {

// SCEN record, 64 bytes: float1..3, int1, float4, 44 reserved.
constexpr std::size_t kSceneryBytes = 64;

void ReadScenery(TrackBuffer& b, SceneryEntry& s) {
    s.float1 = b.ReadFloat();
    s.float2 = b.ReadFloat();
    s.float3 = b.ReadFloat();
    s.int1 = b.ReadInt32();
    s.float4 = b.ReadFloat();
    b.Skip(44);
}

void WriteScenery(TrackBuffer& b, const SceneryEntry& s) {
    b.WriteFloat(s.float1);
    b.WriteFloat(s.float2);
    b.WriteFloat(s.float3);
    b.WriteInt32(s.int1);
    b.WriteFloat(s.float4);
    b.WriteZeros(44);
}

// SCOB record, 88 bytes and its texts: length and characters of text2, then of text1; fifteen
// floats; 20 reserved. The floats stand as three groups of four and three singles; values keeps
// the first three of each group together (0..8), then the fourths (9..11), then the singles.
constexpr std::size_t kSceneryObjectMinBytes = 88;
constexpr int kValueFileOrder[15] = {0, 1, 2, 9, 3, 4, 5, 10, 6, 7, 8, 11, 12, 13, 14};

Text ReadObjectText(TrackBuffer& b) {
    const std::int32_t length = b.ReadInt32();
    if (length < 0) {
        b.Fail("scenery object " + std::to_string(b.record.index) + " of " +
               std::to_string(b.record.count) + " has a negative text length (" +
               std::to_string(length) + ")");
    }
    return b.ReadText(length);
}

void ReadSceneryObject(TrackBuffer& b, SceneryObject& o) {
    o.text2 = ReadObjectText(b);
    o.text1 = ReadObjectText(b);
    for (int index : kValueFileOrder) o.values[static_cast<std::size_t>(index)] = b.ReadFloat();
    b.Skip(20);
}

void WriteSceneryObject(TrackBuffer& b, const SceneryObject& o) {
    b.WriteText(o.text2);
    b.WriteText(o.text1);
    for (int index : kValueFileOrder) b.WriteFloat(o.values[static_cast<std::size_t>(index)]);
    b.WriteZeros(20);
}

}  // namespace

void ReadSceneryChunk(TrackBuffer& buffer, TrackModel& model) {
    ReadListChunk(buffer, model.scenHeader, model.scenRecords, kSceneryBytes, "scenery entry",
                  "scenery entries", [&](SceneryEntry& s) { ReadScenery(buffer, s); });
}

void WriteSceneryChunk(TrackBuffer& buffer, const TrackModel& model) {
    WriteListChunk(buffer, "SCEN", model.scenHeader, model.scenRecords,
                   [&](const SceneryEntry& s) { WriteScenery(buffer, s); });
}

std::int64_t SceneryChunkSize(const TrackModel& model) {
    return kListFrameSize + static_cast<std::int64_t>(kSceneryBytes * model.scenRecords.size());
}

void ReadSceneryObjectChunk(TrackBuffer& buffer, TrackModel& model) {
    ReadListChunk(buffer, model.scobHeader, model.scobRecords, kSceneryObjectMinBytes,
                  "scenery object", "scenery objects",
                  [&](SceneryObject& o) { ReadSceneryObject(buffer, o); });
}

void WriteSceneryObjectChunk(TrackBuffer& buffer, const TrackModel& model) {
    WriteListChunk(buffer, "SCOB", model.scobHeader, model.scobRecords,
                   [&](const SceneryObject& o) { WriteSceneryObject(buffer, o); });
}

std::int64_t SceneryObjectChunkSize(const TrackModel& model) {
    std::int64_t size = kListFrameSize;
    for (const SceneryObject& o : model.scobRecords) {
        size += static_cast<std::int64_t>(kSceneryObjectMinBytes + o.text1.size() + o.text2.size());
    }
    return size;
}

}  // namespace railgrace
