// SEGM: the track's segments, each a common part and a block laid out by its type.
#include "track/Chunks.h"

namespace railgrace {
namespace {

// Common part, 33 bytes: type, flag1, 3 x uint24, flag2, 15 reserved. Types 0 to 4 then carry
// a 4-byte block length and a block of fixed length; the stored length is not trusted on
// reading and the fixed one is written. Other types carry neither.
constexpr std::size_t kCommonBytes = 33;
constexpr std::int32_t kBlockLength[5] = {0, 126, 36, 28, 50};

bool HasBlock(std::int32_t type) {
    return type >= 0 && type <= 4;
}

// Type 1 block, 126 bytes:
//   float1..4, byte1, byte2, flag1, byte3, float5, 4 reserved, flag3, float9, 4 reserved,
//   float10, float11, 4 reserved, flag2, float6, float7, float8, 64 reserved.
void ReadType1(TrackBuffer& b, SegmentEntry& s) {
    s.type1Float1 = b.ReadFloat();
    s.type1Float2 = b.ReadFloat();
    s.type1Float3 = b.ReadFloat();
    s.type1Float4 = b.ReadFloat();
    s.type1Byte1 = b.ReadByte();
    s.type1Byte2 = b.ReadByte();
    s.type1Flag1 = b.ReadFlag();
    s.type1Byte3 = b.ReadByte();
    s.type1Float5 = b.ReadFloat();
    b.Skip(4);
    s.type1Flag3 = b.ReadFlag();
    s.type1Float9 = b.ReadFloat();
    b.Skip(4);
    s.type1Float10 = b.ReadFloat();
    s.type1Float11 = b.ReadFloat();
    b.Skip(4);
    s.type1Flag2 = b.ReadFlag();
    s.type1Float6 = b.ReadFloat();
    s.type1Float7 = b.ReadFloat();
    s.type1Float8 = b.ReadFloat();
    b.Skip(64);
}

void WriteType1(TrackBuffer& b, const SegmentEntry& s) {
    b.WriteFloat(s.type1Float1);
    b.WriteFloat(s.type1Float2);
    b.WriteFloat(s.type1Float3);
    b.WriteFloat(s.type1Float4);
    b.WriteByte(s.type1Byte1);
    b.WriteByte(s.type1Byte2);
    b.WriteFlag(s.type1Flag1);
    b.WriteByte(s.type1Byte3);
    b.WriteFloat(s.type1Float5);
    b.WriteZeros(4);
    b.WriteFlag(s.type1Flag3);
    b.WriteFloat(s.type1Float9);
    b.WriteZeros(4);
    b.WriteFloat(s.type1Float10);
    b.WriteFloat(s.type1Float11);
    b.WriteZeros(4);
    b.WriteFlag(s.type1Flag2);
    b.WriteFloat(s.type1Float6);
    b.WriteFloat(s.type1Float7);
    b.WriteFloat(s.type1Float8);
    b.WriteZeros(64);
}

// Type 2 block, 36 bytes: 3 reserved, byte1, float1..3, 4 reserved, flag1, flag2, 14 reserved.
void ReadType2(TrackBuffer& b, SegmentEntry& s) {
    b.Skip(3);
    s.type2Byte1 = b.ReadByte();
    s.type2Float1 = b.ReadFloat();
    s.type2Float2 = b.ReadFloat();
    s.type2Float3 = b.ReadFloat();
    b.Skip(4);
    s.type2Flag1 = b.ReadFlag();
    s.type2Flag2 = b.ReadFlag();
    b.Skip(14);
}

void WriteType2(TrackBuffer& b, const SegmentEntry& s) {
    b.WriteZeros(3);
    b.WriteByte(s.type2Byte1);
    b.WriteFloat(s.type2Float1);
    b.WriteFloat(s.type2Float2);
    b.WriteFloat(s.type2Float3);
    b.WriteZeros(4);
    b.WriteFlag(s.type2Flag1);
    b.WriteFlag(s.type2Flag2);
    b.WriteZeros(14);
}

// Type 3 block, 28 bytes: float1..3, 3 reserved, byte1, flag1, flag2, 10 reserved.
void ReadType3(TrackBuffer& b, SegmentEntry& s) {
    s.type3Float1 = b.ReadFloat();
    s.type3Float2 = b.ReadFloat();
    s.type3Float3 = b.ReadFloat();
    b.Skip(3);
    s.type3Byte1 = b.ReadByte();
    s.type3Flag1 = b.ReadFlag();
    s.type3Flag2 = b.ReadFlag();
    b.Skip(10);
}

void WriteType3(TrackBuffer& b, const SegmentEntry& s) {
    b.WriteFloat(s.type3Float1);
    b.WriteFloat(s.type3Float2);
    b.WriteFloat(s.type3Float3);
    b.WriteZeros(3);
    b.WriteByte(s.type3Byte1);
    b.WriteFlag(s.type3Flag1);
    b.WriteFlag(s.type3Flag2);
    b.WriteZeros(10);
}

// Type 4 block, 50 bytes:
//   float1..3, 4 reserved, float7, flag1, flag3, float4..6, flag4, flag5, flag2, 13 reserved.
void ReadType4(TrackBuffer& b, SegmentEntry& s) {
    s.type4Float1 = b.ReadFloat();
    s.type4Float2 = b.ReadFloat();
    s.type4Float3 = b.ReadFloat();
    b.Skip(4);
    s.type4Float7 = b.ReadFloat();
    s.type4Flag1 = b.ReadFlag();
    s.type4Flag3 = b.ReadFlag();
    s.type4Float4 = b.ReadFloat();
    s.type4Float5 = b.ReadFloat();
    s.type4Float6 = b.ReadFloat();
    s.type4Flag4 = b.ReadFlag();
    s.type4Flag5 = b.ReadFlag();
    s.type4Flag2 = b.ReadFlag();
    b.Skip(13);
}

void WriteType4(TrackBuffer& b, const SegmentEntry& s) {
    b.WriteFloat(s.type4Float1);
    b.WriteFloat(s.type4Float2);
    b.WriteFloat(s.type4Float3);
    b.WriteZeros(4);
    b.WriteFloat(s.type4Float7);
    b.WriteFlag(s.type4Flag1);
    b.WriteFlag(s.type4Flag3);
    b.WriteFloat(s.type4Float4);
    b.WriteFloat(s.type4Float5);
    b.WriteFloat(s.type4Float6);
    b.WriteFlag(s.type4Flag4);
    b.WriteFlag(s.type4Flag5);
    b.WriteFlag(s.type4Flag2);
    b.WriteZeros(13);
}

void ReadSegment(TrackBuffer& b, SegmentEntry& s) {
    s.segmentType = b.ReadInt32();
    s.flag1 = b.ReadFlag();
    for (UInt24& value : s.values24) value = b.ReadUInt24();
    s.flag2 = b.ReadFlag();
    b.Skip(15);
    if (!HasBlock(s.segmentType)) return;
    b.Skip(4);
    switch (s.segmentType) {
        case 1:
            ReadType1(b, s);
            break;
        case 2:
            ReadType2(b, s);
            break;
        case 3:
            ReadType3(b, s);
            break;
        case 4:
            ReadType4(b, s);
            break;
        default:
            break;
    }
}

void WriteSegment(TrackBuffer& b, const SegmentEntry& s) {
    b.WriteInt32(s.segmentType);
    b.WriteFlag(s.flag1);
    for (UInt24 value : s.values24) b.WriteUInt24(value);
    b.WriteFlag(s.flag2);
    b.WriteZeros(15);
    if (!HasBlock(s.segmentType)) return;
    b.WriteInt32(kBlockLength[s.segmentType]);
    switch (s.segmentType) {
        case 1:
            WriteType1(b, s);
            break;
        case 2:
            WriteType2(b, s);
            break;
        case 3:
            WriteType3(b, s);
            break;
        case 4:
            WriteType4(b, s);
            break;
        default:
            break;
    }
}

}  // namespace

// SEGM: size, segment count, flag, 16 reserved, segments, 16 reserved, child count.
void ReadSegmentChunk(TrackBuffer& buffer, TrackModel& model) {
    model.segmHeader.size = buffer.ReadInt32();
    const std::int32_t count = buffer.ReadInt32();
    model.segmFlag = buffer.ReadFlag();
    buffer.Skip(16);
    buffer.CheckCount(count, kCommonBytes, "segment", "segments");
    std::vector<SegmentEntry> segments(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < segments.size(); ++i) {
        buffer.record = {"segment", static_cast<std::int64_t>(i), count};
        ReadSegment(buffer, segments[i]);
    }
    buffer.record = {};
    model.segmRecords = std::move(segments);
    buffer.Skip(16);
    model.segmHeader.childCount = buffer.ReadInt32();
}

void WriteSegmentChunk(TrackBuffer& buffer, const TrackModel& model) {
    buffer.WriteTag("SEGM");
    buffer.WriteInt32(model.segmHeader.size);
    buffer.WriteInt32(static_cast<std::int32_t>(model.segmRecords.size()));
    buffer.WriteFlag(model.segmFlag);
    buffer.WriteZeros(16);
    for (const SegmentEntry& segment : model.segmRecords) WriteSegment(buffer, segment);
    buffer.WriteZeros(16);
    buffer.WriteInt32(model.segmHeader.childCount);
}

std::int64_t SegmentChunkSize(const TrackModel& model) {
    std::int64_t size = 37;
    for (const SegmentEntry& segment : model.segmRecords) {
        size += static_cast<std::int64_t>(kCommonBytes);
        if (HasBlock(segment.segmentType)) size += 4 + kBlockLength[segment.segmentType];
    }
    return size;
}

}  // namespace railgrace
