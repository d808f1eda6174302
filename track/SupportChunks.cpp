// SUPP and three of its children: FUND, RASC and FREN (TUBE and CATW have a file of their own).
#include <algorithm>
#include <string>

#include "track/Chunks.h"

namespace railgrace {
namespace {

// FUND record, 92 bytes: flag1, float4, flag2, float5, 6 reserved, float1..3, 64 reserved.
constexpr std::size_t kFundBytes = 92;

void ReadFund(TrackBuffer& b, FundEntry& f) {
    f.flag1 = b.ReadFlag();
    f.float4 = b.ReadFloat();
    f.flag2 = b.ReadFlag();
    f.float5 = b.ReadFloat();
    b.Skip(6);
    f.float1 = b.ReadFloat();
    f.float2 = b.ReadFloat();
    f.float3 = b.ReadFloat();
    b.Skip(64);
}

void WriteFund(TrackBuffer& b, const FundEntry& f) {
    b.WriteFlag(f.flag1);
    b.WriteFloat(f.float4);
    b.WriteFlag(f.flag2);
    b.WriteFloat(f.float5);
    b.WriteZeros(6);
    b.WriteFloat(f.float1);
    b.WriteFloat(f.float2);
    b.WriteFloat(f.float3);
    b.WriteZeros(64);
}

// RASC record: item count, then per item int1, float1, 16 reserved (24 bytes). A count of 0 or
// less has no items and is written back as it was stored.
constexpr std::size_t kRascMinBytes = 4;
constexpr std::size_t kRascItemBytes = 24;

void ReadRasc(TrackBuffer& b, RascEntry& r) {
    r.itemCount = b.ReadInt32();
    if (r.itemCount <= 0) return;
    const RecordPlace place = b.record;
    b.CheckCount(r.itemCount, kRascItemBytes, "item", "items");
    r.items.resize(static_cast<std::size_t>(r.itemCount));
    for (std::size_t k = 0; k < r.items.size(); ++k) {
        b.record = {"an item of record", place.index, place.count};
        r.items[k].int1 = b.ReadInt32();
        r.items[k].float1 = b.ReadFloat();
        b.Skip(16);
    }
    b.record = place;
}

void WriteRasc(TrackBuffer& b, const RascEntry& r) {
    b.WriteInt32(r.itemCount);
    for (const RascItem& item : r.items) {
        b.WriteInt32(item.int1);
        b.WriteFloat(item.float1);
        b.WriteZeros(16);
    }
}

// FREN record, 28 bytes: float1..3, 16 reserved.
constexpr std::size_t kFrenBytes = 28;

void ReadFren(TrackBuffer& b, FrenEntry& f) {
    f.float1 = b.ReadFloat();
    f.float2 = b.ReadFloat();
    f.float3 = b.ReadFloat();
    b.Skip(16);
}

void WriteFren(TrackBuffer& b, const FrenEntry& f) {
    b.WriteFloat(f.float1);
    b.WriteFloat(f.float2);
    b.WriteFloat(f.float3);
    b.WriteZeros(16);
}

}  // namespace

// SUPP: size, 32 reserved, child count. It only groups its five children.
void ReadSupportChunk(TrackBuffer& buffer, TrackModel& model) {
    model.suppHeader.size = buffer.ReadInt32();
    buffer.Skip(32);
    model.suppHeader.childCount = buffer.ReadInt32();
}

void WriteSupportChunk(TrackBuffer& buffer, const TrackModel& model) {
    buffer.WriteTag("SUPP");
    buffer.WriteInt32(model.suppHeader.size);
    buffer.WriteZeros(32);
    buffer.WriteInt32(model.suppHeader.childCount);
}

std::int64_t SupportChunkSize(const TrackModel&) {
    return 32;
}

void ReadFundChunk(TrackBuffer& buffer, TrackModel& model) {
    ReadListChunk(buffer, model.fundHeader, model.fundRecords, kFundBytes, "record", "records",
                  [&](FundEntry& f) { ReadFund(buffer, f); });
}

void WriteFundChunk(TrackBuffer& buffer, const TrackModel& model) {
    WriteListChunk(buffer, "FUND", model.fundHeader, model.fundRecords,
                   [&](const FundEntry& f) { WriteFund(buffer, f); });
}

std::int64_t FundChunkSize(const TrackModel& model) {
    return kListFrameSize + static_cast<std::int64_t>(kFundBytes * model.fundRecords.size());
}

void ReadRascChunk(TrackBuffer& buffer, TrackModel& model) {
    ReadListChunk(buffer, model.rascHeader, model.rascRecords, kRascMinBytes, "record", "records",
                  [&](RascEntry& r) { ReadRasc(buffer, r); });
}

void WriteRascChunk(TrackBuffer& buffer, const TrackModel& model) {
    WriteListChunk(buffer, "RASC", model.rascHeader, model.rascRecords,
                   [&](const RascEntry& r) { WriteRasc(buffer, r); });
}

// Counts the bytes the writer emits, so a record stored with a negative item count (4 bytes,
// no items) keeps the saved file consistent.
std::int64_t RascChunkSize(const TrackModel& model) {
    std::int64_t size = kListFrameSize;
    for (const RascEntry& r : model.rascRecords) {
        if (r.items.size() != static_cast<std::size_t>(std::max(r.itemCount, 0))) {
            throw SaveError("The track cannot be saved: a RASC record holds " +
                            std::to_string(r.items.size()) +
                            (r.items.size() == 1 ? " item" : " items") + " but counts " +
                            std::to_string(r.itemCount) + ".");
        }
        size += static_cast<std::int64_t>(kRascMinBytes + kRascItemBytes * r.items.size());
    }
    return size;
}

void ReadFrenChunk(TrackBuffer& buffer, TrackModel& model) {
    ReadListChunk(buffer, model.frenHeader, model.frenRecords, kFrenBytes, "record", "records",
                  [&](FrenEntry& f) { ReadFren(buffer, f); });
}

void WriteFrenChunk(TrackBuffer& buffer, const TrackModel& model) {
    WriteListChunk(buffer, "FREN", model.frenHeader, model.frenRecords,
                   [&](const FrenEntry& f) { WriteFren(buffer, f); });
}

std::int64_t FrenChunkSize(const TrackModel& model) {
    return kListFrameSize + static_cast<std::int64_t>(kFrenBytes * model.frenRecords.size());
}

}  // namespace railgrace
