// Floats travel as bits: every height of a terrain grid of megabytes, the size at which the loader
// and the saver ask for large memory pages, and the single floats of a vertex, whatever their
// bit patterns, load and save bit for bit.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "TrackFiles.h"
#include "track/TrackIo.h"

namespace railgrace {
namespace {

using namespace test;

// Bit patterns spread over all 2^32, NaNs, infinities and subnormals among them: floats travel
// as bits, so no pattern may be changed by arithmetic on the way. NaN heights compare unequal to
// themselves, so the grid is compared by its bits; the rest of the track by the saved bytes.
TEST(LargeGrid, LoadsAndSavesEveryBitPattern) {
    TrackModel model = RichModel();
    model.terrainColumns = 1100;
    model.terrainRows = 1000;  // 4.4 MB of heights: room for two whole large pages
    std::vector<std::uint32_t> bits(1100 * 1000);
    model.terrainGrid.clear();
    for (std::size_t i = 0; i < bits.size(); ++i) {
        bits[i] = static_cast<std::uint32_t>(i) * 2654435761u + 0x7F800001u;
        model.terrainGrid.push_back(std::bit_cast<float>(bits[i]));
    }
    // A vertex's floats travel as bits too, and a uint24 keeps its low 24 bits (a save that kept
    // the others would write them the first time only).
    const std::uint32_t single[] = {0x7FC01234, 0xFF800001, 0x00000001};
    for (std::size_t i = 0; i < 3; ++i) model.bezrRecords[i].cp2Y = std::bit_cast<float>(single[i]);
    model.trckValues24[0] = 0x7F123456;
    const Bytes image = SerializeTrack(model);
    const TempFolder folder;
    TrackModel loaded;
    ASSERT_TRUE(LoadTrack(loaded, folder.Write("large.svtrack", image)));
    std::vector<std::uint32_t> loadedBits;
    for (float height : loaded.terrainGrid)
        loadedBits.push_back(std::bit_cast<std::uint32_t>(height));
    EXPECT_EQ(loadedBits, bits);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(loaded.bezrRecords[i].cp2Y), single[i]) << i;
    ASSERT_EQ(SaveTrack(loaded, folder / "saved"), folder / "saved.svtrack");
    EXPECT_EQ(ReadFile(folder / "saved.svtrack"), image);
}

}  // namespace
}  // namespace railgrace
