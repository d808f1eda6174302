#include "track/TrackIo.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>

#include "track/Chunks.h"
#include "track/FileIo.h"
#include "track/LargePages.h"
#include "track/Utf8Path.h"

namespace railgrace {
namespace {

constexpr std::string_view kExtension = ".svtrack";
// Written whatever version the loaded file carried: this program writes format 1.3.
constexpr std::uint8_t kFormatVersion[4] = {1, 3, 0, 0};

std::string BaseName(const std::string& path) {
    return Utf8String(Utf8Path(path).filename());
}

// The loader's walk: the chunk kinds it knows, in file order of the saved tree.
using ReadChunk = void (*)(TrackBuffer&, TrackModel&);
using CountRecords = std::int64_t (*)(const TrackModel&);

struct ChunkKind {
    std::string_view tag;
    ReadChunk read;
    ChunkHeader TrackModel::*header;
    CountRecords records;
};

template <auto Records>
std::int64_t SizeOf(const TrackModel& model) {
    return static_cast<std::int64_t>((model.*Records).size());
}

std::int64_t NoRecords(const TrackModel&) {
    return -1;
}

const ChunkKind kChunkKinds[] = {
    {"TRCK", ReadTrackChunk, &TrackModel::trckHeader, SizeOf<&TrackModel::trckRecords>},
    {"INFO", ReadInfoChunk, &TrackModel::infoHeader, NoRecords},
    {"BEZR", ReadBezierChunk, &TrackModel::bezrHeader, SizeOf<&TrackModel::bezrRecords>},
    {"SEGM", ReadSegmentChunk, &TrackModel::segmHeader, SizeOf<&TrackModel::segmRecords>},
    {"SUPP", ReadSupportChunk, &TrackModel::suppHeader, NoRecords},
    {"FUND", ReadFundChunk, &TrackModel::fundHeader, SizeOf<&TrackModel::fundRecords>},
    {"RASC", ReadRascChunk, &TrackModel::rascHeader, SizeOf<&TrackModel::rascRecords>},
    {"FREN", ReadFrenChunk, &TrackModel::frenHeader, SizeOf<&TrackModel::frenRecords>},
    {"TUBE", ReadTubeChunk, &TrackModel::tubeHeader, SizeOf<&TrackModel::tubeRecords>},
    {"CATW", ReadCatwalkChunk, &TrackModel::catwHeader, SizeOf<&TrackModel::catwRecords>},
    {"SCEN", ReadSceneryChunk, &TrackModel::scenHeader, SizeOf<&TrackModel::scenRecords>},
    {"SCOB", ReadSceneryObjectChunk, &TrackModel::scobHeader, SizeOf<&TrackModel::scobRecords>},
    {"TERA", ReadTerrainChunk, &TrackModel::teraHeader, SizeOf<&TrackModel::terrainGrid>},
};

const ChunkKind* FindKind(std::string_view tag) {
    for (const ChunkKind& kind : kChunkKinds) {
        if (kind.tag == tag) return &kind;
    }
    return nullptr;
}

// An unknown chunk is stepped over by its size. A size below -4 would move the reading
// backwards, and a file built that way could keep the walk going forever.
void SkipChunk(TrackBuffer& buffer, WalkEntry& entry) {
    entry.size = buffer.ReadInt32();
    entry.skipped = true;
    if (entry.size < -4) {
        buffer.Fail("its size " + std::to_string(entry.size) +
                    " is negative and would send the reading backwards");
    }
    buffer.Skip(static_cast<std::size_t>(static_cast<std::int64_t>(entry.size) + 4));
}

// Root: size, 4 version bytes, 16 reserved, child count.
void ReadRootChunk(TrackBuffer& buffer, TrackModel& model) {
    model.skyvHeader.size = buffer.ReadInt32();
    for (std::uint8_t& byte : model.versionBytes) byte = buffer.ReadByte();
    buffer.Skip(16);
    model.skyvHeader.childCount = buffer.ReadInt32();
}

void WriteRootChunk(TrackBuffer& buffer, const TrackModel& model) {
    buffer.WriteTag("SKYV");
    buffer.WriteInt32(model.skyvHeader.size);
    for (std::uint8_t byte : kFormatVersion) buffer.WriteByte(byte);
    buffer.WriteZeros(16);
    buffer.WriteInt32(model.skyvHeader.childCount);
}

// Walks the chunks behind the root as one flat sequence: as many as the root's child count and
// the child counts of every known chunk read add up to. Each chunk takes at least 8 bytes, so
// the walk ends within the file or at its end.
void WalkChunks(TrackBuffer& buffer, TrackModel& model, std::vector<WalkEntry>* walk) {
    std::int64_t remaining = model.skyvHeader.childCount;
    while (remaining > 0) {
        buffer.chunkTag = "";
        buffer.chunkOffset = buffer.cursor;
        if (buffer.Remaining() < 4) {
            buffer.Fail("the file ends where another chunk should begin (" +
                        std::to_string(remaining) + (remaining == 1 ? " more is" : " more are") +
                        " promised by the child counts)");
        }
        WalkEntry entry{buffer.ReadTag(), buffer.chunkOffset};
        buffer.chunkTag = entry.tag;
        if (const ChunkKind* kind = FindKind(entry.tag)) {
            kind->read(buffer, model);
            const ChunkHeader& header = model.*(kind->header);
            entry.size = header.size;
            entry.childCount = header.childCount;
            entry.records = kind->records(model);
            remaining += header.childCount;
        } else {
            SkipChunk(buffer, entry);
        }
        --remaining;
        if (walk) walk->push_back(std::move(entry));
    }
}

// Parses the image the buffer has begun reading: the file's bytes and one zero behind them.
bool ParseImage(TrackModel& model, TrackBuffer& buffer, std::vector<WalkEntry>* walk) {
    buffer.chunkTag = "SKYV";
    // The zero behind the file completes a tag of 3 bytes, which then is no "SKYV": a refusal
    // like any other first tag. A shorter file cannot hold a tag at all.
    if (const std::size_t held = buffer.Remaining() - 1; held < 3) {
        throw FormatError(buffer.fileName + ": the file ends inside its first tag (it holds " +
                          std::to_string(held) + (held == 1 ? " byte)." : " bytes)."));
    }
    if (buffer.ReadTag() != "SKYV") return false;
    TrackModel loaded;
    std::vector<WalkEntry> chunks;
    ReadRootChunk(buffer, loaded);
    if (walk) chunks.push_back({"SKYV", 0, loaded.skyvHeader.size, loaded.skyvHeader.childCount});
    WalkChunks(buffer, loaded, walk ? &chunks : nullptr);
    model = std::move(loaded);
    if (walk) *walk = std::move(chunks);
    return true;
}

// Sizes are 32-bit in the file.
std::int32_t CheckedSize(std::int64_t size, std::string_view tag) {
    if (size > std::numeric_limits<std::int32_t>::max()) {
        throw SaveError("The track is too large to save: its " + std::string(tag) +
                        " chunk would hold " + std::to_string(size) +
                        " bytes, more than the 2147483647 a track file allows.");
    }
    return static_cast<std::int32_t>(size);
}

// Sets child counts and sizes, children before parents; returns the image's length.
std::size_t PrepareHeaders(TrackModel& m) {
    for (ChunkHeader* header :
         {&m.infoHeader, &m.bezrHeader, &m.segmHeader, &m.fundHeader, &m.rascHeader, &m.frenHeader,
          &m.tubeHeader, &m.catwHeader, &m.scobHeader, &m.teraHeader}) {
        header->childCount = 0;
    }
    m.skyvHeader.childCount = m.terrainPresent ? 3 : 2;
    m.trckHeader.childCount = 4;
    m.suppHeader.childCount = 5;
    m.scenHeader.childCount = 1;

    const auto framed = [](const ChunkHeader& h) { return static_cast<std::int64_t>(h.size) + 12; };
    if (m.terrainPresent) {
        const auto cells = static_cast<std::uint64_t>(std::max(m.terrainColumns, 0)) *
                           static_cast<std::uint64_t>(std::max(m.terrainRows, 0));
        if (m.terrainColumns < 0 || m.terrainRows < 0 || cells != m.terrainGrid.size()) {
            throw SaveError("The track cannot be saved: its terrain grid holds " +
                            std::to_string(m.terrainGrid.size()) + " heights but is declared " +
                            std::to_string(m.terrainColumns) + " x " +
                            std::to_string(m.terrainRows) + ".");
        }
        m.teraHeader.size = CheckedSize(TerrainChunkSize(m), "TERA");
    }
    m.scobHeader.size = CheckedSize(SceneryObjectChunkSize(m), "SCOB");
    m.scenHeader.size = CheckedSize(SceneryChunkSize(m) + framed(m.scobHeader), "SCEN");
    m.catwHeader.size = CheckedSize(CatwalkChunkSize(m), "CATW");
    m.tubeHeader.size = CheckedSize(TubeChunkSize(m), "TUBE");
    m.frenHeader.size = CheckedSize(FrenChunkSize(m), "FREN");
    m.rascHeader.size = CheckedSize(RascChunkSize(m), "RASC");
    m.fundHeader.size = CheckedSize(FundChunkSize(m), "FUND");
    m.suppHeader.size =
        CheckedSize(SupportChunkSize(m) + framed(m.fundHeader) + framed(m.rascHeader) +
                        framed(m.frenHeader) + framed(m.tubeHeader) + framed(m.catwHeader),
                    "SUPP");
    m.segmHeader.size = CheckedSize(SegmentChunkSize(m), "SEGM");
    m.bezrHeader.size = CheckedSize(BezierChunkSize(m), "BEZR");
    m.infoHeader.size = CheckedSize(InfoChunkSize(m), "INFO");
    m.trckHeader.size =
        CheckedSize(TrackChunkSize(m) + framed(m.infoHeader) + framed(m.bezrHeader) +
                        framed(m.segmHeader) + framed(m.suppHeader),
                    "TRCK");
    std::int64_t root = 20 + framed(m.trckHeader) + framed(m.scenHeader);
    if (m.terrainPresent) root += framed(m.teraHeader);
    m.skyvHeader.size = CheckedSize(root, "SKYV");
    // 12 bytes of the root's own frame, and the 4 that INFO's size leaves uncounted.
    return static_cast<std::size_t>(m.skyvHeader.size) + 16;
}

using WriteChunk = void (*)(TrackBuffer&, const TrackModel&);

struct ChunkWriter {
    std::string_view tag;
    WriteChunk write;
};

const ChunkWriter kTreeInPreOrder[] = {
    {"SKYV", WriteRootChunk},          {"TRCK", WriteTrackChunk},   {"INFO", WriteInfoChunk},
    {"BEZR", WriteBezierChunk},        {"SEGM", WriteSegmentChunk}, {"SUPP", WriteSupportChunk},
    {"FUND", WriteFundChunk},          {"RASC", WriteRascChunk},    {"FREN", WriteFrenChunk},
    {"TUBE", WriteTubeChunk},          {"CATW", WriteCatwalkChunk}, {"SCEN", WriteSceneryChunk},
    {"SCOB", WriteSceneryObjectChunk},
};

void WriteTree(TrackBuffer& buffer, const TrackModel& model) {
    for (const ChunkWriter& chunk : kTreeInPreOrder) {
        buffer.chunkTag = chunk.tag;
        chunk.write(buffer, model);
    }
    if (model.terrainPresent) {
        buffer.chunkTag = "TERA";
        WriteTerrainChunk(buffer, model);
    }
}

}  // namespace

bool HasTrackExtension(const std::string& name) {
    if (name.size() < kExtension.size()) return false;
    return std::equal(kExtension.begin(), kExtension.end(), name.end() - std::ssize(kExtension),
                      [](char want, char have) {
                          return want == std::tolower(static_cast<unsigned char>(have));
                      });
}

bool ParseTrack(TrackModel& model, std::span<const std::uint8_t> image, const std::string& name,
                std::vector<WalkEntry>* walk) {
    TrackBuffer buffer;
    buffer.fileName = name;
    buffer.BeginReading(
        image.size(), 1, [image](std::uint8_t* into, std::size_t from, std::size_t count) {
            std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(from), count, into);
            return count;
        });
    return ParseImage(model, buffer, walk);
}

bool LoadTrack(TrackModel& model, const std::string& path, std::vector<WalkEntry>* walk) {
    if (path.empty()) return false;
    // Only a name that leads nowhere is no file; one that cannot be followed (a folder without
    // search permission, a loop of links) is a file the system refuses.
    std::error_code error;
    const auto type = std::filesystem::status(Utf8Path(path), error).type();
    if (type == std::filesystem::file_type::not_found) return false;
    if (error) throw FileError("Cannot read " + path + ": " + error.message() + ".");
    if (!HasTrackExtension(path)) return false;
    FileReader file(path, kMaxTrackFileBytes);
    TrackBuffer buffer;
    buffer.fileName = BaseName(path);
    buffer.BeginReading(file.Size(), 1,
                        [&file](std::uint8_t* into, std::size_t from, std::size_t count) {
                            return file.ReadAt(into, from, count);
                        });
    return ParseImage(model, buffer, walk);
}

std::vector<std::uint8_t> SerializeTrack(TrackModel& model) {
    TrackBuffer buffer;
    const std::size_t length = PrepareHeaders(model);
    buffer.bytes.reserve(length);
    AdviseLargePages(buffer.bytes.data(), length);
    WriteTree(buffer, model);
    return std::move(buffer.bytes);
}

std::string TrackFileName(const std::string& path) {
    return HasTrackExtension(path) ? path : path + std::string(kExtension);
}

// The image goes to the file as it is written, so that a large terrain grid is never held twice.
std::string SaveTrack(TrackModel& model, const std::string& path) {
    PrepareHeaders(model);
    const std::string name = TrackFileName(path);
    FileReplacement file(name);
    TrackBuffer buffer;
    buffer.drain = [&file](std::span<const std::uint8_t> bytes) { file.Write(bytes); };
    WriteTree(buffer, model);
    buffer.Drain();
    file.Commit();
    return name;
}

}  // namespace railgrace
