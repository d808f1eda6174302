// TUBE and CATW, the last two children of SUPP.
#include "track/Chunks.h"

namespace railgrace {
namespace {

// TUBE record, 48 bytes; the first two triples stand in the order 1, 3, 2 and 4, 6, 5:
//   int1, int3, int2, 4 reserved, int4, int6, int5, 4 reserved, int7, int8, float1, 4 reserved.
constexpr std::size_t kTubeBytes = 48;

void ReadTube(TrackBuffer& b, TubeEntry& t) {
    t.int1 = b.ReadInt32();
    t.int3 = b.ReadInt32();
    t.int2 = b.ReadInt32();
    b.Skip(4);
    t.int4 = b.ReadInt32();
    t.int6 = b.ReadInt32();
    t.int5 = b.ReadInt32();
    b.Skip(4);
    t.int7 = b.ReadInt32();
    t.int8 = b.ReadInt32();
    t.float1 = b.ReadFloat();
    b.Skip(4);
}

void WriteTube(TrackBuffer& b, const TubeEntry& t) {
    b.WriteInt32(t.int1);
    b.WriteInt32(t.int3);
    b.WriteInt32(t.int2);
    b.WriteZeros(4);
    b.WriteInt32(t.int4);
    b.WriteInt32(t.int6);
    b.WriteInt32(t.int5);
    b.WriteZeros(4);
    b.WriteInt32(t.int7);
    b.WriteInt32(t.int8);
    b.WriteFloat(t.float1);
    b.WriteZeros(4);
}

// CATW record: int1..int6, extraLength, then extraLength bytes that are not kept and come back
// as zeros. A negative extraLength would move the reading backwards: the file is damaged.
constexpr std::size_t kCatwalkBytes = 28;

void ReadCatwalk(TrackBuffer& b, CatwalkEntry& c) {
    for (std::int32_t* value : {&c.int1, &c.int2, &c.int3, &c.int4, &c.int5, &c.int6}) {
        *value = b.ReadInt32();
    }
    c.extraLength = b.ReadInt32();
    if (c.extraLength < 0) {
        b.Fail("catwalk " + std::to_string(b.record.index) + " of " +
               std::to_string(b.record.count) + " has a negative number of extra bytes (" +
               std::to_string(c.extraLength) + ")");
    }
    b.Skip(static_cast<std::size_t>(c.extraLength));
}

void WriteCatwalk(TrackBuffer& b, const CatwalkEntry& c) {
    for (std::int32_t value : {c.int1, c.int2, c.int3, c.int4, c.int5, c.int6}) {
        b.WriteInt32(value);
    }
    b.WriteInt32(c.extraLength);
    if (c.extraLength > 0) b.WriteZeros(static_cast<std::size_t>(c.extraLength));
}

}  // namespace

void ReadTubeChunk(TrackBuffer& buffer, TrackModel& model) {
    ReadListChunk(buffer, model.tubeHeader, model.tubeRecords, kTubeBytes, "tube", "tubes",
                  [&](TubeEntry& t) { ReadTube(buffer, t); });
}

void WriteTubeChunk(TrackBuffer& buffer, const TrackModel& model) {
    WriteListChunk(buffer, "TUBE", model.tubeHeader, model.tubeRecords,
                   [&](const TubeEntry& t) { WriteTube(buffer, t); });
}

std::int64_t TubeChunkSize(const TrackModel& model) {
    return kListFrameSize + static_cast<std::int64_t>(kTubeBytes * model.tubeRecords.size());
}

void ReadCatwalkChunk(TrackBuffer& buffer, TrackModel& model) {
    ReadListChunk(buffer, model.catwHeader, model.catwRecords, kCatwalkBytes, "catwalk", "catwalks",
                  [&](CatwalkEntry& c) { ReadCatwalk(buffer, c); });
}

void WriteCatwalkChunk(TrackBuffer& buffer, const TrackModel& model) {
    WriteListChunk(buffer, "CATW", model.catwHeader, model.catwRecords,
                   [&](const CatwalkEntry& c) { WriteCatwalk(buffer, c); });
}

std::int64_t CatwalkChunkSize(const TrackModel& model) {
    std::int64_t size = kListFrameSize;
    for (const CatwalkEntry& c : model.catwRecords) {
        size += static_cast<std::int64_t>(kCatwalkBytes) + std::max(c.extraLength, 0);
    }
    return size;
}

}  // namespace railgrace
