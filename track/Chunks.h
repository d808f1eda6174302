// The readers and writers of the fourteen chunk kinds, and the size of each kind's own content.
//
// A reader is entered with the cursor just behind its tag and leaves it just behind the chunk's
// child count; it replaces whatever its section of the model held. A writer appends the whole
// chunk from its tag to its child count, with the size and child count that the model holds.
// Children are never written by their parent's writer: the saver writes the tree in pre-order.
// A ...Size function gives the size field of its chunk without children, as the saver writes it.
#pragma once

#include <cstdint>

#include "track/TrackBuffer.h"
#include "track/TrackModel.h"

namespace railgrace {

void ReadTrackChunk(TrackBuffer& buffer, TrackModel& model);
void WriteTrackChunk(TrackBuffer& buffer, const TrackModel& model);
std::int64_t TrackChunkSize(const TrackModel& model);

void ReadInfoChunk(TrackBuffer& buffer, TrackModel& model);
void WriteInfoChunk(TrackBuffer& buffer, const TrackModel& model);
std::int64_t InfoChunkSize(const TrackModel& model);

void ReadBezierChunk(TrackBuffer& buffer, TrackModel& model);
void WriteBezierChunk(TrackBuffer& buffer, const TrackModel& model);
std::int64_t BezierChunkSize(const TrackModel& model);

void ReadSegmentChunk(TrackBuffer& buffer, TrackModel& model);
void WriteSegmentChunk(TrackBuffer& buffer, const TrackModel& model);
std::int64_t SegmentChunkSize(const TrackModel& model);

void ReadSupportChunk(TrackBuffer& buffer, TrackModel& model);
void WriteSupportChunk(TrackBuffer& buffer, const TrackModel& model);
std::int64_t SupportChunkSize(const TrackModel& model);

void ReadFundChunk(TrackBuffer& buffer, TrackModel& model);
void WriteFundChunk(TrackBuffer& buffer, const TrackModel& model);
std::int64_t FundChunkSize(const TrackModel& model);

void ReadRascChunk(TrackBuffer& buffer, TrackModel& model);
void WriteRascChunk(TrackBuffer& buffer, const TrackModel& model);
std::int64_t RascChunkSize(const TrackModel& model);

void ReadFrenChunk(TrackBuffer& buffer, TrackModel& model);
void WriteFrenChunk(TrackBuffer& buffer, const TrackModel& model);
std::int64_t FrenChunkSize(const TrackModel& model);

void ReadTubeChunk(TrackBuffer& buffer, TrackModel& model);
void WriteTubeChunk(TrackBuffer& buffer, const TrackModel& model);
std::int64_t TubeChunkSize(const TrackModel& model);

void ReadCatwalkChunk(TrackBuffer& buffer, TrackModel& model);
void WriteCatwalkChunk(TrackBuffer& buffer, const TrackModel& model);
std::int64_t CatwalkChunkSize(const TrackModel& model);

void ReadSceneryChunk(TrackBuffer& buffer, TrackModel& model);
void WriteSceneryChunk(TrackBuffer& buffer, const TrackModel& model);
std::int64_t SceneryChunkSize(const TrackModel& model);

void ReadSceneryObjectChunk(TrackBuffer& buffer, TrackModel& model);
void WriteSceneryObjectChunk(TrackBuffer& buffer, const TrackModel& model);
std::int64_t SceneryObjectChunkSize(const TrackModel& model);

void ReadTerrainChunk(TrackBuffer& buffer, TrackModel& model);
void WriteTerrainChunk(TrackBuffer& buffer, const TrackModel& model);
std::int64_t TerrainChunkSize(const TrackModel& model);

// The frame that BEZR, FUND, RASC, FREN, TUBE, CATW, SCEN and SCOB share:
//   size, 16 reserved, record count, records, 16 reserved, child count.
// ReadListChunk reads the size and the count and checks that count records of at least
// minRecordBytes fit in the file; ReadRecords then reads them with readRecord and closes the
// frame. Its counterparts write the same frame around writeRecord.
template <typename Record, typename ReadOne>
void ReadListChunk(TrackBuffer& buffer, ChunkHeader& header, std::vector<Record>& records,
                   std::size_t minRecordBytes, const char* name, const char* plural,
                   ReadOne readRecord) {
    header.size = buffer.ReadInt32();
    buffer.Skip(16);
    const std::int32_t count = buffer.ReadInt32();
    buffer.CheckCount(count, minRecordBytes, name, plural);
    std::vector<Record> read(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < read.size(); ++i) {
        buffer.record = {name, static_cast<std::int64_t>(i), count};
        readRecord(read[i]);
    }
    buffer.record = {};
    records = std::move(read);
    buffer.Skip(16);
    header.childCount = buffer.ReadInt32();
}

template <typename Record, typename WriteOne>
void WriteListChunk(TrackBuffer& buffer, const char* tag, const ChunkHeader& header,
                    const std::vector<Record>& records, WriteOne writeRecord) {
    buffer.WriteTag(tag);
    buffer.WriteInt32(header.size);
    buffer.WriteZeros(16);
    buffer.WriteInt32(static_cast<std::int32_t>(records.size()));
    for (const Record& record : records) writeRecord(record);
    buffer.WriteZeros(16);
    buffer.WriteInt32(header.childCount);
}

// Own content of a list chunk: 36 bytes of frame and the records.
inline constexpr std::int64_t kListFrameSize = 36;

}  // namespace railgrace
