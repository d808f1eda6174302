// A terrain grid of megabytes, the size at which the loader and the saver ask for large memory
// pages: every height, whatever its bit pattern, must still load and save bit for bit.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "ByteBuilder.h"
#include "track/TrackIo.h"

namespace railgrace {
namespace {

using namespace test;

// Bit patterns spread over all 2^32, NaNs, infinities and subnormals among them: floats travel as
// bits, so no pattern may be changed by arithmetic on the way.
std::vector<std::uint32_t> GridBits(std::size_t count) {
    std::vector<std::uint32_t> bits(count);
    for (std::size_t i = 0; i < count; ++i) {
        bits[i] = static_cast<std::uint32_t>(i) * 2654435761u + 0x7F800001u;
    }
    return bits;
}

std::vector<std::uint32_t> BitsOf(const std::vector<float>& grid) {
    std::vector<std::uint32_t> bits(grid.size());
    for (std::size_t i = 0; i < grid.size(); ++i) bits[i] = std::bit_cast<std::uint32_t>(grid[i]);
    return bits;
}

// NaN heights compare unequal to themselves, so the grid is compared by its bits and the rest
// of the track without it.
TrackModel WithoutGrid(TrackModel m) {
    m.terrainGrid.clear();
    return Headerless(m);
}

TEST(LargeGrid, LoadsAndSavesEveryBitPattern) {
    TrackModel model = RichModel();
    model.terrainColumns = 1100;
    model.terrainRows = 1000;  // 4.4 MB of heights: room for two whole large pages
    const std::vector<std::uint32_t> bits = GridBits(1100 * 1000);
    model.terrainGrid.clear();
    for (std::uint32_t b : bits) model.terrainGrid.push_back(std::bit_cast<float>(b));
    const Bytes image = SavedImage(model);
    TempFolder folder;
    const std::string in = folder.Write("large.svtrack", image);

    TrackModel loaded;
    ASSERT_TRUE(LoadTrack(loaded, in));
    EXPECT_EQ(BitsOf(loaded.terrainGrid), bits);
    EXPECT_EQ(WithoutGrid(loaded), WithoutGrid(model));

    const std::string out = SaveTrack(loaded, folder / "saved.svtrack");
    EXPECT_EQ(ReadFile(out), image);
}

}  // namespace
}  // namespace railgrace
