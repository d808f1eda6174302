// Tracks for measuring: a path on which no vertex is straight (the smoothing pass's worst case)
// and terrain grids of any size. Built from fixed formulas, so every run measures the same bytes.
#pragma once

#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

#include "track/TrackModel.h"

namespace railgrace::bench {

// A closed loop of n vertices around an ellipse that rises and falls five times. Every handle is
// turned 12 degrees off the tangent in plan, to alternate sides, and tilted 6 degrees, so that no
// segment passes as straight in space or in plan and every vertex takes the whole pass.
inline std::vector<BezierVertex> CurvedPath(std::size_t n) {
    constexpr double kTwoPi = 2 * std::numbers::pi;
    constexpr double kTurn = 12 * std::numbers::pi / 180;
    constexpr double kTilt = 6 * std::numbers::pi / 180;
    std::vector<BezierVertex> path(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double a = kTwoPi * static_cast<double>(i) / static_cast<double>(n);
        const double x = 150 * std::cos(a), z = 120 * std::sin(a), y = 60 + 25 * std::sin(5 * a);
        // Heading of the tangent in plan, and the handle length: a third of the chord.
        const double heading = std::atan2(120 * std::cos(a), -150 * std::sin(a));
        const double reach = std::hypot(150.0, 120.0) * kTwoPi / static_cast<double>(n) / 3;
        const double side = i % 2 == 0 ? 1 : -1;
        const double h2 = heading + side * kTurn, h1 = heading - side * kTurn;
        BezierVertex& v = path[i];
        v.posX = static_cast<float>(x);
        v.posY = static_cast<float>(y);
        v.posZ = static_cast<float>(z);
        v.cp2X = static_cast<float>(x + reach * std::cos(h2));
        v.cp2Y = static_cast<float>(y + reach * std::sin(side * kTilt));
        v.cp2Z = static_cast<float>(z + reach * std::sin(h2));
        v.cp1X = static_cast<float>(x - reach * std::cos(h1));
        v.cp1Y = static_cast<float>(y - reach * std::sin(-side * kTilt));
        v.cp1Z = static_cast<float>(z - reach * std::sin(h1));
        v.auxFlagC = true;
    }
    return path;
}

// Replaces model's terrain by a side x side grid of gentle hills.
inline void SetTerrain(TrackModel& model, int side) {
    const auto count = static_cast<std::size_t>(side);
    std::vector<float> wave(count);
    for (std::size_t i = 0; i < count; ++i) {
        wave[i] = static_cast<float>(4 * std::sin(0.013 * static_cast<double>(i)));
    }
    model.terrainPresent = true;
    model.terrainColumns = side;
    model.terrainRows = side;
    model.terrainGrid.assign(count * count, 0.0f);
    for (std::size_t r = 0; r < count; ++r) {
        for (std::size_t c = 0; c < count; ++c) {
            model.terrainGrid[r * count + c] = 10.0f + wave[c] + 0.5f * wave[r];
        }
    }
}

}  // namespace railgrace::bench
