// TRCK, INFO and BEZR: the track's own values, its description and its path.
#include "track/Chunks.h"

namespace railgrace {
namespace {

// TRCK entry: flag, 7 reserved, text length L, L characters, 4 x uint24. A length of 0 or
// less means an empty text and no characters; it is written back as 0.
constexpr std::size_t kTrackEntryMinBytes = 28;

void ReadTrackEntry(TrackBuffer& buffer, TrackEntry& entry) {
    entry.flag = buffer.ReadFlag();
    buffer.Skip(7);
    entry.text = buffer.ReadText(buffer.ReadInt32());
    for (UInt24& value : entry.values24) value = buffer.ReadUInt24();
}

void WriteTrackEntry(TrackBuffer& buffer, const TrackEntry& entry) {
    buffer.WriteFlag(entry.flag);
    buffer.WriteZeros(7);
    buffer.WriteText(entry.text);
    for (UInt24 value : entry.values24) buffer.WriteUInt24(value);
}

// BEZR vertex, 60 bytes: pos, cp1, cp2 (x, y, z each), auxValue, the flags A, C, B, 17 reserved.
constexpr std::size_t kVertexBytes = 60;

void ReadVertex(TrackBuffer& buffer, BezierVertex& v) {
    for (float* f : {&v.posX, &v.posY, &v.posZ, &v.cp1X, &v.cp1Y, &v.cp1Z, &v.cp2X, &v.cp2Y,
                     &v.cp2Z, &v.auxValue}) {
        *f = buffer.ReadFloat();
    }
    v.auxFlagA = buffer.ReadFlag();
    v.auxFlagC = buffer.ReadFlag();
    v.auxFlagB = buffer.ReadFlag();
    buffer.Skip(17);
}

void WriteVertex(TrackBuffer& buffer, const BezierVertex& v) {
    for (float f :
         {v.posX, v.posY, v.posZ, v.cp1X, v.cp1Y, v.cp1Z, v.cp2X, v.cp2Y, v.cp2Z, v.auxValue}) {
        buffer.WriteFloat(f);
    }
    buffer.WriteFlag(v.auxFlagA);
    buffer.WriteFlag(v.auxFlagC);
    buffer.WriteFlag(v.auxFlagB);
    buffer.WriteZeros(17);
}

}  // namespace

// TRCK: size, leading value, entry count, trailing value, entries, 8 x uint24, 16 reserved,
// child count.
void ReadTrackChunk(TrackBuffer& buffer, TrackModel& model) {
    model.trckHeader.size = buffer.ReadInt32();
    model.trckLeadingValue = buffer.ReadInt32();
    const std::int32_t count = buffer.ReadInt32();
    model.trckTrailingValue = buffer.ReadInt32();
    buffer.CheckCount(count, kTrackEntryMinBytes, "entry", "entries");
    std::vector<TrackEntry> entries(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        buffer.record = {"entry", static_cast<std::int64_t>(i), count};
        ReadTrackEntry(buffer, entries[i]);
    }
    buffer.record = {};
    model.trckRecords = std::move(entries);
    for (UInt24& value : model.trckValues24) value = buffer.ReadUInt24();
    buffer.Skip(16);
    model.trckHeader.childCount = buffer.ReadInt32();
}

void WriteTrackChunk(TrackBuffer& buffer, const TrackModel& model) {
    buffer.WriteTag("TRCK");
    buffer.WriteInt32(model.trckHeader.size);
    buffer.WriteInt32(model.trckLeadingValue);
    buffer.WriteInt32(static_cast<std::int32_t>(model.trckRecords.size()));
    buffer.WriteInt32(model.trckTrailingValue);
    for (const TrackEntry& entry : model.trckRecords) WriteTrackEntry(buffer, entry);
    for (UInt24 value : model.trckValues24) buffer.WriteUInt24(value);
    buffer.WriteZeros(16);
    buffer.WriteInt32(model.trckHeader.childCount);
}

std::int64_t TrackChunkSize(const TrackModel& model) {
    std::int64_t size = 60;
    for (const TrackEntry& entry : model.trckRecords) {
        size += 28 + static_cast<std::int64_t>(entry.text.size());
    }
    return size;
}

// INFO: size, 16 reserved, text length L, L characters, child count.
void ReadInfoChunk(TrackBuffer& buffer, TrackModel& model) {
    model.infoHeader.size = buffer.ReadInt32();
    buffer.Skip(16);
    model.infoText = buffer.ReadText(buffer.ReadInt32());
    model.infoHeader.childCount = buffer.ReadInt32();
}

void WriteInfoChunk(TrackBuffer& buffer, const TrackModel& model) {
    buffer.WriteTag("INFO");
    buffer.WriteInt32(model.infoHeader.size);
    buffer.WriteZeros(16);
    buffer.WriteText(model.infoText);
    buffer.WriteInt32(model.infoHeader.childCount);
}

// The simulator's files count INFO 4 bytes short (the text's length field is left out), and the
// shortfall carries into TRCK and the root; files are written the same way.
std::int64_t InfoChunkSize(const TrackModel& model) {
    return 16 + static_cast<std::int64_t>(model.infoText.size());
}

void ReadBezierChunk(TrackBuffer& buffer, TrackModel& model) {
    ReadListChunk(buffer, model.bezrHeader, model.bezrRecords, kVertexBytes, "vertex", "vertices",
                  [&](BezierVertex& v) { ReadVertex(buffer, v); });
}

void WriteBezierChunk(TrackBuffer& buffer, const TrackModel& model) {
    WriteListChunk(buffer, "BEZR", model.bezrHeader, model.bezrRecords,
                   [&](const BezierVertex& v) { WriteVertex(buffer, v); });
}

std::int64_t BezierChunkSize(const TrackModel& model) {
    return kListFrameSize + static_cast<std::int64_t>(kVertexBytes * model.bezrRecords.size());
}

}  // namespace railgrace
