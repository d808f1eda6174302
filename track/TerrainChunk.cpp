// TERA: the optional terrain, a few settings and texts and a grid of heights.
#include <string>

#include "track/Chunks.h"
#include "track/LargePages.h"

namespace railgrace {
namespace {

Text ReadTerrainText(TrackBuffer& b, const char* which) {
    const std::int32_t length = b.ReadInt32();
    if (length < 0) {
        b.Fail(std::string("the terrain's ") + which + " text has a negative length (" +
               std::to_string(length) + ")");
    }
    return b.ReadText(length);
}

// The grid must fit in the bytes that remain before anything is allocated for it; columns x rows
// may not even fit in 64 bits as a byte count, so the test divides instead.
void CheckGrid(TrackBuffer& b, std::int32_t columns, std::int32_t rows) {
    if (columns < 0 || rows < 0) {
        b.Fail("the terrain grid has a negative size (" + std::to_string(columns) + " x " +
               std::to_string(rows) + ")");
    }
    if (columns > 0 &&
        static_cast<std::size_t>(rows) > b.Remaining() / 4 / static_cast<std::size_t>(columns)) {
        b.Fail("the file ends inside the terrain grid of " + std::to_string(columns) + " x " +
               std::to_string(rows) + " heights");
    }
}

}  // namespace

// TERA: size, columns C, rows R, param1, param2, text1, param3, text2, param4, option flag,
// 4 reserved, text3, param5, byte, 15 reserved, C x R floats row by row, 16 reserved,
// child count. Each text is an int32 length and its characters.
void ReadTerrainChunk(TrackBuffer& buffer, TrackModel& model) {
    model.teraHeader.size = buffer.ReadInt32();
    const std::int32_t columns = buffer.ReadInt32();
    const std::int32_t rows = buffer.ReadInt32();
    model.terrainColumns = columns;
    model.terrainRows = rows;
    model.terrainParam1 = buffer.ReadFloat();
    model.terrainParam2 = buffer.ReadFloat();
    model.terrainText1 = ReadTerrainText(buffer, "first");
    model.terrainParam3 = buffer.ReadFloat();
    model.terrainText2 = ReadTerrainText(buffer, "second");
    model.terrainParam4 = buffer.ReadFloat();
    model.terrainOption = buffer.ReadFlag();
    buffer.Skip(4);
    model.terrainText3 = ReadTerrainText(buffer, "third");
    model.terrainParam5 = buffer.ReadFloat();
    model.terrainByte = buffer.ReadByte();
    buffer.Skip(15);
    CheckGrid(buffer, columns, rows);
    const std::size_t cells = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    std::vector<float> grid;
    grid.reserve(cells);
    AdviseLargePages(grid.data(), cells * sizeof(float));
    buffer.ReadFloats(grid, cells);
    model.terrainGrid = std::move(grid);
    buffer.Skip(16);
    model.teraHeader.childCount = buffer.ReadInt32();
    model.terrainPresent = true;
}

void WriteTerrainChunk(TrackBuffer& buffer, const TrackModel& model) {
    buffer.WriteTag("TERA");
    buffer.WriteInt32(model.teraHeader.size);
    buffer.WriteInt32(model.terrainColumns);
    buffer.WriteInt32(model.terrainRows);
    buffer.WriteFloat(model.terrainParam1);
    buffer.WriteFloat(model.terrainParam2);
    buffer.WriteText(model.terrainText1);
    buffer.WriteFloat(model.terrainParam3);
    buffer.WriteText(model.terrainText2);
    buffer.WriteFloat(model.terrainParam4);
    buffer.WriteFlag(model.terrainOption);
    buffer.WriteZeros(4);
    buffer.WriteText(model.terrainText3);
    buffer.WriteFloat(model.terrainParam5);
    buffer.WriteByte(model.terrainByte);
    buffer.WriteZeros(15);
    buffer.WriteFloats(model.terrainGrid);
    buffer.WriteZeros(16);
    buffer.WriteInt32(model.teraHeader.childCount);
}

std::int64_t TerrainChunkSize(const TrackModel& model) {
    return 77 + static_cast<std::int64_t>(model.terrainText1.size() + model.terrainText2.size() +
                                          model.terrainText3.size() + 4 * model.terrainGrid.size());
}

}  // namespace railgrace
